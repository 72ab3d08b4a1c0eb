// The Quick page driven as a user would, in the sheet with the other pages: its fields and
// radio buttons, "&GO" with its checks and real runs, "&Add to batch list", and restarts.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "BatchItem.h"
#include "DialogDriver.h"
#include "PagesDriver.h"

namespace tandrel {
namespace {

class QuickTest : public PagesTest {
  protected:
    void SetUp() override {
        PagesTest::SetUp();
        tree_.MakeDir("src");
        tree_.MakeDir("dst");
        tree_.WriteFile("src/a.txt", "a");
    }
    QLineEdit* Field(int id) const { return Edit(quick_.get(), id); }
    void Fill(const std::string& from, const std::string& to, const std::string& recycle = "") {
        Field(IDC_FROM)->setText(Text(from));
        Field(IDC_TO)->setText(Text(to));
        Field(IDC_RECYCLE)->setText(Text(recycle));
    }
    void Click(int id) { Button(quick_.get(), id)->click(); }
    bool GoEnabled() const { return Enabled(quick_.get(), IDC_GO); }
    // Presses "&GO" for a run that must start, and waits for its end.
    void GoAndWait() {
        Click(IDC_GO);
        ASSERT_TRUE(WaitFor([&] { return !queue_.m_bRunning && GoEnabled(); }));
    }
    // Presses "&Add to batch list" and answers the description dialog (Escape unless `ok`).
    void AddToBatch(const std::string& description, bool ok = true) {
        OnNextDialog([=](QDialog* d) {
            EditOf(d, IDC_DESCRIPTION_TEXT)->setText(Text(description));
            ok ? Press(d, IDOK) : d->reject();
        });
        Click(IDC_ADD_TO_BATCH);
    }
    void ExpectBox(const char* text) {
        EXPECT_EQ(CMessageBox::LastText(), text);
        CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
    }
};

TEST_F(QuickTest, FirstStartShowsTheCurrentDirectoryAndKeep) {
    Start();
    EXPECT_EQ(quick_->objectName(), "pageQuick");
    Show(kQuick);
    for (const int id : {IDC_FROM, IDC_TO, IDC_RECYCLE}) {
        EXPECT_EQ(Field(id)->text(), Text(CurrentDirectory())) << id;
    }
    EXPECT_TRUE(Button(quick_.get(), IDC_KEEP)->isChecked());
    EXPECT_FALSE(Enabled(quick_.get(), IDC_RECYCLE));
    EXPECT_FALSE(Enabled(quick_.get(), IDC_RECYCLE_BROWSE));
    Click(IDC_MOVE);
    EXPECT_TRUE(Enabled(quick_.get(), IDC_RECYCLE));
    EXPECT_TRUE(Enabled(quick_.get(), IDC_RECYCLE_BROWSE));
    Field(IDC_RECYCLE)->setText("/some/bin");
    Click(IDC_DELETE);
    EXPECT_FALSE(Enabled(quick_.get(), IDC_RECYCLE));
    EXPECT_FALSE(Enabled(quick_.get(), IDC_RECYCLE_BROWSE));
    EXPECT_EQ(Field(IDC_RECYCLE)->text(), "/some/bin");
    EXPECT_EQ(quick_->Action(), kActionDelete);
}

// A "..." starts where its field points and fills only that field, with bytes that are not
// UTF-8 kept; a cancel changes nothing.
TEST_F(QuickTest, BrowseFillsOneFieldWithTheChosenBytes) {
    const std::string odd = tree_.Path("d\xff\xfe dir");
    tree_.MakeDir("d\xff\xfe dir");
    Start();
    Show(kQuick);
    Fill(" " + tree_.Path("src") + " ", "/to");
    CFileChooser::SetNextFolder(odd);
    Click(IDC_FROM_BROWSE);
    EXPECT_EQ(CFileChooser::LastTitle(), "Select source directory:");
    EXPECT_EQ(CFileChooser::LastStart(), tree_.Path("src"));
    CFileChooser::SetNextFolder(std::nullopt);
    Click(IDC_TO_BROWSE);
    EXPECT_EQ(CFileChooser::LastTitle(), "Select destination directory:");
    EXPECT_EQ(Field(IDC_TO)->text(), "/to");
    Show(kStatus);
    EXPECT_EQ(quick_->From(), odd);
}

// The first failing field is named in one box; nothing is stored or queued and GO is usable
// again. Without a worker to take it, a job that passed is not left queued either.
TEST_F(QuickTest, FailedChecksStoreAndQueueNothing) {
    Start();
    Show(kQuick);
    Fill("   ", tree_.Path("missing"));
    CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
    Click(IDC_GO);
    ExpectBox("Error: Directory name of 'From' is empty...");
    Fill(tree_.Path("src"), tree_.Path("missing"));
    Click(IDC_GO);
    ExpectBox("Error: Directory name of 'To' not found...");
    Click(IDC_MOVE);
    Fill(tree_.Path("src"), tree_.Path("dst"), tree_.Path("no-bin"));
    Click(IDC_GO);
    ExpectBox("Error: Directory name of 'Recycle' not found...");
    EXPECT_EQ(CMessageBox::Count(), 3);
    EXPECT_TRUE(GoEnabled());
    EXPECT_EQ(Stored("From"), "<none>");

    Click(IDC_KEEP);
    Click(IDC_GO);
    EXPECT_EQ(queue_.GetJobCount(), 0);
    EXPECT_FALSE(queue_.m_bRunning);
    EXPECT_TRUE(GoEnabled());
}

// Blanks around a path are dropped and a relative path is taken from the current directory at
// the press, for the check, the store and the run alike; Keep stores an empty recycle field
// as it is. After a restart the paths are back and the action is Keep again; Move then runs
// with the recycle directory the field names.
TEST_F(QuickTest, GoStoresTrimmedAbsolutePathsAndRuns) {
    tree_.MakeDir("bin");
    ASSERT_EQ(chdir(tree_.root().c_str()), 0);
    Start(true);
    Show(kQuick);
    Fill("  " + tree_.Path("src") + "\t", "dst ", "");
    GoAndWait();
    EXPECT_EQ(CMessageBox::Count(), 0);
    EXPECT_EQ(tree_.ReadFile("dst/a.txt"), "a");
    EXPECT_EQ(queue_.m_strRecycleDir, "");
    EXPECT_EQ(Stored("From"), tree_.Path("src"));
    EXPECT_EQ(Stored("To"), tree_.Path("dst"));
    EXPECT_EQ(Stored("Remove"), "");

    ASSERT_EQ(chdir("/"), 0);
    Restart(true);
    Show(kQuick);
    EXPECT_EQ(Field(IDC_TO)->text(), Text(tree_.Path("dst")));
    EXPECT_EQ(Field(IDC_RECYCLE)->text(), "");
    EXPECT_TRUE(Button(quick_.get(), IDC_KEEP)->isChecked());

    ASSERT_EQ(chdir(tree_.root().c_str()), 0);
    tree_.WriteFile("dst/extra.txt", "extra");
    Click(IDC_MOVE);
    Field(IDC_RECYCLE)->setText(" bin ");
    GoAndWait();
    EXPECT_EQ(queue_.m_strRecycleDir, tree_.Path("bin/"));
    EXPECT_EQ(tree_.ReadFile("bin/extra.txt"), "extra");
    EXPECT_EQ(Stored("Remove"), tree_.Path("bin"));
}

// During a run GO stays disabled on every return to the page, the Option page's log controls
// are locked, and "&Add to batch list" still adds checked entries, storing and queueing
// nothing. A run that ends elsewhere is caught up on return; one that ends while the page is
// shown enables GO at once.
TEST_F(QuickTest, DuringARun) {
    ASSERT_EQ(chdir(tree_.root().c_str()), 0);
    Start(true);
    Show(kBatch);
    Show(kOption);
    Show(kQuick);
    Fill(tree_.Path("src"), tree_.Path("dst"));
    Hold();
    Click(IDC_GO);
    EXPECT_FALSE(GoEnabled());
    Fill(" src", "dst");
    AddToBatch("added");
    AddToBatch("cancelled", false);
    Show(kOption);
    EXPECT_FALSE(Enabled(option_.get(), IDC_LOG_ENABLE));
    Show(kQuick);
    EXPECT_FALSE(GoEnabled());
    EXPECT_EQ(queue_.GetJobCount(), 0);
    Show(kOption);
    Release();
    EXPECT_TRUE(WaitFor([&] { return Enabled(option_.get(), IDC_LOG_ENABLE); }));
    EXPECT_FALSE(Enabled(option_.get(), IDC_LOG_FILE));
    EXPECT_FALSE(Enabled(option_.get(), IDC_DEFAULT_RECYCLE));
    Show(kQuick);
    EXPECT_TRUE(GoEnabled());
    ASSERT_EQ(batch_->GetRowCount(), 1);
    BatchItem added;
    EXPECT_TRUE(batch_->GetRow(0, &added));
    EXPECT_EQ(added.strDescription, "added");
    EXPECT_EQ(added.strFrom, tree_.Path("src"));
    EXPECT_EQ(added.strTo, tree_.Path("dst"));

    tree_.WriteFile("src/b.txt", "b");
    Hold();
    Click(IDC_GO);
    Release();
    EXPECT_TRUE(WaitFor([&] { return GoEnabled(); }));
    EXPECT_EQ(tree_.ReadFile("dst/b.txt"), "b");
}

// A store that cannot be written does not stop the run; the user is told once per start.
TEST_F(QuickTest, UnwritableStoreRunsTheJobAndTellsOnce) {
    BreakStore();
    Start(true);
    Show(kQuick);
    Fill(tree_.Path("src"), tree_.Path("dst"));
    CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
    GoAndWait();
    EXPECT_EQ(tree_.ReadFile("dst/a.txt"), "a");
    EXPECT_TRUE(CMessageBox::LastText().contains("could not be remembered"));
    tree_.WriteFile("src/b.txt", "b");
    // Answered in case a box comes, so that a second one fails the test instead of waiting.
    CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
    GoAndWait();
    EXPECT_EQ(tree_.ReadFile("dst/b.txt"), "b");
    EXPECT_EQ(CMessageBox::Count(), 1);
}

// The run does not wait for the paths to reach the disk: it is on its way before they are
// written. Another writer holds the settings file until the run has copied its file (giving up
// after 8 s, within the store's wait for a busy file): the copy is made while the window waits
// to write, and the paths are stored all the same once the file is free.
TEST_F(QuickTest, TheRunGoesOnWhileThePathsWaitForTheStore) {
    Start(true);
    Show(kQuick);
    Fill(tree_.Path("src"), tree_.Path("dst"));
    std::mutex mutex;
    std::condition_variable changed;
    bool holding = false;
    bool copiedWhileHeld = false;
    std::thread other([&] {
        SettingsStore store;
        const Status written = store.Write([&] {
            {
                std::lock_guard<std::mutex> lock(mutex);
                holding = true;
            }
            changed.notify_all();
            for (int i = 0; i < 800 && !copiedWhileHeld; ++i) {
                copiedWhileHeld = tree_.Exists("dst/a.txt");
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            return Status::Ok();
        });
        EXPECT_TRUE(written.ok()) << written.ToString();
    });
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return holding; });
    }
    GoAndWait();
    other.join();
    EXPECT_TRUE(copiedWhileHeld);
    EXPECT_EQ(tree_.ReadFile("dst/a.txt"), "a");
    EXPECT_EQ(CMessageBox::Count(), 0);
    EXPECT_EQ(Stored("From"), tree_.Path("src"));
    EXPECT_EQ(Stored("To"), tree_.Path("dst"));
}

