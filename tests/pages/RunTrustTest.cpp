// What the window shows and asks around a run, driven through the real widgets: Preview on the
// Quick and Batch pages, the question before a big delete, the outcome beside the bar and in
// the title, the desktop notice for long runs, and Stop.
#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <map>
#include <vector>

#include "CSignalCloser.h"
#include "PagesDriver.h"

namespace tandrel {
namespace {

class RunTrustTest : public PagesTest {
  protected:
    void SetUp() override {
        PagesTest::SetUp();
        tree_.MakeDir("src");
        tree_.MakeDir("dst");
        tree_.MakeDir("bin");
        tree_.WriteFile("src/new.txt", "new");
        tree_.WriteFile("dst/old.txt", "old");
    }
    // `count` destination files the source does not have.
    void AddExtras(int count) {
        for (int i = 0; i < count; ++i) {
            tree_.WriteFile("dst/x" + std::to_string(i), "x");
        }
    }
    // Every entry of the three trees with each file's content and time.
    std::map<std::string, std::string> Trees() const {
        std::map<std::string, std::string> out;
        for (const char* root : {"src", "dst", "bin"}) {
            for (const std::string& rel : tree_.List(root)) {
                const std::string path = std::string(root) + "/" + rel;
                out[path] = rel.back() == '/'
                                ? ""
                                : tree_.ReadFile(path) + "@" + std::to_string(tree_.Mtime(path));
            }
        }
        return out;
    }
    // The Quick page's job, with `action` picked (IDC_KEEP, IDC_DELETE, IDC_MOVE).
    void FillQuick(int action) {
        Show(kQuick);
        Edit(quick_.get(), IDC_FROM)->setText(Text(tree_.Path("src")));
        Edit(quick_.get(), IDC_TO)->setText(Text(tree_.Path("dst")));
        Edit(quick_.get(), IDC_RECYCLE)->setText(Text(tree_.Path("bin")));
        Button(quick_.get(), action)->click();
    }
    // Clicks `button` for a run that must start and waits for its end; returns its lines
    // without the job's header.
    std::vector<std::string> RunBy(QAbstractButton* button) {
        const LineStore& lines = log_->View().Lines();
        const int before = lines.State().lineCount;
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(WaitFor([&] { return !queue_.m_bRunning; }));
        EXPECT_TRUE(WaitForPostedEvents());
        std::vector<std::string> out;
        for (int i = before + 1; i < lines.State().lineCount; ++i) {
            out.push_back(lines.Line(i));
        }
        if (lines.State().lineCount > before) {
            header_ = lines.Line(before);
        }
        return out;
    }
    // The option "Ask before deleting or moving more than [limit] entries", set on its page.
    void SetAsk(bool on, int limit) {
        Show(kOption);
        auto* box = Button(option_.get(), IDC_ASK_ENABLE);
        if (box->isChecked() != on) {
            box->click();
        }
        qobject_cast<QSpinBox*>(option_->GetDlgItem(IDC_ASK_LIMIT))->setValue(limit);
    }

