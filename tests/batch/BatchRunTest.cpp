// Runs started from "&Go" on real temporary trees, with the worker, the sheet and the Status
// page wired as start-up wires them.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "BatchListStore.h"
#include "CBackup.h"
#include "GuiWait.h"
#include "PageDriver.h"

namespace tandrel {
namespace {

class BatchRunTest : public BatchPageTest {
  protected:
    void StartWithWorker() {
        Start();
        worker_ = std::make_unique<CBackup>(queue_);
        worker_->Start();
        queue_.m_pThread = worker_.get();
        queue_.m_pPageLog = log_.get();
        queue_.m_pSheet = sheet_.get();
        ShowBatch();
    }
    void TearDown() override {
        if (worker_) {
            worker_->Stop();
        }
        queue_.m_pThread = nullptr;
        queue_.m_pPageLog = nullptr;
        queue_.m_pSheet = nullptr;
        BatchPageTest::TearDown();
    }
    // Presses "&Go" and waits until the sheet has seen the run end. The button is disabled by
    // the press itself: the run's end can only be seen once the event loop runs again.
    void Go() {
        Button(IDC_GO)->click();
        EXPECT_FALSE(Enabled(IDC_GO));
        ASSERT_TRUE(WaitFor([&] { return !queue_.m_bRunning && Enabled(IDC_GO); }));
    }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        const LineViewState s = log_->View().Lines().State();
        for (int i = 0; i < s.lineCount; ++i) {
            lines.push_back(log_->View().Lines().Line(i));
        }
        return lines;
    }
    // Index of the first line containing `text`, or -1.
    int Find(const std::string& text) const {
        const std::vector<std::string> lines = Lines();
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].find(text) != std::string::npos) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    std::unique_ptr<CBackup> worker_;
};

// Rows 1 (checked), 2 (not) and 3 (checked): row 3 runs first, then row 1; row 2 not at all.
// The lines reach the Status page.
TEST_F(BatchRunTest, GoRunsCheckedRowsBottomUp) {
    for (int i = 1; i <= 3; ++i) {
        const std::string n = std::to_string(i);
        tree_.MakeDir("src" + n);
        tree_.MakeDir("dst" + n);
        tree_.WriteFile("src" + n + "/file" + n + ".txt", "row " + n);
    }
    StartWithWorker();
    page_->AddItem("1", tree_.Path("src1"), tree_.Path("dst1"), kBatchChecked);
    page_->AddItem("2", tree_.Path("src2"), tree_.Path("dst2"), kBatchUnchecked);
    page_->AddItem("3", tree_.Path("src3"), tree_.Path("dst3"), kBatchChecked);
    Go();
    const int first = Find("file3.txt");
    const int second = Find("file1.txt");
    ASSERT_NE(first, -1);
    ASSERT_NE(second, -1);
    EXPECT_LT(first, second);
    EXPECT_EQ(Find("file2.txt"), -1);
    EXPECT_EQ(tree_.ReadFile("dst3/file3.txt"), "row 3");
    EXPECT_EQ(tree_.ReadFile("dst1/file1.txt"), "row 1");
    EXPECT_FALSE(tree_.Exists("dst2/file2.txt"));
    EXPECT_EQ(queue_.m_nRunAction, kActionKeep);
}

