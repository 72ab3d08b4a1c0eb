#include "LineStore.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tandrel {
namespace {

std::string Repeat(const std::string& part, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += part;
    }
    return out;
}

// Every ASCII character 7 pixels wide, any other 14, with a margin of 4 pixels.
void SetTestWidths(LineStore& store) {
    std::array<int, 128> ascii;
    ascii.fill(7 * LineStore::kWidthScale);
    store.SetTextWidths(ascii, 14 * LineStore::kWidthScale, 4);
}

// A store laid out for 10 rows of 10 pixels and 700 pixels of width at 7 pixels a character:
// a horizontal page of (700 * 2 / 7) / 3 = 66 characters. A line of n ASCII characters ends in
// view from position ceil((7n + 2 * 4 - 700) / 7) on.
class LineStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        store.SetMetrics(7, 10);
        store.Resize(700, 100);
        SetTestWidths(store);
    }
    void AddLines(int from, int to) {
        for (int i = from; i <= to; ++i) {
            store.AddLine("line " + std::to_string(i));
        }
    }
    std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        store.Snapshot(&rows);
        return rows;
    }

    LineStore store;
};

TEST_F(LineStoreTest, EmptyViewHasNothingToScroll) {
    const LineViewState s = store.State();
    EXPECT_EQ(s.lineCount, 0);
    EXPECT_EQ(s.pageLines, 10);
    EXPECT_EQ(s.horzPage, 66);
    EXPECT_EQ(s.maxTop, 0);
    EXPECT_TRUE(Rows().empty());
}

TEST_F(LineStoreTest, FollowsTheOutputOnceThePageIsFull) {
    AddLines(1, 10);
    EXPECT_EQ(store.State().topLine, 0);
    AddLines(11, 11);
    EXPECT_EQ(store.State().topLine, 1);
    const std::vector<std::string> rows = Rows();
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows.front(), "line 2");
    EXPECT_EQ(rows.back(), "line 11");
}

TEST_F(LineStoreTest, ViewScrolledBackStaysWhereItIs) {
    AddLines(1, 50);
    EXPECT_EQ(store.State().topLine, 40);
    store.VScroll(kScrollTop);
    AddLines(51, 51);
    const LineViewState s = store.State();
    EXPECT_EQ(s.topLine, 0);
    EXPECT_EQ(s.lineCount, 51);
    EXPECT_EQ(s.maxTop, 41);
    // One line above the bottom row: the next line is not followed either.
    store.VScroll(kScrollThumbTrack, 40);
    AddLines(52, 52);
    EXPECT_EQ(store.State().topLine, 40);
}

TEST_F(LineStoreTest, RingOverwritesTheOldestLineAndKeepsFollowing) {
    AddLines(1, LineStore::kSlots);
    EXPECT_EQ(store.State().topLine, LineStore::kSlots - 10);
    AddLines(LineStore::kSlots + 1, LineStore::kSlots + 1);
    const LineViewState s = store.State();
    EXPECT_EQ(s.lineCount, LineStore::kSlots);
    EXPECT_EQ(s.topLine, LineStore::kSlots - 10);
    EXPECT_EQ(store.Line(0), "line 2");
    EXPECT_EQ(store.Line(LineStore::kSlots - 1), "line 5001");
    EXPECT_EQ(Rows().back(), "line 5001");
}

TEST_F(LineStoreTest, WrappedViewScrolledBackKeepsShowingTheSameLines) {
    AddLines(1, LineStore::kSlots + 20);
    store.VScroll(kScrollThumbPosition, 100);
    const std::vector<std::string> before = Rows();
    AddLines(LineStore::kSlots + 21, LineStore::kSlots + 21);
    EXPECT_EQ(store.State().topLine, 99);
    EXPECT_EQ(Rows(), before);
    // At the very top the oldest line simply goes.
    store.VScroll(kScrollTop);
    AddLines(LineStore::kSlots + 22, LineStore::kSlots + 22);
    EXPECT_EQ(store.State().topLine, 0);
    EXPECT_EQ(Rows().front(), "line 23");
}

TEST_F(LineStoreTest, LongLinesAreCutAndEmptyLinesTakeARow) {
    store.AddLine(std::string(1500, 'x'));
    EXPECT_EQ(store.Line(0), std::string(1023, 'x'));
    // A cut never splits a character: "é" would need bytes 1023 and 1024.
    store.AddLine(std::string(1022, 'a') + "\xC3\xA9" + "tail");
    EXPECT_EQ(store.Line(1), std::string(1022, 'a'));
    store.AddLine(std::string(1021, 'a') + "\xC3\xA9" + "tail");
    EXPECT_EQ(store.Line(2), std::string(1021, 'a') + "\xC3\xA9");
    store.AddLine("");
    EXPECT_EQ(store.State().lineCount, 4);
    EXPECT_EQ(Rows().at(3), "");
}

