// The filter options of tandrel-cli: --exclude, --exclude-from and --include-hidden on mirror,
// stored by add, shown by list and applied per entry by batch.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CliRunner.h"
#include "SettingsStore.h"
#include "StoreFixture.h"
#include "TempTree.h"

namespace tandrel {
namespace {

class CliFilters : public StoreFixture {
  protected:
    void SetUp() override {
        StoreFixture::SetUp();
        t.MakeDir("s/build");
        t.MakeDir("s/.config");
        t.MakeDir("d");
        t.WriteFile("s/a.txt", "a");
        t.WriteFile("s/b.tmp", "b");
        t.WriteFile("s/build/x.o", "x");
        t.WriteFile("s/.bashrc", "h");
        t.WriteFile("s/.config/c", "c");
        t.WriteFile("d/keep.tmp", "protected");
        t.WriteFile("d/gone.txt", "extra");
    }
    std::string S(const std::string& rel = "") { return t.Path("s/" + rel); }
    std::string D(const std::string& rel = "") { return t.Path("d/" + rel); }
    std::string Copy(const std::string& rel) { return " Copy: " + S(rel) + " => " + D(rel); }
    // The lines between the header and the separator of the only job.
    static std::vector<std::string> JobLines(const CliResult& r) {
        std::vector<std::string> lines = Lines(r.out);
        return lines.size() < 2 ? lines
                                : std::vector<std::string>(lines.begin() + 1, lines.end() - 1);
    }

    TempTree& t = tree_;
};

TEST_F(CliFilters, MirrorLeavesOutWhatItIsToldAndPreviewsTheSame) {
    t.WriteFile("patterns", "# build output\n\nbuild/\n");
    const std::vector<std::string> args = {"mirror",
                                           S(),
                                           D(),
                                           "--delete",
                                           "--exclude",
                                           "*.tmp",
                                           "--exclude-from",
                                           t.Path("patterns"),
                                           "--include-hidden"};
    const std::vector<std::string> expected = {Copy(".bashrc"), Copy("a.txt"), Copy(".config/c"),
                                               " Delete: " + D("gone.txt")};
    std::vector<std::string> preview = args;
    preview.push_back("--dry-run");
    const CliResult dry = RunCli(preview);
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(JobLines(dry), expected);
    EXPECT_EQ(t.List("d"), (std::set<std::string>{"gone.txt", "keep.tmp"}));

    const CliResult r = RunCli(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(JobLines(r), expected);
    EXPECT_EQ(t.List("d"),
              (std::set<std::string>{".bashrc", ".config/", ".config/c", "a.txt", "keep.tmp"}));
}

TEST_F(CliFilters, ABadPatternOrAnUnreadableFileRunsNothing) {
    // A file far larger than any list of patterns (or one that never ends) is not a pattern
    // file: it is refused rather than read into memory without end.
    std::string huge;
    while (huge.size() <= (1u << 20)) {
        huge += "*.bak\n";
    }
    t.WriteFile("huge", huge);
    struct Case {
        std::vector<std::string> options;
        std::string error;
    } const cases[] = {
        {{"--exclude", "[ab"}, "Pattern '[ab' cannot be used: '[' is not closed"},
        {{"--exclude", "!x"}, "Pattern '!x' cannot be used"},
        {{"--exclude-from", t.Path("missing")},
         "cannot read the exclude file '" + t.Path("missing") + "': No such file or directory"},
        {{"--exclude-from", t.Path("s")}, "cannot read the exclude file '" + t.Path("s") + "'"},
        {{"--exclude"}, "--exclude needs a PATTERN"},
        {{"--exclude-from", t.Path("huge")},
         "the exclude file '" + t.Path("huge") + "' is larger than 1 MiB"},
        {{"--exclude-from", "/dev/zero"}, "the exclude file '/dev/zero' is larger than 1 MiB"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"mirror", S(), D(), "--delete"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CliResult r = RunCli(args);
        EXPECT_EQ(r.status, 2) << c.error;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("tandrel-cli: " + c.error), std::string::npos) << r.err;
        EXPECT_EQ(t.List("d"), (std::set<std::string>{"gone.txt", "keep.tmp"}));
    }
}

TEST_F(CliFilters, AddStoresTheFiltersListShowsThemAndBatchRunsEachWithItsOwn) {
    t.MakeDir("s2");
    t.MakeDir("d2");
    t.WriteFile("s2/c.tmp", "c");
    t.WriteFile("s2/it's.log", "l");
    CliResult r = RunCli({"add", "filtered", S(), D(), "--exclude", "*.tmp", "--include-hidden",
                          "--exclude", "build/"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = RunCli({"add", "plain", t.Path("s2"), t.Path("d2")});
    ASSERT_EQ(r.status, 0) << r.err;
    r = RunCli({"add", "bad", S(), D(), "--exclude", "[x"});
    EXPECT_EQ(r.status, 2);

    r = RunCli({"list"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 [x] filtered: " + t.Path("s") + " => " + t.Path("d") +
                         " --exclude '*.tmp' --exclude 'build/' --include-hidden\n"
                         "2 [x] plain: " +
                         t.Path("s2") + " => " + t.Path("d2") + "\n");

    // The command line's patterns join each entry's own.
    r = RunCli({"batch", "--exclude", "it's.log"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(t.List("d"), (std::set<std::string>{".bashrc", ".config/", ".config/c", "a.txt",
                                                  "gone.txt", "keep.tmp"}));
    EXPECT_EQ(t.List("d2"), (std::set<std::string>{"c.tmp"}));

    // A pattern stored by hand that cannot be used stops the whole batch.
    {
        SettingsStore store(t.Path(kStoreRel));
        SettingsStore::Key key = 0;
        ASSERT_TRUE(store.CreateKey("Software\\Halvory\\Tandrel\\Batch List\\Exclude", &key).ok());
        ASSERT_TRUE(store.SetString(key, "1", "[oops").ok());
    }
    t.WriteFile("s2/new.txt", "n");
    r = RunCli({"batch"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("entry 2 (plain): Pattern '[oops' cannot be used"), std::string::npos)
        << r.err;
    EXPECT_FALSE(t.Exists("d2/new.txt"));
}

}  // namespace
}  // namespace tandrel