    std::string header_;
};

TEST_F(RunTrustTest, APreviewShowsTheLinesOfTheRunThatFollowsAndChangesNothing) {
    for (const int action : {IDC_KEEP, IDC_DELETE, IDC_MOVE}) {
        SCOPED_TRACE(action);
        std::filesystem::remove_all(tree_.Path("dst"));
        std::filesystem::remove_all(tree_.Path("bin"));
        tree_.MakeDir("dst");
        tree_.MakeDir("bin");
        tree_.WriteFile("dst/old.txt", "old");
        Restart(true);
        SetAsk(false, 50);
        // Logging on: a preview must not write the log file.
        Show(kOption);
        const std::string log = "run.log";
        if (option_->LogEnabled()) {
            Button(option_.get(), IDC_LOG_ENABLE)->click();
        }
        Edit(option_.get(), IDC_LOG_FILE)->setText(Text(tree_.Path(log)));
        Button(option_.get(), IDC_LOG_ENABLE)->click();
        const std::string stored = Stored("From");
        const std::string logged = tree_.Exists(log) ? tree_.ReadFile(log) : "";
        const auto trees = Trees();
        FillQuick(action);
        const std::vector<std::string> preview = RunBy(Button(quick_.get(), IDC_PREVIEW));
        EXPECT_EQ(header_.rfind("(Preview ", 0), 0u) << header_;
        EXPECT_EQ(sheet_->GetActivePage(), log_.get());
        EXPECT_EQ(Trees(), trees);
        EXPECT_EQ(tree_.Exists(log) ? tree_.ReadFile(log) : "", logged);
        EXPECT_EQ(Stored("From"), stored);
        // The copy, the extra file unless kept, the separator.
        ASSERT_EQ(preview.size(), action == IDC_KEEP ? 2u : 3u);

        FillQuick(action);
        const std::vector<std::string> run = RunBy(Button(quick_.get(), IDC_GO));
        EXPECT_EQ(header_.rfind("(Preview ", 0), std::string::npos);
        EXPECT_EQ(preview, run);
        EXPECT_EQ(tree_.ReadFile("dst/new.txt"), "new");
        EXPECT_EQ(tree_.Exists("dst/old.txt"), action == IDC_KEEP);
        EXPECT_EQ(tree_.Exists("bin/old.txt"), action == IDC_MOVE);
        EXPECT_EQ(Stored("From"), tree_.Path("src"));
        EXPECT_GT(tree_.ReadFile(log).size(), logged.size());
    }
    // The Batch page's Preview runs its checked rows the same way.
    tree_.WriteFile("src/newer.txt", "n");
    batch_->AddItem("job", tree_.Path("src"), tree_.Path("dst"), kBatchChecked);
    Show(kBatch);
    const auto trees = Trees();
    const std::vector<std::string> preview = RunBy(Button(batch_.get(), IDC_PREVIEW));
    EXPECT_EQ(Trees(), trees);
    EXPECT_EQ(sheet_->GetActivePage(), log_.get());
    Show(kBatch);
    EXPECT_EQ(RunBy(Button(batch_.get(), IDC_GO)), preview);
    EXPECT_TRUE(tree_.Exists("dst/newer.txt"));
}

TEST_F(RunTrustTest, TheQuestionComesOnlyAboveTheLimitAndSkipDeletesNothing) {
    const struct {
        bool on;
        int limit;
        bool asks;
    } cases[] = {{true, 4, true}, {true, 5, false}, {false, 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.limit);
        Restart(true);
        AddExtras(4);  // with old.txt: five entries would go
        SetAsk(c.on, c.limit);
        EXPECT_EQ(queue_.m_nAskAbove, c.on ? c.limit : 0);
        FillQuick(IDC_DELETE);
        CMessageBox::Reset();
        CMessageBox::SetNextAnswer(CMessageBox::Answer::kNo);
        const std::vector<std::string> lines = RunBy(Button(quick_.get(), IDC_GO));
        EXPECT_EQ(CMessageBox::Count(), c.asks ? 1 : 0);
        EXPECT_EQ(tree_.Exists("dst/old.txt"), c.asks);
        EXPECT_TRUE(tree_.Exists("dst/new.txt"));  // the copies are made in every case
        if (c.asks) {
            EXPECT_TRUE(CMessageBox::LastText().contains("would delete 5 of the 6 entries"))
                << CMessageBox::LastText().toStdString();
            EXPECT_EQ(lines.at(1).rfind("!Skip: ", 0), 0u);
        }
        tree_.WriteFile("dst/old.txt", "old");
    }
    // The setting is stored, and a store without it reads as on, above 50.
    EXPECT_TRUE(WaitFor([&] { return StoredInt("BoolAskBeforeDeleting") == 0; }));
    EXPECT_EQ(StoredInt("AskAboveEntries"), 1);
    setenv("XDG_CONFIG_HOME", tree_.Path("fresh").c_str(), 1);
    Restart(true);
    EXPECT_TRUE(option_->AskEnabled());
    EXPECT_EQ(queue_.m_nAskAbove, 50);
}

// Waits for the real question box and hands it to `act`; records its text and button texts.
void OnQuestionBox(const std::function<void(QMessageBox*)>& act, QString* text,
                   QStringList* buttons) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        *text = box->text();
        for (QAbstractButton* b : box->buttons()) {
            buttons->append(b->text());
        }
        buttons->sort();
        act(box);
    });
    timer->start();
}

