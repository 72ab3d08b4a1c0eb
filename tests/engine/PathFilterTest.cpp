// The exclude patterns of a job, as a table of patterns and relative paths, and the rule for
// names beginning with ".".

#include <gtest/gtest.h>

#include "NameText.h"
#include "PathFilter.h"

namespace tandrel {
namespace {

struct Row {
    const char* pattern;
    const char* rel;
    bool isDir;
    bool fold;
    bool excluded;
};

void CheckRows(const char* group, std::initializer_list<Row> rows) {
    for (const Row& r : rows) {
        PathFilter filter;
        ASSERT_TRUE(PathFilter::Compile({r.pattern}, false, &filter).ok()) << r.pattern;
        EXPECT_EQ(filter.Excludes(r.rel, r.isDir, r.fold), r.excluded)
            << group << ": pattern '" << r.pattern << "' on '" << r.rel << "'"
            << (r.isDir ? " (directory)" : "") << (r.fold ? " ignoring case" : "");
    }
}

constexpr bool kFile = false;
constexpr bool kDir = true;
constexpr bool kExact = false;
constexpr bool kFold = true;

TEST(PathFilter, WildcardsWithinOneName) {
    CheckRows("within one name", {
                                     {"*.tmp", "a.tmp", kFile, kExact, true},
                                     {"*.tmp", ".tmp", kFile, kExact, true},
                                     {"*.tmp", "a.tmpx", kFile, kExact, false},
                                     {"*.tmp", "a.tm", kFile, kExact, false},
                                     {"a*b*c", "aXbYc", kFile, kExact, true},
                                     {"a*b*c", "abcbc", kFile, kExact, true},
                                     {"a*b*c", "acb", kFile, kExact, false},
                                     {"?.c", "a.c", kFile, kExact, true},
                                     {"?.c", "ab.c", kFile, kExact, false},
                                     {"?.c", ".c", kFile, kExact, false},
                                     {"[ab]x", "bx", kFile, kExact, true},
                                     {"[ab]x", "cx", kFile, kExact, false},
                                     {"[a-c]x", "cx", kFile, kExact, true},
                                     {"[a-c]x", "dx", kFile, kExact, false},
                                     {"[!a]x", "ax", kFile, kExact, false},
                                     {"[!a]x", "zx", kFile, kExact, true},
                                     {"[^a]x", "zx", kFile, kExact, true},
                                     {"[]]x", "]x", kFile, kExact, true},
                                     {"\\*x", "*x", kFile, kExact, true},
                                     {"\\*x", "ax", kFile, kExact, false},
                                     {"x\\[1]", "x[1]", kFile, kExact, true},
                                     {"node_modules", "node_modules", kDir, kExact, true},
                                     {"node_modules", "node_module", kDir, kExact, false},
                                 });
}

TEST(PathFilter, DepthAnchoringAndDirectories) {
    CheckRows("a name alone matches at any depth", {
                                                       {"*.tmp", "a/b/c.tmp", kFile, kExact, true},
                                                       {"cache", "x/y/cache", kDir, kExact, true},
                                                       {"cache", "cache/x", kFile, kExact, false},
                                                   });
    CheckRows("'*' and '?' stay within one name",
              {
                  {"/src/*.o", "src/x.o", kFile, kExact, true},
                  {"/src/*.o", "src/sub/x.o", kFile, kExact, false},
                  {"/src/*.o", "x.o", kFile, kExact, false},
                  {"a?b", "a/b", kFile, kExact, false},
              });
    CheckRows("'**' spans directories", {
                                            {"**/cache", "cache", kDir, kExact, true},
                                            {"**/cache", "a/b/cache", kDir, kExact, true},
                                            {"a/**/b", "a/b", kFile, kExact, true},
                                            {"a/**/b", "a/x/y/b", kFile, kExact, true},
                                            {"a/**/b", "x/a/b", kFile, kExact, false},
                                            {"a/**", "a/x", kFile, kExact, true},
                                            {"a/**", "a/x/y", kFile, kExact, true},
                                            {"a/**", "a", kDir, kExact, false},
                                        });
    CheckRows("a '/' ties the pattern to the root",
              {
                  {"/build", "build", kDir, kExact, true},
                  {"/build", "x/build", kDir, kExact, false},
                  {"doc/frotz", "doc/frotz", kFile, kExact, true},
                  {"doc/frotz", "a/doc/frotz", kFile, kExact, false},
                  {"doc//frotz", "doc/frotz", kFile, kExact, true},
              });
    CheckRows("a trailing '/' matches directories only",
              {
                  {"build/", "build", kDir, kExact, true},
                  {"build/", "x/build", kDir, kExact, true},
                  {"build/", "build", kFile, kExact, false},
                  {"/out/", "out", kDir, kExact, true},
              });
}

TEST(PathFilter, BytesAndCase) {
    CheckRows("bytes as they are",
              {
                  {"caf\xe9*", "caf\xe9.txt", kFile, kExact, true},
                  {"*\xff", "a\xff", kFile, kExact, true},
                  {"?", "\xc3\xa9", kFile, kExact, false},  // two bytes, one "?"
                  {"??", "\xc3\xa9", kFile, kExact, true},
                  {"[\x80-\xff]x", "\xe9x", kFile, kExact, true},
                  {"* *", "a b", kFile, kExact, true},
              });
    CheckRows("case as the destination decides",
              {
                  {"*.TMP", "a.tmp", kFile, kExact, false},
                  {"*.TMP", "a.tmp", kFile, kFold, true},
                  {"Build/", "BUILD", kDir, kFold, true},
                  {"[A-C]x", "bx", kFile, kExact, false},
                  {"[A-C]x", "bx", kFile, kFold, true},
                  {"[a-c]x", "Bx", kFile, kFold, true},
                  {"\xc9*", "\xe9", kFile, kFold, false},  // only ASCII letters fold
              });
}

TEST(PathFilter, NamesBeginningWithDot) {
    PathFilter plain;
    PathFilter hidden;
    ASSERT_TRUE(PathFilter::Compile({"*.log"}, true, &hidden).ok());
    struct Case {
        const char* rel;
        bool byDefault;
        bool withHidden;
    } const cases[] = {
        {".bashrc", false, true},
        {"a/.config", false, true},
        {"a/b", true, true},
        {".", false, false},
        {"a/..", false, false},
        {".x.log", false, false},                             // hidden, and excluded
        {".tandrel-123-0123456789abcdef.tmp", false, false},  // a run's own temporary
    };
    for (const Case& c : cases) {
        EXPECT_EQ(plain.TakesPart(c.rel, false, false), c.byDefault) << c.rel;
        EXPECT_EQ(hidden.TakesPart(c.rel, false, false), c.withHidden) << c.rel;
    }
}

TEST(PathFilter, PatternsThatCannotBeUsedAreRefusedByName) {
    struct Case {
        const char* pattern;
        const char* why;
    } const cases[] = {
        {"[ab", "'[' is not closed"},
        {"x/[!", "'[' is not closed"},
        {"a\\", "lone"},
        {"!keep.txt", "exception"},
        {"", "empty"},
        {"/", "names nothing"},
        {"a\nb", "line break"},
    };
    for (const Case& c : cases) {
        PathFilter filter;
        ASSERT_TRUE(PathFilter::Compile({"*.o"}, false, &filter).ok());
        const Status s = PathFilter::Compile({"fine", c.pattern}, true, &filter);
        ASSERT_FALSE(s.ok()) << c.pattern;
        EXPECT_NE(s.reason().find("Pattern '" + ShownName(c.pattern) + "'"), std::string::npos)
            << s.reason();
        EXPECT_NE(s.reason().find(c.why), std::string::npos) << s.reason();
        EXPECT_EQ(s.reason(), PathFilter::PatternError(c.pattern));
        // The filter it was to replace is left as it was.
        EXPECT_EQ(filter.Patterns(), std::vector<std::string>{"*.o"});
        EXPECT_FALSE(filter.IncludesHidden());
    }
    EXPECT_EQ(PathFilter::PatternError("\\!keep.txt"), "");
    EXPECT_EQ(PathFilter::PatternError("x[1]"), "");
}

}  // namespace
}  // namespace tandrel
