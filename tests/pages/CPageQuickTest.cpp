// The Quick page driven as a user would, in the sheet with the Status and Batch pages: its
// fields and radio buttons, "&GO" with its checks and real runs, "&Add to batch list", and
// program restarts over the same settings store.
#include <gtest/gtest.h>

#include <QRadioButton>

#include "BatchItem.h"
#include "DialogDriver.h"
#include "PagesDriver.h"

namespace tandrel {
namespace {

class QuickTest : public PagesTest {
  protected:
    void Fill(const std::string& from, const std::string& to, const std::string& recycle = "") {
        Edit(quick_.get(), IDC_FROM)->setText(Text(from));
        Edit(quick_.get(), IDC_TO)->setText(Text(to));
        Edit(quick_.get(), IDC_RECYCLE)->setText(Text(recycle));
    }
    void PressGo() { Button(quick_.get(), IDC_GO)->click(); }
    // Presses "&GO" for a run that is expected to start, and waits until it has ended.
    void GoAndWait() {
        PressGo();
        ASSERT_TRUE(WaitFor([&] { return !queue_.m_bRunning && GoEnabled(); }));
    }
    bool GoEnabled() const { return Enabled(quick_.get(), IDC_GO); }
    // Presses "&Add to batch list" and answers the description dialog.
    void AddToBatch(const std::string& description, bool ok = true) {
        OnNextDialog([=](QDialog* d) {
            EditOf(d, IDC_DESCRIPTION_TEXT)->setText(Text(description));
            if (ok) {
                Press(d, IDOK);
            } else {
                d->reject();  // Escape: the dialog has no Cancel button
            }
        });
        Button(quick_.get(), IDC_ADD_TO_BATCH)->click();
    }
    BatchItem BatchRow(int row) const {
        BatchItem item;
        batch_->GetRow(row, &item);
        return item;
    }
};

TEST_F(QuickTest, FirstStartShowsTheCurrentDirectoryAndKeep) {
    Start();
    EXPECT_EQ(quick_->objectName(), "pageQuick");
    EXPECT_EQ(quick_->Caption(), "Quick");
    Show(kQuick);
    const QString here = Text(CurrentDirectory());
    for (const int id : {IDC_FROM, IDC_TO, IDC_RECYCLE}) {
        EXPECT_EQ(Edit(quick_.get(), id)->text(), here) << id;
    }
    EXPECT_TRUE(Button(quick_.get(), IDC_KEEP)->isChecked());
    EXPECT_FALSE(Enabled(quick_.get(), IDC_RECYCLE));
    EXPECT_FALSE(Enabled(quick_.get(), IDC_RECYCLE_BROWSE));
    EXPECT_TRUE(GoEnabled());

    // Move enables the recycle field and its "..."; Keep and Delete disable them and keep
    // the text.
    Button(quick_.get(), IDC_MOVE)->click();
    EXPECT_TRUE(Enabled(quick_.get(), IDC_RECYCLE));
    EXPECT_TRUE(Enabled(quick_.get(), IDC_RECYCLE_BROWSE));
    EXPECT_EQ(quick_->Action(), kActionMove);
    Edit(quick_.get(), IDC_RECYCLE)->setText("/some/bin");
    Button(quick_.get(), IDC_DELETE)->click();
    EXPECT_FALSE(Enabled(quick_.get(), IDC_RECYCLE));
    EXPECT_FALSE(Enabled(quick_.get(), IDC_RECYCLE_BROWSE));
    EXPECT_EQ(Edit(quick_.get(), IDC_RECYCLE)->text(), "/some/bin");
    EXPECT_EQ(quick_->Action(), kActionDelete);
}

// Each "..." opens the folder browser with its title where its field points; a chosen folder
// fills only that field, bytes that are not UTF-8 included, and a cancel changes nothing.
TEST_F(QuickTest, BrowseFillsOneFieldWithTheChosenBytes) {
    tree_.MakeDir("start");
    const std::string odd = tree_.Path("d\xff\xfe dir");
    tree_.MakeDir("d\xff\xfe dir");
    Start();
    Show(kQuick);
    Fill(" " + tree_.Path("start") + " ", "/to", "/bin");
    CFileChooser::SetNextFolder(odd);
    Button(quick_.get(), IDC_FROM_BROWSE)->click();
    EXPECT_EQ(CFileChooser::LastTitle(), "Select source directory:");
    EXPECT_EQ(CFileChooser::LastStart(), tree_.Path("start"));
    EXPECT_EQ(Edit(quick_.get(), IDC_TO)->text(), "/to");

    CFileChooser::SetNextFolder(std::nullopt);
    Button(quick_.get(), IDC_TO_BROWSE)->click();
    EXPECT_EQ(CFileChooser::LastTitle(), "Select destination directory:");
    EXPECT_EQ(Edit(quick_.get(), IDC_TO)->text(), "/to");

    Button(quick_.get(), IDC_MOVE)->click();
    CFileChooser::SetNextFolder(tree_.Path("start"));
    Button(quick_.get(), IDC_RECYCLE_BROWSE)->click();
    EXPECT_EQ(CFileChooser::LastTitle(), "Select recycle bin directory:");
    EXPECT_EQ(Edit(quick_.get(), IDC_RECYCLE)->text(), Text(tree_.Path("start")));

    // Leaving the page keeps the bytes the field was given.
    Show(kStatus);
    EXPECT_EQ(quick_->From(), odd);
}

// The first failing field is named in one box; nothing is stored or queued and GO is usable
// again at once.
TEST_F(QuickTest, FailedChecksStoreAndQueueNothing) {
    tree_.MakeDir("src");
    tree_.MakeDir("dst");
    Start(true);
    Show(kQuick);
    Fill("   ", tree_.Path("missing"));
    CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
    PressGo();
    EXPECT_EQ(CMessageBox::Count(), 1);
    EXPECT_EQ(CMessageBox::LastText(), "Error: Directory name of 'From' is empty...");

    Fill(tree_.Path("src"), tree_.Path("missing"));
    CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
    PressGo();
    EXPECT_EQ(CMessageBox::LastText(), "Error: Directory name of 'To' not found...");

    Button(quick_.get(), IDC_MOVE)->click();
    Fill(tree_.Path("src"), tree_.Path("dst"), tree_.Path("no-bin"));
    CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
    PressGo();
    EXPECT_EQ(CMessageBox::LastText(), "Error: Directory name of 'Recycle' not found...");
    EXPECT_EQ(CMessageBox::Count(), 3);
    EXPECT_TRUE(GoEnabled());
    EXPECT_FALSE(queue_.m_bRunning);
    EXPECT_EQ(queue_.GetJobCount(), 0);
    EXPECT_EQ(Stored("From"), "<none>");
    EXPECT_EQ(Stored("Remove"), "<none>");
}

// Blanks around a path are dropped and a relative path is taken from the current directory at
// the press, for the check, the store and the run alike. Keep with an empty recycle field
// stores it empty. After a restart the paths are back, the action is Keep again.
TEST_F(QuickTest, GoStoresTrimmedAbsolutePathsAndRuns) {
    tree_.MakeDir("src");
    tree_.MakeDir("dst");
    tree_.WriteFile("src/a.txt", "a");
    ASSERT_EQ(chdir(tree_.root().c_str()), 0);
    Start(true);
    Show(kQuick);
    Button(quick_.get(), IDC_DELETE)->click();
    Fill("  " + tree_.Path("src") + "\t", "dst ", "");
    GoAndWait();
    EXPECT_EQ(CMessageBox::Count(), 0);
    EXPECT_EQ(tree_.ReadFile("dst/a.txt"), "a");
    EXPECT_EQ(queue_.m_nRunAction, kActionDelete);
    EXPECT_EQ(queue_.m_strRecycleDir, "");
    EXPECT_EQ(Stored("From"), tree_.Path("src"));
    EXPECT_EQ(Stored("To"), tree_.Path("dst"));
    EXPECT_EQ(Stored("Remove"), "");

    // The Option page's "..." may have moved the current directory since.
    ASSERT_EQ(chdir("/"), 0);
    Restart();
    Show(kQuick);
    EXPECT_EQ(Edit(quick_.get(), IDC_FROM)->text(), Text(tree_.Path("src")));
    EXPECT_EQ(Edit(quick_.get(), IDC_TO)->text(), Text(tree_.Path("dst")));
    EXPECT_EQ(Edit(quick_.get(), IDC_RECYCLE)->text(), "");
    EXPECT_TRUE(Button(quick_.get(), IDC_KEEP)->isChecked());
    EXPECT_EQ(quick_->Action(), kActionKeep);
}

// Move takes the recycle directory the field shows, checked and made absolute.
TEST_F(QuickTest, MoveRunsWithTheCheckedRecycleDirectory) {
    tree_.MakeDir("src");
    tree_.MakeDir("dst");
    tree_.MakeDir("bin");
    tree_.WriteFile("dst/extra.txt", "extra");
    ASSERT_EQ(chdir(tree_.root().c_str()), 0);
    Start(true);
    Show(kQuick);
    Button(quick_.get(), IDC_MOVE)->click();
    Fill(tree_.Path("src"), tree_.Path("dst"), " bin ");
    GoAndWait();
    EXPECT_EQ(queue_.m_strRecycleDir, tree_.Path("bin/"));
    EXPECT_EQ(tree_.ReadFile("bin/extra.txt"), "extra");
    EXPECT_FALSE(tree_.Exists("dst/extra.txt"));
    EXPECT_EQ(Stored("Remove"), tree_.Path("bin"));
}

// GO stays disabled through the whole run, on whichever page the user is; a run that ends
// while another page is shown is caught up when the Quick page is shown again, one that ends
// while it is shown enables GO at once.
TEST_F(QuickTest, GoIsDisabledWhileARunIsGoing) {
    tree_.MakeDir("src");
    tree_.MakeDir("dst");
    tree_.WriteFile("src/a.txt", "a");
    Start(true);
    Show(kQuick);
    Fill(tree_.Path("src"), tree_.Path("dst"));
    Hold();
    PressGo();
    EXPECT_FALSE(GoEnabled());
    ASSERT_TRUE(queue_.m_bRunning);
    Show(kStatus);
    Show(kQuick);
    EXPECT_FALSE(GoEnabled());
    Show(kStatus);
    Release();
    ASSERT_TRUE(WaitFor([&] { return !queue_.m_bRunning; }));
    ASSERT_TRUE(WaitForPostedEvents());
    EXPECT_FALSE(GoEnabled());
    Show(kQuick);
    EXPECT_TRUE(GoEnabled());
    EXPECT_EQ(tree_.ReadFile("dst/a.txt"), "a");

    tree_.WriteFile("src/b.txt", "b");
    Hold();
    PressGo();
    EXPECT_FALSE(GoEnabled());
    Release();
    EXPECT_TRUE(WaitFor([&] { return GoEnabled(); }));
    EXPECT_EQ(tree_.ReadFile("dst/b.txt"), "b");
}

// Without a worker to take it, the job is not left queued for a later run, and GO is usable.
TEST_F(QuickTest, GoWithoutAWorkerLeavesNothingQueued) {
    tree_.MakeDir("src");
    tree_.MakeDir("dst");
    Start();
    Show(kQuick);
    Fill(tree_.Path("src"), tree_.Path("dst"));
    PressGo();
    EXPECT_EQ(queue_.GetJobCount(), 0);
    EXPECT_FALSE(queue_.m_bRunning);
    EXPECT_TRUE(GoEnabled());
}

// A store that cannot be written does not stop the run; the user is told once per start.
TEST_F(QuickTest, UnwritableStoreRunsTheJobAndTellsOnce) {
    tree_.MakeDir("src");
    tree_.MakeDir("dst");
    tree_.WriteFile("src/a.txt", "a");
    BreakStore();
    Start(true);
    Show(kQuick);
    Fill(tree_.Path("src"), tree_.Path("dst"));
    CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
    GoAndWait();
    EXPECT_EQ(tree_.ReadFile("dst/a.txt"), "a");
    EXPECT_EQ(CMessageBox::Count(), 1);
    EXPECT_TRUE(CMessageBox::LastText().contains("could not be remembered"));
    tree_.WriteFile("src/b.txt", "b");
    // Answered in case a box comes, so that a second one fails the test instead of waiting.
    CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
    GoAndWait();
    EXPECT_EQ(tree_.ReadFile("dst/b.txt"), "b");
    EXPECT_EQ(CMessageBox::Count(), 1);
}

// "&Add to batch list" checks like GO, adds a checked entry at the bottom of the Batch page's
// list, also during a run, and stores and queues nothing; GO is left as it is.
TEST_F(QuickTest, AddToBatchListDuringARun) {
    tree_.MakeDir("src");
    tree_.MakeDir("dst");
    tree_.WriteFile("src/a.txt", "a");
    ASSERT_EQ(chdir(tree_.root().c_str()), 0);
    Start(true);
    Show(kBatch);
    batch_->AddItem("first", "/x", "/y", kBatchUnchecked);
    Show(kQuick);
    Fill(tree_.Path("src"), tree_.Path("dst"));
    Hold();
    PressGo();
    Fill(" src", "dst");
    AddToBatch("second");
    AddToBatch("cancelled", false);
    Fill("", "dst");
    CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
    AddToBatch("no source");
    EXPECT_EQ(CMessageBox::LastText(), "Error: Directory name of 'From' is empty...");
    EXPECT_FALSE(GoEnabled());
    EXPECT_EQ(queue_.GetJobCount(), 0);
    Release();
    ASSERT_TRUE(WaitFor([&] { return GoEnabled(); }));
    ASSERT_EQ(batch_->GetRowCount(), 2);
    const BatchItem added = BatchRow(1);
    EXPECT_EQ(added.strDescription, "second");
    EXPECT_EQ(added.strFrom, tree_.Path("src"));
    EXPECT_EQ(added.strTo, tree_.Path("dst"));
    EXPECT_EQ(added.nCheck, kBatchChecked);
    // What the run's GO stored, not what was added.
    EXPECT_EQ(Stored("From"), tree_.Path("src"));
}

// Before the Batch page was ever shown the entry waits for it, and is kept at exit even if it
// never is.
TEST_F(QuickTest, AddToBatchListBeforeTheBatchPageWasShown) {
    tree_.MakeDir("src");
    tree_.MakeDir("dst");
    Start();
    Show(kQuick);
    Fill(tree_.Path("src"), tree_.Path("dst"));
    AddToBatch("early");
    ASSERT_EQ(batch_->StagedItems().size(), 1u);
    EXPECT_EQ(batch_->StagedItems().front().strDescription, "early");
    EXPECT_EQ(Stored("From"), "<none>");
    Restart();
    Show(kBatch);
    ASSERT_EQ(batch_->GetRowCount(), 1);
    const BatchItem kept = BatchRow(0);
    EXPECT_EQ(kept.strFrom, tree_.Path("src"));
    EXPECT_EQ(kept.strTo, tree_.Path("dst"));
    EXPECT_EQ(kept.nCheck, kBatchChecked);
}

}  // namespace
}  // namespace tandrel