QAbstractButton* ButtonNamed(QMessageBox* box, const QString& text) {
    for (QAbstractButton* b : box->buttons()) {
        if (b->text() == text) {
            return b;
        }
    }
    return nullptr;
}

TEST_F(RunTrustTest, TheRealQuestionBoxIsAnsweredByItsButtons) {
    const struct {
        int action;
        const char* press;
        QStringList buttons;
        bool gone;
    } cases[] = {
        {IDC_DELETE, "Delete them", {"Delete them", "Skip the deletions"}, true},
        {IDC_MOVE, "Skip", {"Move them", "Skip"}, false},
        {IDC_MOVE, "Move them", {"Move them", "Skip"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.press);
        Restart(true);
        tree_.WriteFile("dst/old.txt", "old");
        AddExtras(2);
        SetAsk(true, 2);
        FillQuick(c.action);
        QString text;
        QStringList buttons;
        OnQuestionBox(
            [&](QMessageBox* box) { QTest::mouseClick(ButtonNamed(box, c.press), Qt::LeftButton); },
            &text, &buttons);
        RunBy(Button(quick_.get(), IDC_GO));
        EXPECT_EQ(buttons, c.buttons);
        EXPECT_TRUE(text.contains(Text(tree_.Path("src/") + " => " + tree_.Path("dst/"))))
            << text.toStdString();
        EXPECT_TRUE(text.contains(c.action == IDC_MOVE ? "would move 3 of the 4"
                                                       : "would delete 3 of the 4"));
        EXPECT_NE(tree_.Exists("dst/old.txt"), c.gone);
        EXPECT_EQ(tree_.Exists("bin/old.txt"), c.gone && c.action == IDC_MOVE);
    }
}

TEST_F(RunTrustTest, ATerminationSignalWhileTheQuestionIsOpenCancelsTheRun) {
    Start(true);
    AddExtras(3);
    SetAsk(true, 1);
    FillQuick(IDC_DELETE);
    CSignalCloser closer(sheet_.get());
    QString text;
    QStringList buttons;
    OnQuestionBox([](QMessageBox*) { raise(SIGTERM); }, &text, &buttons);
    QTest::mouseClick(Button(quick_.get(), IDC_GO), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !queue_.m_bRunning; }));
    EXPECT_FALSE(text.isEmpty());
    EXPECT_FALSE(sheet_->isVisible());
    EXPECT_EQ(tree_.List("dst").size(), 5u);  // new.txt, old.txt and the three extras
    EXPECT_TRUE(tree_.Exists("dst/old.txt"));
}

TEST_F(RunTrustTest, TheOutcomeShowsBesideTheBarInTheTitleAndOnTheStatusTab) {
    Start(true);
    SetAsk(false, 50);
    // One failed copy, and one job refused: an empty source would empty its destination.
    tree_.WriteFile("src/bad.txt", "bad");
    tree_.MakeDir("empty");
    tree_.MakeDir("full");
    tree_.WriteFile("full/keep.txt", "k");
    fs_.FailOn(FailingFileSystem::Op::kCopyFile, "bad.txt", Status::Code::kIoError);
    batch_->AddItem("refused", tree_.Path("empty"), tree_.Path("full"), kBatchChecked);
    batch_->AddItem("fails", tree_.Path("src"), tree_.Path("dst"), kBatchChecked);
    Show(kBatch);
    Button(batch_.get(), IDC_DELETE)->click();
    RunBy(Button(batch_.get(), IDC_GO));
    EXPECT_EQ(sheet_->Outcome()->text(), "1 copied, 1 deleted, 0 moved, 1 failed, 1 job refused");
    EXPECT_EQ(sheet_->windowTitle(), QString::fromUtf8("Tandrel \u2014 1 failed, 1 refused"));
    EXPECT_TRUE(sheet_->StatusMarked());
    EXPECT_EQ(sheet_->Progress()->value(), sheet_->Progress()->minimum());
    Show(kStatus);
    EXPECT_FALSE(sheet_->StatusMarked());

    // A run where all went well gives the plain title back and marks nothing.
    fs_.ClearFailures();
    tree_.WriteFile("full/keep.txt", "k");
    tree_.WriteFile("empty/e.txt", "e");
    Show(kBatch);
    RunBy(Button(batch_.get(), IDC_GO));
    EXPECT_EQ(sheet_->windowTitle(), "Tandrel");
    EXPECT_FALSE(sheet_->StatusMarked());
}

