#include "CVelSheet.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <memory>
#include <thread>

#include "CPageLog.h"
#include "GuiWait.h"
#include "ShellTestPages.h"

namespace tandrel {
namespace {

class CVelSheetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        other.SetBar(sheet.Progress());
        sheet.AddPage(&log);
        sheet.AddPage(&other);
        sheet.Create();
        ASSERT_TRUE(WaitFor([this] { return sheet.windowHandle()->isExposed(); }));
    }

    CJobQueue queue;
    CVelSheet sheet{"Tandrel", 0, 30, nullptr, 0, queue};
    CPageLog log;  // pages go before the sheet
    RunStatePage other;
};

TEST_F(CVelSheetTest, ShowsTheFirstPageAndTheBarBelowThePagesWithoutDialogButtons) {
    auto* tabs = sheet.findChild<QTabWidget*>("tabs");
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), "Status");
    EXPECT_EQ(sheet.GetActivePage(), &log);
    EXPECT_TRUE(log.HasWindow());
    EXPECT_FALSE(other.HasWindow());  // built when first shown
    // No dialog buttons: the one button is "Stop", beside the bar.
    ASSERT_EQ(sheet.findChildren<QPushButton*>().size(), 1);
    EXPECT_EQ(sheet.findChildren<QPushButton*>().front(), sheet.StopButton());
    EXPECT_EQ(sheet.windowTitle(), "Tandrel");
    EXPECT_FALSE(sheet.windowIcon().isNull());
    EXPECT_TRUE(sheet.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(sheet.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_FALSE(sheet.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    // Its usual size is its least; it may grow.
    EXPECT_EQ(sheet.size(), QSize(538, 346));
    EXPECT_EQ(sheet.minimumSize(), QSize(538, 346));
    EXPECT_GT(sheet.maximumSize().width(), 4000);

    EXPECT_EQ(sheet.Progress()->property("controlId").toInt(), 101);
    const QRect bar = sheet.Progress()->geometry();
    EXPECT_EQ(bar.left(), 10);
    EXPECT_EQ(sheet.StopButton()->geometry().right() + 1, sheet.width() - 10);
    EXPECT_LT(bar.right(), sheet.StopButton()->geometry().left());
    EXPECT_EQ(bar.height(), 16);
    // The client area ended 5 pixels above the bar; the window is 30 pixels taller than that.
    const int clientBottom = bar.top() - 5;
    EXPECT_EQ(sheet.height(), clientBottom + 30);
    EXPECT_EQ(tabs->geometry().bottom() + 1 + 7, clientBottom);
    EXPECT_EQ(sheet.Progress()->value(), sheet.Progress()->minimum());

    tabs->tabBar()->setCurrentIndex(1);
    EXPECT_EQ(sheet.GetActivePage(), &other);
    EXPECT_TRUE(other.HasWindow());
}

TEST_F(CVelSheetTest, WindowMenuEndsWithTheAboutEntryThatOpensTheAboutBox) {
    QMenu menu;
    sheet.FillWindowMenu(&menu);
    const QList<QAction*> actions = menu.actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_EQ(actions.back()->text(), "&About Tandrel...");
    EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());

    QString seen;
    QTimer::singleShot(0, [&seen] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        seen = box->windowTitle();
        QTest::mouseClick(box->findChild<QPushButton*>("ok"), Qt::LeftButton);
    });
    actions.back()->trigger();
    EXPECT_EQ(seen, "About Tandrel");
    EXPECT_TRUE(sheet.isVisible());
}

TEST_F(CVelSheetTest, EndOfRunArrivesAfterTheLastProgressAndTellsTheActivePage) {
    sheet.SetActivePage(1);
    queue.m_bRunning = true;
    std::thread worker([this] {
        sheet.SetProgressRange(0, 200);
        for (int i = 1; i <= 150; ++i) {
            sheet.SetProgressPos(i);
        }
        sheet.PostJobsDone();
    });
    worker.join();
    ASSERT_TRUE(WaitFor([this] { return !other.states.empty(); }));
    EXPECT_EQ(other.states, std::vector<int>{0});
    EXPECT_EQ(other.barAtCall, std::vector<int>{150});
    EXPECT_EQ(sheet.Progress()->maximum(), 200);
    EXPECT_FALSE(queue.m_bRunning);
}

TEST_F(CVelSheetTest, EmptyRangeShowsAnEmptyBarAndPositionsStayInRange) {
    sheet.SetProgressRange(0, 0);
    sheet.SetProgressPos(0);
    ASSERT_TRUE(WaitForPostedEvents());
    QProgressBar* bar = sheet.Progress();
    EXPECT_LT(bar->minimum(), bar->maximum());  // not the "busy" bar
    EXPECT_EQ(bar->value(), bar->minimum());

    sheet.SetProgressRange(0, 10);
    sheet.SetProgressPos(25);  // more files than were counted
    EXPECT_TRUE(WaitFor([&] { return bar->maximum() == 10 && bar->value() == 10; }));
}

