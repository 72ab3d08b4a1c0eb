#include "CPageLog.h"

#include <gtest/gtest.h>

#include <thread>

#include "CJobQueue.h"
#include "GuiWait.h"
#include "ShellTestPages.h"

namespace tandrel {
namespace {

TEST(CPageLog, LinesWrittenOnTheWorkerThreadReachTheView) {
    CJobQueue queue;
    CPageLog page;
    page.resize(500, 300);
    // Lines may come before the page was ever shown: the store exists from construction.
    page.AddLine("(Mon Mar 01 14:05:09 1999) ----");
    page.show();
    page.Activate();
    queue.m_pPageLog = &page;
    std::thread worker([&queue] {
        queue.WriteLine(" Copy: /src/a.txt => /dst/a.txt");
        queue.WriteLine("");
        queue.WriteLine("-------");
    });
    worker.join();
    queue.m_pPageLog = nullptr;
    const LineStore& lines = page.View().Lines();
    ASSERT_TRUE(WaitFor([&] { return lines.State().lineCount == 4; }));
    EXPECT_EQ(lines.Line(1), " Copy: /src/a.txt => /dst/a.txt");
    EXPECT_EQ(lines.Line(2), "");  // an empty line keeps its row
    EXPECT_EQ(lines.Line(3), "-------");
    EXPECT_EQ(page.View().geometry(), page.rect().adjusted(7, 7, -7, -7));
    EXPECT_EQ(page.View().property("controlId").toInt(), 1000);
}

}  // namespace
}  // namespace tandrel
