// A real run through the worker, shown by the real sheet and Status page.
#include <gtest/gtest.h>

#include <string>

#include "CBackup.h"
#include "CJobQueue.h"
#include "CPageLog.h"
#include "CVelSheet.h"
#include "GuiWait.h"
#include "ShellTestPages.h"
#include "TempTree.h"

namespace tandrel {
namespace {

TEST(RunDisplay, RunLinesProgressAndTheEndOfTheRunReachTheWindow) {
    TempTree src;
    TempTree dst;
    src.WriteFile("a.txt", "alpha");
    src.MakeDir("sub");
    src.WriteFile("sub/b.txt", "beta");
    src.WriteFile("sub/c.txt", "gamma");

    CJobQueue queue;
    CVelSheet sheet("Tandrel", 0, 30, nullptr, 0, queue);
    CPageLog log;
    RunStatePage other(sheet.Progress());
    sheet.AddPage(&other);
    sheet.AddPage(&log);
    sheet.Create();
    CBackup worker(queue);  // stopped before the pages and the sheet go
    worker.Start();
    queue.m_pThread = &worker;
    queue.m_pPageLog = &log;
    queue.m_pSheet = &sheet;

    queue.AddJob(src.root(), dst.root(), 0);
    ASSERT_TRUE(queue.StartRun(kActionKeep, ""));
    ASSERT_TRUE(WaitFor([&] { return !queue.m_bRunning; }));

    const LineStore& lines = log.View().Lines();
    ASSERT_TRUE(WaitFor([&] { return lines.State().lineCount == 5; }));
    EXPECT_EQ(lines.Line(0).substr(0, 1), "(");
    EXPECT_EQ(lines.Line(0).size(), 127u);
    EXPECT_EQ(lines.Line(1), " Copy: " + src.Path("a.txt") + " => " + dst.Path("a.txt"));
    EXPECT_EQ(lines.Line(4), std::string(127, '-'));
    EXPECT_EQ(dst.ReadFile("sub/c.txt"), "gamma");

    // The first page was active: it alone was told, once, and the bar was back at 0 by then.
    EXPECT_EQ(other.states, std::vector<int>{0});
    EXPECT_EQ(other.barAtCall, std::vector<int>{0});
    EXPECT_EQ(sheet.Progress()->maximum(), 3);

    worker.Stop();
    queue.m_pThread = nullptr;
    queue.m_pPageLog = nullptr;
    queue.m_pSheet = nullptr;
}

}  // namespace
}  // namespace tandrel