TEST_F(LineStoreTest, VerticalScrollCodesStayInRange) {
    AddLines(1, 35);  // max top 25
    store.VScroll(kScrollTop);
    store.VScroll(kScrollLineUp);
    EXPECT_EQ(store.State().topLine, 0);
    store.VScroll(kScrollPageDown);
    store.VScroll(kScrollPageDown);
    EXPECT_EQ(store.State().topLine, 20);
    store.VScroll(kScrollPageDown);
    EXPECT_EQ(store.State().topLine, 25);
    store.VScroll(kScrollLineDown);
    EXPECT_EQ(store.State().topLine, 25);
    store.VScroll(kScrollPageUp);
    EXPECT_EQ(store.State().topLine, 15);
    EXPECT_FALSE(store.VScroll(kScrollEnd));
    EXPECT_FALSE(store.VScroll(42));
    EXPECT_EQ(store.State().topLine, 15);
    store.VScroll(kScrollThumbTrack, 1000);
    EXPECT_EQ(store.State().topLine, 25);
}

// Arrows, pages, the thumb and End all stop where the longest line ends.
TEST_F(LineStoreTest, HorizontalScrollStopsAtTheEndOfTheLongestLine) {
    store.AddLine(std::string(1000, 'x'));  // (7000 + 8 - 700) / 7 = 901.1: 902
    ASSERT_EQ(store.State().horzMax, 902);
    store.HScroll(kScrollLineUp);
    EXPECT_EQ(store.State().horzPos, 0);
    store.HScroll(kScrollThumbPosition, 880);
    store.HScroll(kScrollPageDown);
    EXPECT_EQ(store.State().horzPos, 902);
    store.HScroll(kScrollThumbTrack, 1024);
    EXPECT_EQ(store.State().horzPos, 902);
    store.HScroll(kScrollLineDown);
    EXPECT_EQ(store.State().horzPos, 902);
    store.HScroll(kScrollPageUp);
    EXPECT_EQ(store.State().horzPos, 902 - 66);
    store.HScroll(kScrollTop);
    EXPECT_EQ(store.State().horzPos, 0);
    store.HScroll(kScrollBottom);
    EXPECT_EQ(store.State().horzPos, 902);
}

// The range is that of the longest line held, however it is written.
TEST(LineStoreWidths, RangeIsTheLongestLineHeld) {
    const struct {
        const char* what;
        std::vector<std::string> lines;
        int horzMax;
    } cases[] = {
        {"nothing held", {}, 0},
        {"every line fits", {"short", std::string(98, 'x')}, 0},
        {"one character over", {std::string(99, 'x')}, 1},  // 693 + 8 = 701
        {"the longest counts", {std::string(200, 'x'), std::string(300, 'x'), "x"}, 202},
        {"UTF-8 sequences count once", {std::string(100, 'x') + Repeat("\xc3\xa9", 50)}, 102},
        {"four-byte sequences", {std::string(100, 'x') + Repeat("\xf0\x9f\x98\x80", 50)}, 102},
        {"stray continuation bytes", {std::string(100, '\x80')}, 102},
        {"bytes that are never UTF-8", {std::string(100, '\xff')}, 102},
        {"a cut line", {std::string(2000, 'x')}, 925},  // cut to 1023: (7161 + 8 - 700) / 7
    };
    for (const auto& c : cases) {
        LineStore store;
        store.SetMetrics(7, 10);
        store.Resize(700, 100);
        SetTestWidths(store);
        for (const std::string& line : c.lines) {
            store.AddLine(line);
        }
        EXPECT_EQ(store.State().horzMax, c.horzMax) << c.what;
        store.KeyDown(ViewKey::kEnd, false);
        EXPECT_EQ(store.State().horzPos, c.horzMax) << c.what;
    }
}

// As the ring overwrites its oldest lines, the range follows the longest line still held, and
// a view scrolled further comes back to it. Widths given after the lines measure them too.
TEST(LineStoreWidths, RangeFollowsTheLinesAsTheyLeaveTheRing) {
    LineStore store;
    store.SetMetrics(7, 10);
    store.Resize(700, 100);
    store.AddLine(std::string(300, 'x'));  // 202
    store.AddLine(std::string(200, 'x'));  // 102
    store.AddLine(std::string(250, 'x'));  // 152
    store.AddLine(std::string(100, 'x'));  // 2
    EXPECT_EQ(store.State().horzMax, 0);   // no widths yet
    SetTestWidths(store);
    store.KeyDown(ViewKey::kEnd, false);
    EXPECT_EQ(store.State().horzPos, 202);
    for (int i = 4; i < LineStore::kSlots; ++i) {
        store.AddLine("x");
    }
    const int expected[] = {152, 152, 2, 0};  // after each of the four long lines leaves
    for (const int horzMax : expected) {
        store.AddLine("x");
        EXPECT_EQ(store.State().horzMax, horzMax);
        EXPECT_EQ(store.State().horzPos, horzMax);
    }
}

