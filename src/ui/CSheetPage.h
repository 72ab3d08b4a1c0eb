#pragma once

#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>

class QTimer;

#include "RunConstants.h"

namespace tandrel {

// The common base of the pages of the main window. A page has an id (IDD_PAGE_...) and its tab
// caption. It builds its controls and their layout (BuildControls) the first time it becomes
// the active page ("the page has a window" from then on), calls OnInitDialog once, and
// exchanges data between controls and members when it is activated (load) and left (save).
// Pages take the application font and grow with the window; their layouts give the sheet its
// minimum size.
//
// UpdateRunState tells a page whether a run is going, so that it can lock the controls that
// would start another run or change what a run reads. The sheet calls it on the active page
// when a run ends; pages call it themselves.
//
// A page that keeps settings in the store writes them in WriteSettings and reports each change
// with NoteChange: the change is written within half a second, so that it survives an end of
// the program that leaves no time to save (the display going away). A failure of that write
// is kept quiet; the change stays pending, and SaveChanges (at the close) writes it again and
// hands the failure to the caller to tell the user. The page's destructor saves once more and
// shows a failure in a box only when nobody told the user about it yet.
//
// Window thread only.
class CSheetPage : public QWidget {
    Q_OBJECT

  public:
    // `caption` is the English caption, marked for translation with
    // QT_TRANSLATE_NOOP("CSheetPage", ...); the page shows it translated.
    CSheetPage(int pageId, const char* caption, QWidget* parent = nullptr);
    ~CSheetPage() override;

    // `running` is non-zero while a run is going.
    virtual void UpdateRunState(int running) = 0;

    int PageId() const { return m_pageId; }
    QString Caption() const { return m_caption; }
    bool HasWindow() const { return m_built; }

    // Called by the sheet when the page becomes the active page: builds the controls and runs
    // OnInitDialog the first time, loads the controls every later time.
    void Activate();
    // Called by the sheet when another page becomes active: saves the controls.
    void Deactivate();

    // Runs the data exchange now: `save` true reads the controls into the members, false
    // fills the controls. Does nothing (and returns false) before the page has a window.
    bool UpdateData(bool save = true);
    // The control with id `id`, or null (also before the page has a window).
    QWidget* GetDlgItem(int id) const;
    // Enables or disables the control with id `id`, when there is one.
    void EnableDlgItem(int id, bool enable);

    // Writes the settings the page keeps now; returns what to tell the user when that failed,
    // otherwise an empty text.
    QString SaveChanges();
    // Whether the user has been told about the failure SaveChanges last returned, with no
    // change since; SetFailureTold records that they have.
    bool FailureTold() const { return m_nToldAt == m_nChanges; }
    void SetFailureTold() { m_nToldAt = m_nChanges; }

  signals:
    // The page started a run; `kind` is its RunKind (a run or a preview). The sheet enables
    // Stop, and shows the Status page for a preview.
    void RunStarted(int kind);

  protected:
    // For pages with the three extra-file action radio buttons (IDC_KEEP, IDC_DELETE,
    // IDC_MOVE) and the recycle field with its "..." (IDC_RECYCLE, IDC_RECYCLE_BROWSE): checks
    // the button of `current`, enables the field and its button only for Move (a disabled field
    // keeps its text), and from then on does the same for each button the user picks, telling
    // `onChoose`. Call once, from OnInitDialog.
    void SetUpActionRadios(ExtraFileAction current,
                           const std::function<void(ExtraFileAction)>& onChoose);

  protected:
    // Makes the page's controls (see Controls.h) and lays them out; runs once, on the first
    // activation, before OnInitDialog. The base makes none.
    virtual void BuildControls();
    // Runs once, right after the controls are built. The base loads the controls.
    virtual bool OnInitDialog();
    // Moves data between the controls and the members: `save` true reads the controls, false
    // fills them. The base does nothing.
    virtual void DoDataExchange(bool save);

    // Something the page keeps in the store changed: it is written within half a second.
    void NoteChange();
    // Writes what the page keeps in the store; `closing` is true for the writes at the close
    // and from the destructor, false for the write soon after a change. Returns what to tell
    // the user when the write failed, otherwise an empty text. The base keeps nothing.
    virtual QString WriteSettings(bool closing);
    // For the destructor of a page that keeps settings (the base's cannot reach the page's
    // WriteSettings): SaveChanges, and a box for a failure the user was not told about yet.
    void SaveOnDestroy();

  private:
    const int m_pageId;
    const QString m_caption;
    bool m_built = false;
    QTimer* m_saveTimer = nullptr;
    // Changes noted so far, and the count when the user was last told a write failed.
    int m_nChanges = 0;
    int m_nToldAt = -1;
};

}  // namespace tandrel
