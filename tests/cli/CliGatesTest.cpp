// The gates of tandrel-cli: an empty source never empties a backup, a limit on deletes, a
// relative name given to add, two runs on one destination, and a preview that changes nothing.

#include <gtest/gtest.h>

#include <cstdlib>

#include "CliRunner.h"
#include "TempTree.h"

namespace tandrel {
namespace {

class CliGates : public ::testing::Test {
  protected:
    CliGates() {
        t.MakeDir("s");
        t.MakeDir("d/sub");
        t.WriteFile("d/a.txt", "a");
        t.WriteFile("d/sub/b.txt", "b");
        // Each test has its own batch list.
        const char* old = std::getenv("XDG_CONFIG_HOME");
        hadConfig_ = old != nullptr;
        savedConfig_ = hadConfig_ ? old : "";
        setenv("XDG_CONFIG_HOME", t.Path("config").c_str(), 1);
    }
    ~CliGates() override {
        if (hadConfig_) {
            setenv("XDG_CONFIG_HOME", savedConfig_.c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
    }
    std::string S(const std::string& rel = "") { return t.Path("s/" + rel); }
    std::string D(const std::string& rel = "") { return t.Path("d/" + rel); }
    std::set<std::string> Dest() { return t.List("d"); }

    TempTree t;
    const std::set<std::string> full_{"a.txt", "sub/", "sub/b.txt"};

  private:
    bool hadConfig_ = false;
    std::string savedConfig_;
};

TEST_F(CliGates, AnEmptySourceDoesNotEmptyTheDestination) {
    // What an unmounted disk leaves behind: an empty mount point.
    const CliResult r = RunCli({"mirror", S(), D(), "--delete"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Dest(), full_);
    const std::string skip =
        "!Skip: " + S() + " => " + D() + " (the source holds nothing; nothing is deleted)";
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    EXPECT_EQ(lines[1], skip);
    EXPECT_EQ(r.err, "tandrel-cli: " + skip.substr(1) + "; --allow-empty-source runs it\n");

    // The batch list is held back the same way.
    ASSERT_EQ(RunCli({"add", "backup", S(), D()}).status, 0);
    const CliResult batch = RunCli({"batch", "--delete"});
    EXPECT_EQ(batch.status, 1);
    EXPECT_EQ(Lines(batch.out).at(1), skip);
    EXPECT_EQ(Dest(), full_);
}

TEST_F(CliGates, AnEmptySourceEmptiesTheDestinationWhenAllowed) {
    const CliResult r = RunCli({"mirror", S(), D(), "--delete", "--allow-empty-source"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Dest(), std::set<std::string>{});
    EXPECT_EQ(r.err, "");
}

TEST_F(CliGates, MaxDeleteRefusesBeforeTheFirstDelete) {
    // Three entries would go: a.txt, sub/ and sub/b.txt.
    t.WriteFile("s/keep", "k");
    const std::set<std::string> updated{"a.txt", "keep", "sub/", "sub/b.txt"};
    const CliResult over = RunCli({"mirror", S(), D(), "--delete", "--max-delete", "2"});
    EXPECT_EQ(over.status, 1);
    EXPECT_EQ(Dest(), updated);
    EXPECT_EQ(Lines(over.out).at(2), "!Skip: " + S() + " => " + D() +
                                          " (3 entries would be deleted, more than the limit"
                                          " of 2)");
    ASSERT_EQ(RunCli({"add", "backup", S(), D()}).status, 0);
    const CliResult batchOver = RunCli({"batch", "--delete", "--max-delete", "2"});
    EXPECT_EQ(batchOver.status, 1);
    EXPECT_EQ(Dest(), updated);

    const CliResult at = RunCli({"batch", "--max-delete", "3", "--delete"});
    EXPECT_EQ(at.status, 0) << at.err;
    EXPECT_EQ(Dest(), std::set<std::string>{"keep"});
}

TEST_F(CliGates, MaxDeleteNeedsACount) {
    for (const char* bad : {"", "-1", "x", "2x"}) {
        const CliResult r = RunCli({"mirror", S(), D(), "--delete", "--max-delete", bad});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_EQ(r.err, "tandrel-cli: --max-delete needs a number of entries (0 or more)\n");
    }
    EXPECT_EQ(RunCli({"mirror", S(), D(), "--max-delete"}).status, 2);
    EXPECT_EQ(Dest(), full_);
}

TEST_F(CliGates, AddKeepsARelativeNameAsTheDirectoryItNamesThen) {
    for (const char* place : {"A", "B"}) {
        t.MakeDir(std::string(place) + "/src");
        t.MakeDir(std::string(place) + "/dst");
        t.WriteFile(std::string(place) + "/src/f", place);
        t.WriteFile(std::string(place) + "/dst/extra", place);
    }
    t.MakeLink("L", t.Path("A"));
    // Through a link the user typed: the link stays in the stored name.
    const CliResult added = RunCli({"add", "job", "src", "./dst/"}, {}, false, t.Path("A"));
    ASSERT_EQ(added.status, 0) << added.err;
    const CliResult viaLink =
        RunCli({"add", "link", "../L//src", "../L/./dst"}, {}, false, t.Path("B"));
    ASSERT_EQ(viaLink.status, 0) << viaLink.err;
    const CliResult list = RunCli({"list"});
    EXPECT_EQ(list.out, "[x] job: " + t.Path("A/src") + " => " + t.Path("A/dst") + "\n" +
                            "[x] link: " + t.Path("B/../L/src") + " => " + t.Path("B/../L/dst") +
                            "\n");

    const CliResult run = RunCli({"batch", "--delete"}, {}, false, t.Path("B"));
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(t.List("A/dst"), (std::set<std::string>{"f"}));
    EXPECT_EQ(t.List("B/dst"), (std::set<std::string>{"extra"}));
    EXPECT_EQ(t.ReadFile("B/src/f"), "B");
}

}  // namespace
}  // namespace tandrel
