#pragma once

#include <QSize>
#include <QString>
#include <QWidget>
#include <functional>

#include "DialogTemplate.h"
#include "RunConstants.h"

namespace tandrel {

// The common base of the pages of the main window. A page is built on a dialog template: its
// tab caption is the template's caption and its size the template's size. It builds its
// controls the first time it becomes the active page ("the page has a window" from then on),
// calls OnInitDialog once, and exchanges data between controls and members when it is
// activated (load) and left (save).
//
// UpdateRunState tells a page whether a run is going, so that it can lock the controls that
// would start another run or change what a run reads. The sheet calls it on the active page
// when a run ends; pages call it themselves.
//
// Window thread only.
class CSheetPage : public QWidget {
    Q_OBJECT

  public:
    explicit CSheetPage(int templateId, QWidget* parent = nullptr);
    ~CSheetPage() override;

    // `running` is non-zero while a run is going.
    virtual void UpdateRunState(int running) = 0;

    int TemplateId() const { return m_templateId; }
    QString Caption() const;
    // The template's size in pixels of its font.
    QSize TemplateSize() const;
    bool HasWindow() const { return m_built; }
    // The template's size, or the size the sheet gave all its pages when larger.
    QSize sizeHint() const override;

    // Called by the sheet when the page becomes the active page: builds the controls and runs
    // OnInitDialog the first time, loads the controls every later time.
    void Activate();
    // Called by the sheet when another page becomes active: saves the controls.
    void Deactivate();

    // Runs the data exchange now: `save` true reads the controls into the members, false
    // fills the controls. Does nothing (and returns false) before the page has a window.
    bool UpdateData(bool save = true);
    // The control with template id `id`, or null (also before the page has a window).
    QWidget* GetDlgItem(int id) const;
    // Enables or disables the control with template id `id`, when there is one.
    void EnableDlgItem(int id, bool enable);

  protected:
    // For pages with the three extra-file action radio buttons (IDC_KEEP, IDC_DELETE,
    // IDC_MOVE) and the recycle field with its "..." (IDC_RECYCLE, IDC_RECYCLE_BROWSE): checks
    // the button of `current`, enables the field and its button only for Move (a disabled field
    // keeps its text), and from then on does the same for each button the user picks, telling
    // `onChoose`. Call once, from OnInitDialog.
    void SetUpActionRadios(ExtraFileAction current,
                           const std::function<void(ExtraFileAction)>& onChoose);

  protected:
    // Runs once, right after the controls are built. The base loads the controls.
    virtual bool OnInitDialog();
    // Moves data between the controls and the members: `save` true reads the controls, false
    // fills them. The base does nothing.
    virtual void DoDataExchange(bool save);

  private:
    const int m_templateId;
    const DialogTemplate* m_tmpl;
    bool m_built = false;
};

}  // namespace tandrel