// GO runs the job with the filters: an excluded source file is not copied, an excluded
// destination file is kept under Delete while another extra one goes, and names beginning with
// "." take part only while the box is checked. The filters come back at the next start.
TEST_F(QuickTest, GoRunsWithTheFiltersAndRemembersThem) {
    tree_.WriteFile("src/b.tmp", "b");
    tree_.WriteFile("src/.profile", "p");
    tree_.WriteFile("dst/old.tmp", "kept");
    tree_.WriteFile("dst/gone.txt", "extra");
    Start(true);
    Show(kQuick);
    Fill(tree_.Path("src"), tree_.Path("dst"));
    Field(IDC_EXCLUDE)->setText(" *.tmp ; cache/");
    Click(IDC_DELETE);
    GoAndWait();
    EXPECT_EQ(CMessageBox::Count(), 0);
    EXPECT_EQ(tree_.List("dst"), (std::set<std::string>{"a.txt", "old.tmp"}));
    EXPECT_EQ(Stored("Exclude"), "*.tmp\ncache/");
    EXPECT_EQ(StoredInt("IncludeHidden"), 0);

    Restart(true);
    Show(kQuick);
    EXPECT_EQ(Field(IDC_EXCLUDE)->text(), "*.tmp; cache/");
    auto* hidden = qobject_cast<QCheckBox*>(quick_->GetDlgItem(IDC_INCLUDE_HIDDEN));
    ASSERT_NE(hidden, nullptr);
    EXPECT_FALSE(hidden->isChecked());
    hidden->click();
    GoAndWait();
    EXPECT_EQ(tree_.ReadFile("dst/.profile"), "p");
    EXPECT_FALSE(tree_.Exists("dst/b.tmp"));

    Restart();
    Show(kQuick);
    EXPECT_TRUE(qobject_cast<QCheckBox*>(quick_->GetDlgItem(IDC_INCLUDE_HIDDEN))->isChecked());
}