// Counts the queued calls that reach the sheet: each is one wake-up of the window by another
// thread.
class PostCounter : public QObject {
  public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MetaCall) {
            ++posts;
        }
        return QObject::eventFilter(watched, event);
    }
    int posts = 0;
};

// The worker only stores its progress: a run wakes the window once, whatever the number of
// steps and however often the window is idle between them; the window shows the latest values
// on its own. The next run wakes it once more.
TEST_F(CVelSheetTest, ProgressWakesTheWindowOnceARunNotOnceAStep) {
    PostCounter counter;
    sheet.installEventFilter(&counter);
    for (int run = 1; run <= 2; ++run) {
        queue.m_bRunning = true;
        std::thread([this] { sheet.SetProgressRange(0, 100); }).join();
        for (int i = 1; i <= 100; ++i) {
            std::thread([this, i] { sheet.SetProgressPos(i); }).join();
            ASSERT_TRUE(WaitForPostedEvents());  // the window idle between two steps
        }
        EXPECT_EQ(counter.posts, run * 1 + (run - 1) * 2);
        EXPECT_TRUE(WaitFor([this] { return sheet.Progress()->value() == 100; }));
        std::thread([this] {
            sheet.RunEnded(RunSummary{});
            sheet.PostJobsDone();
        }).join();
        ASSERT_TRUE(WaitFor([this] { return !queue.m_bRunning; }));
        EXPECT_EQ(counter.posts, run * 3);  // the start, the summary and the notice
    }
    sheet.removeEventFilter(&counter);
}

// While the files are being counted the bar is busy; then it shows the position against the
// total, and at the end it is back at 0 where the worker left it. A run stopped while counting
// ends with an empty bar, not a busy one.
TEST_F(CVelSheetTest, TheBarIsBusyUntilTheCountIsInAndEmptyAtTheEnd) {
    QProgressBar* bar = sheet.Progress();
    queue.m_bRunning = true;
    std::thread([this] {
        sheet.SetProgressRange(0, IRunMonitor::kCounting);
        sheet.SetProgressPos(3);
    }).join();
    EXPECT_TRUE(WaitFor([&] { return bar->minimum() == 0 && bar->maximum() == 0; }));
    std::thread([this] {
        sheet.SetProgressRange(0, 10);
        sheet.SetProgressPos(4);
    }).join();
    EXPECT_TRUE(WaitFor([&] { return bar->maximum() == 10 && bar->value() == 4; }));
    std::thread([this] {
        sheet.SetProgressPos(7);  // two files were not taken by the walk
        sheet.SetProgressPos(0);  // the worker's reset at the end
        sheet.RunEnded(RunSummary{});
        sheet.PostJobsDone();
    }).join();
    ASSERT_TRUE(WaitFor([this] { return !queue.m_bRunning; }));
    EXPECT_EQ(bar->maximum(), 10);
    EXPECT_EQ(bar->value(), 0);

    queue.m_bRunning = true;
    std::thread([this] {
        sheet.SetProgressRange(0, IRunMonitor::kCounting);
        sheet.SetProgressPos(1);
    }).join();
    EXPECT_TRUE(WaitFor([&] { return bar->maximum() == 0; }));
    std::thread([this] {
        sheet.SetProgressPos(0);
        RunSummary stopped;
        stopped.stopped = true;
        sheet.RunEnded(stopped);
        sheet.PostJobsDone();
    }).join();
    ASSERT_TRUE(WaitFor([this] { return !queue.m_bRunning; }));
    EXPECT_LT(bar->minimum(), bar->maximum());
    EXPECT_EQ(bar->value(), bar->minimum());
}

TEST_F(CVelSheetTest, EscapeDoesNotCloseTheWindow) {
    QTest::keyClick(&sheet, Qt::Key_Escape);
    ASSERT_TRUE(WaitForPostedEvents());
    EXPECT_TRUE(sheet.isVisible());
}

// Start-up destroys the pages, the active one among them, before the sheet.
TEST(CVelSheetTeardown, DestroyingPagesActivatesNoOtherPage) {
    CJobQueue queue;
    CVelSheet sheet("Tandrel", 0, 30, nullptr, 0, queue);
    auto first = std::make_unique<RunStatePage>();
    auto second = std::make_unique<RunStatePage>();
    auto third = std::make_unique<RunStatePage>();
    sheet.AddPage(first.get());
    sheet.AddPage(second.get());
    sheet.AddPage(third.get());
    sheet.Create();
    sheet.SetActivePage(2);
    third.reset();
    EXPECT_EQ(sheet.GetPageCount(), 2);
    EXPECT_EQ(sheet.GetActivePage(), nullptr);
    EXPECT_FALSE(second->HasWindow());
    second.reset();
    first.reset();
    EXPECT_EQ(sheet.GetPageCount(), 0);
    // A run that ends now finds no page to tell.
    queue.m_bRunning = true;
    sheet.PostJobsDone();
    EXPECT_TRUE(WaitFor([&queue] { return !queue.m_bRunning; }));
}

}  // namespace
}  // namespace tandrel
