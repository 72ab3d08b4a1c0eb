// The Option page driven as a user would, in the sheet with the other pages: the log check box
// and what it hands the queue, the save chooser and the current directory, and what is saved
// when the program ends.
#include <gtest/gtest.h>

#include "PagesDriver.h"

namespace tandrel {
namespace {

class OptionTest : public PagesTest {
  protected:
    QAbstractButton* Box() const { return Button(option_.get(), IDC_LOG_ENABLE); }
    QLineEdit* Name() const { return Edit(option_.get(), IDC_LOG_FILE); }
    bool NameEnabled() const {
        return Enabled(option_.get(), IDC_LOG_FILE) && Enabled(option_.get(), IDC_LOG_BROWSE);
    }
    bool NameDisabled() const {
        return !Enabled(option_.get(), IDC_LOG_FILE) && !Enabled(option_.get(), IDC_LOG_BROWSE);
    }
    void Store(const std::string& name, int enabled) {
        SettingsStore store;
        Profile profile(store);
        ASSERT_TRUE(profile.WriteProfileString("", "LogFileName", name).ok());
        ASSERT_TRUE(profile.WriteProfileInt("", "BoolLogFile", enabled).ok());
    }
    // Runs src => dst from the Quick page, waits for its end and comes back.
    void RunFromQuick() {
        Show(kQuick);
        Edit(quick_.get(), IDC_FROM)->setText(Text(tree_.Path("src")));
        Edit(quick_.get(), IDC_TO)->setText(Text(tree_.Path("dst")));
        Button(quick_.get(), IDC_GO)->click();
        ASSERT_TRUE(WaitFor([&] { return !queue_.m_bRunning && Enabled(quick_.get(), IDC_GO); }));
        queue_.FlushLog();
        Show(kOption);
    }
};

// The box hands the queue its flag on every click, and the name shown only when it becomes
// checked; typing alone changes nothing there.
TEST_F(OptionTest, TheBoxHandsTheQueueTheNameShownWhenChecked) {
    Start();
    EXPECT_EQ(option_->objectName(), "pageOption");
    EXPECT_EQ(queue_.m_strLogFileName, "log.txt");
    EXPECT_FALSE(queue_.m_bLogEnabled);
    Show(kOption);
    EXPECT_FALSE(Box()->isChecked());
    EXPECT_EQ(Name()->text(), "log.txt");
    EXPECT_TRUE(NameDisabled());
    EXPECT_FALSE(Enabled(option_.get(), IDC_DEFAULT_RECYCLE_BROWSE));

    Name()->setText("first.txt");
    Box()->click();
    EXPECT_TRUE(queue_.m_bLogEnabled);
    EXPECT_EQ(queue_.m_strLogFileName, "first.txt");
    EXPECT_TRUE(NameEnabled());
    Name()->setText("second.txt");
    Show(kStatus);
    Show(kOption);
    EXPECT_EQ(queue_.m_strLogFileName, "first.txt");
    Box()->click();
    EXPECT_FALSE(queue_.m_bLogEnabled);
    EXPECT_TRUE(NameDisabled());
    Box()->click();
    EXPECT_EQ(queue_.m_strLogFileName, "second.txt");
    EXPECT_FALSE(Enabled(option_.get(), IDC_DEFAULT_RECYCLE));
}

// A name that cannot be opened switches logging off at the first line while the box keeps the
// user's choice; clearing and checking it with a usable name logs the next run there, and
// doing so again continues that file.
TEST_F(OptionTest, ARetryAfterAFailedOpenUsesTheCorrectedName) {
    tree_.MakeDir("src");
    tree_.MakeDir("dst");
    tree_.WriteFile("src/a.txt", "a");
    Start(true);
    Show(kOption);
    Name()->setText(Text(tree_.Path("no/such/dir/log.txt")));
    Box()->click();
    RunFromQuick();
    EXPECT_FALSE(queue_.m_bLogEnabled);
    EXPECT_TRUE(Box()->isChecked());

    Name()->setText(Text(tree_.Path("log.txt")));
    Box()->click();
    Box()->click();
    tree_.WriteFile("src/b.txt", "b");
    RunFromQuick();
    const std::string first = tree_.ReadFile("log.txt");
    EXPECT_NE(first.find("b.txt"), std::string::npos);

    Box()->click();
    Box()->click();
    tree_.WriteFile("src/c.txt", "c");
    RunFromQuick();
    const std::string both = tree_.ReadFile("log.txt");
    EXPECT_EQ(both.rfind(first, 0), 0u);
    EXPECT_NE(both.find("c.txt"), std::string::npos);
}

// "..." opens the chooser in the directory of the name shown and leaves that directory the
// current one, also on Cancel; a bare name leaves the current directory alone. A chosen file
// shows in the field but reaches the queue only through the box.
TEST_F(OptionTest, TheSaveChooserStartsWhereTheNameLies) {
    tree_.MakeDir("logs");
    tree_.MakeDir("here");
    ASSERT_EQ(chdir(tree_.Path("here").c_str()), 0);
    Store(tree_.Path("logs/run.txt"), 1);
    Start();
    EXPECT_EQ(queue_.m_strLogFileName, tree_.Path("logs/run.txt"));
    EXPECT_TRUE(queue_.m_bLogEnabled);
    Show(kOption);
    CFileChooser::SetNextFile(std::nullopt);
    Button(option_.get(), IDC_LOG_BROWSE)->click();
    EXPECT_EQ(CurrentDirectory(), tree_.Path("logs"));
    EXPECT_EQ(CFileChooser::LastStart(), tree_.Path("logs"));
    EXPECT_EQ(Name()->text(), Text(tree_.Path("logs/run.txt")));

    Name()->setText("plain.txt");
    ASSERT_EQ(chdir(tree_.Path("here").c_str()), 0);
    CFileChooser::SetNextFile(tree_.Path("logs/chosen.txt"));
    Button(option_.get(), IDC_LOG_BROWSE)->click();
    EXPECT_EQ(CFileChooser::LastStart(), tree_.Path("here"));
    EXPECT_EQ(Name()->text(), Text(tree_.Path("logs/chosen.txt")));
    EXPECT_EQ(queue_.m_strLogFileName, tree_.Path("logs/run.txt"));
}

// Only a page that was shown writes its controls back at the end; a failed write is told.
TEST_F(OptionTest, SavedAtTheEndOnlyWhenShown) {
    Store("read.txt", 0);
    Start();
    // Changed meanwhile by someone else: a page never shown must not write over it.
    Store("changed.txt", 1);
    Close();
    EXPECT_EQ(Stored("LogFileName"), "changed.txt");
    EXPECT_EQ(StoredInt("BoolLogFile"), 1);

    Store("read.txt", 0);
    Start();
    Show(kOption);
    Box()->click();
    Name()->setText("typed.txt");
    Close();
    EXPECT_EQ(Stored("LogFileName"), "typed.txt");
    EXPECT_EQ(StoredInt("BoolLogFile"), 1);
    EXPECT_EQ(CMessageBox::Count(), 0);

    BreakStore();
    Start();
    Show(kOption);
    CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
    Close();
    EXPECT_EQ(CMessageBox::Count(), 1);
    EXPECT_TRUE(CMessageBox::LastText().contains("log file settings could not be saved"));
}

}  // namespace
}  // namespace tandrel