// Move takes the recycle directory the field shows, typed by hand, after checking it; a
// missing one is reported ("Recycle") and nothing is queued or run.
TEST_F(BatchRunTest, MoveChecksAndUsesTheTypedRecycleDirectory) {
    tree_.MakeDir("src");
    tree_.MakeDir("dst");
    tree_.MakeDir("bin");
    tree_.WriteFile("dst/extra.txt", "extra");
    StartWithWorker();
    page_->AddItem("job", tree_.Path("src"), tree_.Path("dst"), kBatchChecked);
    Button(IDC_MOVE)->click();
    auto* field = qobject_cast<QLineEdit*>(page_->GetDlgItem(IDC_RECYCLE));
    field->setText(QString::fromStdString(tree_.Path("missing")));
    CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
    Button(IDC_GO)->click();
    EXPECT_EQ(CMessageBox::LastText(), "Error: Directory name of 'Recycle' not found...");
    EXPECT_TRUE(Enabled(IDC_GO));
    EXPECT_FALSE(queue_.m_bRunning);
    EXPECT_EQ(queue_.GetJobCount(), 0);
    EXPECT_TRUE(tree_.Exists("dst/extra.txt"));

    field->setText(" " + QString::fromStdString(tree_.Path("bin")) + " ");
    Go();
    EXPECT_EQ(CMessageBox::Count(), 1);
    EXPECT_FALSE(tree_.Exists("dst/extra.txt"));
    EXPECT_EQ(tree_.ReadFile("bin/extra.txt"), "extra");
}

// With no worker to take the run, "&Go" leaves nothing queued (a later run would otherwise run
// the same jobs twice) and the page ready for another try.
TEST_F(BatchRunTest, GoWithoutAWorkerLeavesNothingQueued) {
    tree_.MakeDir("src");
    tree_.MakeDir("dst");
    Start();
    ShowBatch();
    page_->AddItem("job", tree_.Path("src"), tree_.Path("dst"), kBatchChecked);
    page_->AddItem("other", tree_.Path("src"), tree_.Path("dst"), kBatchChecked);
    Button(IDC_GO)->click();
    EXPECT_EQ(queue_.GetJobCount(), 0);
    EXPECT_FALSE(queue_.m_bRunning);
    EXPECT_TRUE(Enabled(IDC_GO));
}

// With Keep the field is not looked at, whatever it holds.
TEST_F(BatchRunTest, KeepIgnoresTheRecycleField) {
    tree_.MakeDir("src");
    tree_.MakeDir("dst");
    tree_.WriteFile("src/a.txt", "a");
    StartWithWorker();
    page_->AddItem("job", tree_.Path("src"), tree_.Path("dst"), kBatchChecked);
    qobject_cast<QLineEdit*>(page_->GetDlgItem(IDC_RECYCLE))->setText("/no/such/dir");
    Go();
    EXPECT_EQ(CMessageBox::Count(), 0);
    EXPECT_EQ(tree_.ReadFile("dst/a.txt"), "a");
}

// A stored entry without a source (a hand-edited store) runs as a failed line naming it and
// touches no other directory; the entry after it still runs.
TEST_F(BatchRunTest, EmptyDirectoryOfAStoredEntryFailsVisibly) {
    tree_.MakeDir("src");
    tree_.MakeDir("dst");
    tree_.WriteFile("src/a.txt", "a");
    {
        SettingsStore store;
        BatchListStore list(store);
        BatchItem broken;
        broken.strDescription = "no source";
        broken.strTo = tree_.Path("dst");
        BatchItem fine;
        fine.strDescription = "fine";
        fine.strFrom = tree_.Path("src");
        fine.strTo = tree_.Path("dst");
        ASSERT_TRUE(list.Append(fine).ok());
        ASSERT_TRUE(list.Append(broken).ok());
    }
    StartWithWorker();
    ASSERT_EQ(page_->GetRowCount(), 2);
    EXPECT_TRUE(Row(1).strFrom.empty());
    Go();
    const int skip = Find("!Skip:  => " + tree_.Path("dst/"));
    ASSERT_NE(skip, -1);
    EXPECT_EQ(Lines()[static_cast<size_t>(skip)],
              "!Skip:  => " + tree_.Path("dst/") + " (Directory name of 'From' is empty)");
    EXPECT_EQ(tree_.ReadFile("dst/a.txt"), "a");
    std::vector<std::string> trees;
    for (const std::string& entry : tree_.List()) {
        if (entry.rfind("config", 0) != 0) {
            trees.push_back(entry);
        }
    }
    EXPECT_EQ(trees, (std::vector<std::string>{"dst/", "dst/a.txt", "src/", "src/a.txt"}));
}

}  // namespace
}  // namespace tandrel
