// The walk's side thread: tasks run one after the other on one other thread, and what a task
// throws reaches the thread that waits for it.
#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

#include "SideThread.h"

namespace tandrel {
namespace {

TEST(SideThread, RunsEachTaskOnOneOtherThreadAndPassesOnWhatItThrows) {
    SideThread side;
    side.Wait();  // nothing given yet: returns at once
    std::vector<std::thread::id> ran;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(side.Run([&] { ran.push_back(std::this_thread::get_id()); }));
        side.Wait();
    }
    ASSERT_EQ(ran.size(), 3u);
    EXPECT_NE(ran[0], std::this_thread::get_id());
    EXPECT_EQ(ran[1], ran[0]);
    EXPECT_EQ(ran[2], ran[0]);

    ASSERT_TRUE(side.Run([] { throw std::runtime_error("side"); }));
    EXPECT_THROW(side.Wait(), std::runtime_error);
    side.Wait();  // thrown once only
    bool after = false;
    ASSERT_TRUE(side.Run([&] { after = true; }));
    side.Wait();
    EXPECT_TRUE(after);
}

}  // namespace
}  // namespace tandrel
