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

namespace tandrel {
namespace {

uint32_t Channel(uint32_t rgb, int shift) {
    return (rgb >> shift) & 0xFF;
}

TEST(LogColors, ContrastFollowsTheAccessibilityFormula) {
    EXPECT_NEAR(ContrastRatio(0xFFFFFF, 0x000000), 21.0, 1e-9);
    EXPECT_NEAR(ContrastRatio(0x000000, 0xFFFFFF), 21.0, 1e-9);
    EXPECT_NEAR(ContrastRatio(0x777777, 0x777777), 1.0, 1e-9);
    EXPECT_NEAR(ContrastRatio(0x767676, 0xFFFFFF), 4.54, 0.01);
}

// On a light palette the described colours; on dark ones (the bases of common dark themes)
// each is lightened, never darkened or changed in another way, until it reads at 4.5 : 1.
TEST(LogColors, LightPaletteKeepsTheColoursDarkOnesGetReadableLighterOnes) {
    const LogColors light = LogColorsFor(0xFFFFFF, 0x000000);
    EXPECT_EQ(light.background, 0xFFFFFFu);
    EXPECT_EQ(light.mark, kColorMark);
    EXPECT_EQ(light.verb, kColorVerb);
    EXPECT_EQ(light.time, kColorTime);
    EXPECT_EQ(light.text, kColorText);
    EXPECT_EQ(LogColorsFor(0xF0F0F0, 0x202020).text, 0x202020u);  // the palette's own text

    struct Dark {
        uint32_t base;
        uint32_t text;
    };
    for (const Dark d :
         {Dark{0x232629, 0xEFF0F1}, Dark{0x2A2A2A, 0xFFFFFF}, Dark{0x353535, 0xDDDDDD},
          Dark{0x1E1E1E, 0xD4D4D4}, Dark{0x000000, 0x808080}, Dark{0x3C3F41, 0x5A5A5A}}) {
        SCOPED_TRACE(d.base);
        const LogColors dark = LogColorsFor(d.base, d.text);
        EXPECT_EQ(dark.background, d.base);
        const std::pair<uint32_t, uint32_t> pairs[] = {{dark.mark, kColorMark},
                                                       {dark.verb, kColorVerb},
                                                       {dark.time, kColorTime},
                                                       {dark.text, d.text}};
        for (const auto& [shown, described] : pairs) {
            SCOPED_TRACE(described);
            EXPECT_GE(ContrastRatio(shown, d.base), 4.5);
            for (const int shift : {0, 8, 16}) {
                EXPECT_GE(Channel(shown, shift), Channel(described, shift));
            }
        }
        // Red and orange stay told apart from each other and from the text.
        EXPECT_NE(dark.mark, dark.time);
        EXPECT_GT(Channel(dark.mark, 16), Channel(dark.mark, 8));
        EXPECT_GT(Channel(dark.time, 16), Channel(dark.time, 0));
    }
}

}  // namespace
}  // namespace tandrel
