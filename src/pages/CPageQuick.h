#pragma once

#include <string>

#include "CJobQueue.h"
#include "CSheetPage.h"
#include "Profile.h"

namespace tandrel {

// The Quick page, the third tab: one job typed or picked on the spot. "From" and "To" name the
// source and destination, the radio buttons Keep, Delete and Move the run's extra-file action,
// and the field below them the recycle directory, which only Move uses (the field and its
// "..." are enabled only while Move is chosen, and keep their text while disabled).
//
// "&GO" checks the source, the destination and, for Move, the recycle directory; the first one
// that is empty or not a usable directory is named in a box and nothing happens. Otherwise the
// three paths are remembered in the settings store ("From", "To", "Remove" in the application's
// own key), the job is queued and the run started. Each path is taken without surrounding
// blanks and, when relative, as the absolute path it names at the press: the current directory
// can change later (the Option page's "..." changes it), and a stored or queued path must keep
// naming the same tree. If the store cannot be written the run goes ahead all the same and the
// user is told once per start of the program that the paths were not remembered.
//
// Beside the action, "Exclude" holds the job's exclude patterns (separated by ";", see
// FieldPatterns) and "Include names beginning with '.'" lets such names take part. GO and "&Add to
// batch list" check each pattern after the directories; the first that cannot be used is named in a
// box and nothing is stored, queued or added. GO remembers both with the paths, in the same
// transaction ("Exclude", "IncludeHidden"), and runs the job with them; "&Add to batch list"
// gives them to the new entry.
// "&Preview" runs the same job with the same checks as a preview (RunKind::kPreview): nothing
// changes on the disk and the paths are not remembered.
//
// "&Add to batch list" asks for a description, makes the same checks and adds the job, checked,
// at the bottom of the Batch page's list; it stores and queues nothing and may be used during a
// run.
//
// The three paths and the filters are read from the store when the page is constructed (default:
// the current directory then); the action starts at Keep at every start. "&GO" is disabled from its
// press until the run ends (or, when the run ends while another page is shown, until this page is
// next shown).
//
// Window thread only. `profile` and `queue` must outlive the page.
class CPageQuick : public CSheetPage {
    Q_OBJECT

  public:
    explicit CPageQuick(Profile& profile, CJobQueue& queue = theJobQueue,
                        QWidget* parent = nullptr);
    ~CPageQuick() override;

    void UpdateRunState(int running) override;

    // What the fields hold, as bytes (as last loaded or saved before the page has its window).
    const std::string& From() const { return m_strFrom; }
    const std::string& To() const { return m_strTo; }
    const std::string& Recycle() const { return m_strRecycle; }
    ExtraFileAction Action() const { return m_nAction; }
    const std::string& ExcludeText() const { return m_strExclude; }
    bool IncludeHidden() const { return m_bIncludeHidden; }

  protected:
    void BuildControls() override;
    bool OnInitDialog() override;
    void DoDataExchange(bool save) override;

  private:
    // The three directories of a job, trimmed and absolute, and its filter.
    struct JobPaths {
        std::string from;
        std::string to;
        std::string recycle;
        PathFilter filter;
    };

    void OnBrowse(int editId, int titleId);
    // GO, or Preview with RunKind::kPreview (nothing stored, nothing changed on the disk).
    void OnGo(RunKind kind);
    void OnAddToBatch();
    // Reads the fields and checks them in order (source, destination, recycle for Move, the
    // exclude patterns); the first failure is shown in a box and the result is false.
    bool ReadAndCheck(JobPaths* paths);
    // Remembers the paths and filters of a job that is about to run, all or none.
    Status StorePaths(const JobPaths& paths);
    std::string* MemberOf(int editId);

    Profile& m_profile;
    CJobQueue& m_queue;
    std::string m_strFrom;
    std::string m_strTo;
    std::string m_strRecycle;
    std::string m_strExclude;
    bool m_bIncludeHidden = false;
    ExtraFileAction m_nAction = kActionKeep;
    bool m_bToldStoreFailure = false;
};

}  // namespace tandrel