// A narrower view reaches further, a wider one less far.
TEST_F(LineStoreTest, RangeFollowsTheWidthOfTheView) {
    store.AddLine(std::string(200, 'x'));
    EXPECT_EQ(store.State().horzMax, 102);  // (1400 + 8 - 700) / 7 = 101.1
    store.KeyDown(ViewKey::kEnd, false);
    store.Resize(350, 100);
    EXPECT_EQ(store.State().horzMax, 152);
    store.Resize(1400, 100);
    EXPECT_EQ(store.State().horzMax, 2);
    EXPECT_EQ(store.State().horzPos, 2);
}

TEST_F(LineStoreTest, KeysScrollAsTheBarsDo) {
    store.AddLine(std::string(1000, 'x'));  // reaches position 902
    AddLines(2, 40);
    EXPECT_TRUE(store.KeyDown(ViewKey::kHome, true));
    EXPECT_EQ(store.State().topLine, 0);
    EXPECT_TRUE(store.KeyDown(ViewKey::kEnd, true));
    EXPECT_EQ(store.State().topLine, 30);
    EXPECT_EQ(store.State().horzPos, 0);
    store.KeyDown(ViewKey::kEnd, false);
    EXPECT_EQ(store.State().horzPos, 902);
    EXPECT_EQ(store.State().topLine, 30);
    store.KeyDown(ViewKey::kLeft, true);
    EXPECT_EQ(store.State().horzPos, 902 - 66);
    store.KeyDown(ViewKey::kLeft, false);
    EXPECT_EQ(store.State().horzPos, 902 - 67);
    store.KeyDown(ViewKey::kHome, false);
    EXPECT_EQ(store.State().horzPos, 0);
    store.KeyDown(ViewKey::kRight, true);
    EXPECT_EQ(store.State().horzPos, 66);
    store.KeyDown(ViewKey::kUp, false);
    store.KeyDown(ViewKey::kPageUp, false);
    EXPECT_EQ(store.State().topLine, 19);
    store.KeyDown(ViewKey::kDown, false);
    store.KeyDown(ViewKey::kPageDown, false);
    EXPECT_EQ(store.State().topLine, 30);
    EXPECT_FALSE(store.KeyDown(ViewKey::kOther, false));
}

TEST_F(LineStoreTest, GrowingAtTheEndKeepsTheLastLineOnTheBottomRow) {
    AddLines(1, 30);
    ASSERT_EQ(store.State().topLine, 20);
    store.Resize(700, 150);
    EXPECT_EQ(store.State().pageLines, 15);
    EXPECT_EQ(store.State().topLine, 15);
    EXPECT_EQ(Rows().back(), "line 30");

    LineStore few;
    few.SetMetrics(7, 10);
    few.Resize(700, 100);
    few.AddLine("a");
    few.AddLine("b");
    few.Resize(700, 300);
    EXPECT_EQ(few.State().topLine, 0);
}

TEST(LineStoreMetrics, SizeRecordedBeforeTheFontIsMeasuredIsUsedLater) {
    LineStore store;
    store.Resize(350, 95);
    EXPECT_EQ(store.State().pageLines, 0);
    // Lines added meanwhile keep the view at the end of the output.
    for (int i = 0; i < 25; ++i) {
        store.AddLine("x");
    }
    store.SetMetrics(7, 10);
    EXPECT_EQ(store.State().pageLines, 9);
    EXPECT_EQ(store.State().horzPage, 33);
    store.Resize(350, 95);
    EXPECT_EQ(store.State().topLine, 16);
}

// One thread adds lines while another scrolls and takes snapshots, as the worker and the
// window do. Every row read must be a whole line as it was written.
TEST(LineStoreThreads, SnapshotsNeverSeeATornLine) {
    LineStore store;
    store.SetMetrics(7, 10);
    store.Resize(700, 400);
    constexpr int kLines = 20000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < kLines; ++i) {
            const char c = static_cast<char>('a' + i % 26);
            store.AddLine(std::to_string(i) + ":" + std::string(static_cast<size_t>(i % 300), c));
        }
        done = true;
    });
    std::vector<std::string> rows;
    int bad = 0;
    int rounds = 0;
    while (!done || rounds == 0) {
        const LineViewState s = store.Snapshot(&rows);
        EXPECT_LE(static_cast<int>(rows.size()), s.pageLines);
        for (const std::string& row : rows) {
            const size_t colon = row.find(':');
            if (colon == std::string::npos) {
                ++bad;
                continue;
            }
            const int i = std::stoi(row.substr(0, colon));
            const std::string want(static_cast<size_t>(i % 300), static_cast<char>('a' + i % 26));
            bad += row.substr(colon + 1) == want ? 0 : 1;
        }
        store.VScroll(rounds % 3 == 0 ? kScrollPageUp : kScrollBottom);
        ++rounds;
    }
    writer.join();
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(store.State().lineCount, LineStore::kSlots);
    EXPECT_EQ(store.Line(LineStore::kSlots - 1).substr(0, 6), "19999:");
}

}  // namespace
}  // namespace tandrel
