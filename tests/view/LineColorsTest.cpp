#include "LineColors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tandrel {
namespace {

struct ColorRun {
    std::string text;
    uint32_t color;
    bool operator==(const ColorRun& o) const { return text == o.text && color == o.color; }
};

std::vector<ColorRun> Runs(const std::string& line) {
    const LineSegments s = SegmentLine(line);
    std::vector<ColorRun> runs;
    for (int i = 0; i < s.count; ++i) {
        runs.push_back({line.substr(static_cast<size_t>(s.runs[i].start),
                                    static_cast<size_t>(s.runs[i].length)),
                        s.runs[i].color});
    }
    return runs;
}

TEST(SegmentLine, HeaderTimeIsOrangeAndTheDashesBlack) {
    EXPECT_EQ(Runs("(12:00) ----"),
              (std::vector<ColorRun>{{"(12:00)", kColorTime}, {" ----", kColorText}}));
    EXPECT_EQ(Runs("(never closed ----"),
              (std::vector<ColorRun>{{"(never closed ----", kColorText}}));
    EXPECT_EQ(Runs("(x)"), (std::vector<ColorRun>{{"(x)", kColorTime}}));
}

TEST(SegmentLine, ActionLineHasMarkVerbAndPath) {
    EXPECT_EQ(Runs(" Copy: /src/a => /dst/a"),
              (std::vector<ColorRun>{
                  {" ", kColorMark}, {"Copy: ", kColorVerb}, {"/src/a => /dst/a", kColorText}}));
    EXPECT_EQ(
        Runs("!Delete: /d/x"),
        (std::vector<ColorRun>{{"!", kColorMark}, {"Delete: ", kColorVerb}, {"/d/x", kColorText}}));
    EXPECT_EQ(Runs("!"), (std::vector<ColorRun>{{"!", kColorMark}}));
    EXPECT_EQ(Runs("!nospace"),
              (std::vector<ColorRun>{{"!", kColorMark}, {"nospace", kColorText}}));
    EXPECT_EQ(Runs("!word "), (std::vector<ColorRun>{{"!", kColorMark}, {"word ", kColorVerb}}));
}

TEST(SegmentLine, SeparatorAndEmptyLines) {
    EXPECT_EQ(Runs("-(x) y"), (std::vector<ColorRun>{{"-(x) y", kColorText}}));
    EXPECT_TRUE(Runs("").empty());
}

TEST(SegmentLine, FirstCharacterOutsideAsciiIsTakenWhole) {
    EXPECT_EQ(Runs("\xC3\xA9t\xC3\xA9 x"),
              (std::vector<ColorRun>{
                  {"\xC3\xA9", kColorMark}, {"t\xC3\xA9 ", kColorVerb}, {"x", kColorText}}));
}

}  // namespace
}  // namespace tandrel