// A pattern that cannot be used is named in a box: GO then stores, queues and runs nothing, and
// "&Add to batch list" adds nothing. A good one goes with the entry it adds.
TEST_F(QuickTest, BadPatternStopsGoAndAddGoodOnesGoWithTheEntry) {
    Start(true);
    Show(kQuick);
    Fill(tree_.Path("src"), tree_.Path("dst"));
    Field(IDC_EXCLUDE)->setText("*.o; [ab");
    CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
    Click(IDC_GO);
    ExpectBox("Pattern '[ab' cannot be used: '[' is not closed.");
    EXPECT_FALSE(queue_.m_bRunning);
    EXPECT_TRUE(GoEnabled());
    EXPECT_FALSE(tree_.Exists("dst/a.txt"));
    EXPECT_EQ(Stored("From"), "<none>");
    EXPECT_EQ(Stored("Exclude"), "<none>");

    AddToBatch("refused");
    ExpectBox("Pattern '[ab' cannot be used: '[' is not closed.");
    EXPECT_EQ(batch_->EntryCount(), 0);

    Field(IDC_EXCLUDE)->setText("*.o;a\\;b");
    qobject_cast<QCheckBox*>(quick_->GetDlgItem(IDC_INCLUDE_HIDDEN))->setChecked(true);
    AddToBatch("kept");
    ASSERT_EQ(batch_->EntryCount(), 1);
    BatchItem added;
    ASSERT_TRUE(batch_->GetEntry(0, &added));
    EXPECT_EQ(added.listExclude, (std::vector<std::string>{"*.o", "a;b"}));
    EXPECT_TRUE(added.bIncludeHidden);
}

// Before the Batch page was ever shown the entry waits for it, and is kept at exit even if it
// never is.
TEST_F(QuickTest, AddToBatchListBeforeTheBatchPageWasShown) {
    Start();
    Show(kQuick);
    Fill(tree_.Path("src"), tree_.Path("dst"));
    AddToBatch("early");
    EXPECT_EQ(batch_->StagedItems().size(), 1u);
    Restart();
    Show(kBatch);
    ASSERT_EQ(batch_->GetRowCount(), 1);
    BatchItem kept;
    EXPECT_TRUE(batch_->GetRow(0, &kept));
    EXPECT_EQ(kept.strDescription, "early");
    EXPECT_EQ(kept.strFrom, tree_.Path("src"));
}

}  // namespace
}  // namespace tandrel