TEST_F(RunTrustTest, ALongRunThatEndsUnseenIsAnnouncedOnTheDesktop) {
    const struct {
        qint64 lastedMs;
        bool active;
        bool announced;
    } cases[] = {{10001, false, true}, {10000, false, false}, {60000, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lastedMs);
        Restart(true);
        qint64 now = 1000;
        QStringList notices;
        sheet_->SetClock([&now] { return now; });
        sheet_->SetNotifier(
            [&](const QString& title, const QString& text) { notices << title + "|" + text; });
        QWidget elsewhere;
        if (c.active) {
            QApplication::setActiveWindow(sheet_.get());
        } else {
            elsewhere.show();
            QApplication::setActiveWindow(&elsewhere);
        }
        ASSERT_EQ(sheet_->isActiveWindow(), c.active);
        FillQuick(IDC_KEEP);
        Hold();  // the clock moves on while the run is going
        QTest::mouseClick(Button(quick_.get(), IDC_GO), Qt::LeftButton);
        now += c.lastedMs;
        Release();
        ASSERT_TRUE(WaitFor([&] { return !queue_.m_bRunning; }));
        EXPECT_EQ(notices.size(), c.announced ? 1 : 0);
        if (c.announced) {
            EXPECT_EQ(notices.front(),
                      "Tandrel: the run has ended|1 copied, 0 deleted, 0 moved, "
                      "0 failed, 0 jobs refused");
        }
    }
}

TEST_F(RunTrustTest, StopEndsTheRunCleanlyAndGoWorksAgain) {
    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape);
        Restart(true);
        for (int i = 0; i < 20; ++i) {
            tree_.WriteFile("src/f" + std::to_string(i),
                            std::string(1000, escape ? 'e' : 's') + std::to_string(i));
        }
        FillQuick(IDC_KEEP);
        EXPECT_FALSE(sheet_->StopButton()->isEnabled());
        Hold();
        QTest::mouseClick(Button(quick_.get(), IDC_GO), Qt::LeftButton);
        ASSERT_TRUE(sheet_->StopButton()->isEnabled());
        EXPECT_FALSE(Enabled(quick_.get(), IDC_PREVIEW));
        if (escape) {
            QTest::keyClick(sheet_.get(), Qt::Key_Escape);
        } else {
            QTest::mouseClick(sheet_->StopButton(), Qt::LeftButton);
        }
        Release();
        ASSERT_TRUE(WaitFor([&] { return !queue_.m_bRunning; }));
        EXPECT_TRUE(sheet_->isVisible());
        EXPECT_FALSE(sheet_->StopButton()->isEnabled());
        EXPECT_TRUE(sheet_->Outcome()->text().startsWith("Stopped: "));
        // No temporary, no placeholder time, and a file with its source's time is its copy.
        for (const std::string& rel : tree_.List("dst")) {
            EXPECT_EQ(rel.find(".tmp"), std::string::npos) << rel;
            EXPECT_NE(tree_.Mtime("dst/" + rel), 1000000000) << rel;
            if (tree_.Exists("src/" + rel) &&
                tree_.Mtime("dst/" + rel) == tree_.Mtime("src/" + rel)) {
                EXPECT_EQ(tree_.ReadFile("dst/" + rel), tree_.ReadFile("src/" + rel)) << rel;
            }
        }
        RunBy(Button(quick_.get(), IDC_GO));
        EXPECT_EQ(tree_.List("dst").size(), 22u);  // old.txt, new.txt and the twenty
        EXPECT_EQ(tree_.ReadFile("dst/f7"), tree_.ReadFile("src/f7"));
    }
}

}  // namespace
}  // namespace tandrel
