#pragma once

#include <string>

#include "CJobQueue.h"
#include "CSheetPage.h"
#include "Profile.h"

namespace tandrel {

// The Option page, the fourth tab: whether run lines also go to a log file ("&Log File") and
// the file's name. Both are read from the settings store ("LogFileName", default "log.txt",
// relative to the current directory when the log is opened; "BoolLogFile", default 0) when the
// page is constructed and handed to the queue at once (m_strLogFileName, m_bLogEnabled).
//
// Each click on "&Log File" hands them over again: the flag always, the name shown in the field
// only when the box becomes checked. Typing a name or choosing one with "..." does not reach the
// queue until then. "..." first makes the directory part of the current name the process's
// current directory, and the chooser starts there. The name field and "..." are enabled only
// while the box is checked; all three are disabled during a run, so the worker never reads the
// queue's log settings while this page writes them. The field for a default recycle directory
// and its "..." are never enabled.
//
// Both settings are written back, taken from the controls, within half a second of a change
// (a click on the box, a name typed or chosen), at the close, and when the page is destroyed,
// whenever the page was ever shown; a page never shown leaves the stored values as they are.
// A write that fails at the close is told once (see CSheetPage).
//
// Window thread only. `profile` and `queue` must outlive the page.
class CPageOption : public CSheetPage {
    Q_OBJECT

  public:
    explicit CPageOption(Profile& profile, CJobQueue& queue = theJobQueue,
                         QWidget* parent = nullptr);
    ~CPageOption() override;

    void UpdateRunState(int running) override;

    // What the controls held when last saved (or what was read at construction).
    const std::string& LogFile() const { return m_strLogFile; }
    bool LogEnabled() const { return m_bLogFile != 0; }
    // "Ask before deleting or moving more than [N] entries in one job": whether it is on, and
    // N. Handed to the queue as m_nAskAbove (0 when off) when constructed and on each change
    // (the controls are disabled during a run, so the worker is not reading it then).
    bool AskEnabled() const { return m_bAsk != 0; }
    int AskAbove() const { return m_nAskAbove; }

  protected:
    void BuildControls() override;
    bool OnInitDialog() override;
    void DoDataExchange(bool save) override;
    QString WriteSettings(bool closing) override;

  private:
    void OnLogEnable();
    void OnAskChanged();
    void OnBrowseLog();

    Profile& m_profile;
    CJobQueue& m_queue;
    std::string m_strLogFile;
    int m_bLogFile = 0;
    int m_bAsk = 1;
    int m_nAskAbove = 50;
};

}  // namespace tandrel
