// The gates of tandrel-cli: an empty source never empties a backup, a limit on deletes, a
// relative name given to add, two runs on one destination, and a preview that changes nothing.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <thread>

#include "CliRunner.h"
#include "FileSystem.h"
#include "RunLock.h"
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
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        hadRuntime_ = runtime != nullptr;
        savedRuntime_ = hadRuntime_ ? runtime : "";
        t.MakeDir("runtime");
        setenv("XDG_RUNTIME_DIR", t.Path("runtime").c_str(), 1);
    }
    ~CliGates() override {
        if (hadConfig_) {
            setenv("XDG_CONFIG_HOME", savedConfig_.c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
        if (hadRuntime_) {
            setenv("XDG_RUNTIME_DIR", savedRuntime_.c_str(), 1);
        } else {
            unsetenv("XDG_RUNTIME_DIR");
        }
    }
    // Takes the run lock of the directory `rel` as another run would.
    void HoldLock(RunLock* lock, const std::string& rel) {
        EntryInfo info;
        ASSERT_TRUE(DefaultFileSystem().Stat(t.Path(rel), &info).ok());
        ASSERT_TRUE(lock->TryLock(info.id).ok());
    }
    std::string S(const std::string& rel = "") { return t.Path("s/" + rel); }
    std::string D(const std::string& rel = "") { return t.Path("d/" + rel); }
    std::set<std::string> Dest() { return t.List("d"); }

    TempTree t;
    const std::set<std::string> full_{"a.txt", "sub/", "sub/b.txt"};

  private:
    bool hadConfig_ = false;
    std::string savedConfig_;
    bool hadRuntime_ = false;
    std::string savedRuntime_;
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
    EXPECT_EQ(r.err, "tandrel-cli: " + skip.substr(1) + "; --allow-empty-source runs it\n" +
                         "tandrel-cli: 0 copied, 0 deleted, 0 moved, 0 failed, 1 job refused\n");

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
    EXPECT_EQ(r.err, "tandrel-cli: 0 copied, 2 deleted, 0 moved, 0 failed, 0 jobs refused\n");
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
    const CliResult viaLink = RunCli({"add", "link", "../L//src", "../L/./dst"},
                                     {"PWD=" + t.Path("B")}, false, t.Path("B"));
    ASSERT_EQ(viaLink.status, 0) << viaLink.err;
    const CliResult list = RunCli({"list"});
    EXPECT_EQ(list.out, "1 [x] job: " + t.Path("A/src") + " => " + t.Path("A/dst") + "\n" +
                            "2 [x] link: " + t.Path("B/../L/src") + " => " + t.Path("B/../L/dst") +
                            "\n");

    const CliResult run = RunCli({"batch", "--delete"}, {}, false, t.Path("B"));
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(t.List("A/dst"), (std::set<std::string>{"f"}));
    EXPECT_EQ(t.List("B/dst"), (std::set<std::string>{"extra"}));
    EXPECT_EQ(t.ReadFile("B/src/f"), "B");

    // Entered through a link, the directory keeps the name the user went by (the shell's PWD);
    // a PWD that names another directory is not believed.
    t.MakeLink("LB", t.Path("B"));
    ASSERT_EQ(
        RunCli({"add", "pwd", "src", "dst"}, {"PWD=" + t.Path("LB")}, false, t.Path("B")).status,
        0);
    ASSERT_EQ(
        RunCli({"add", "other", "src", "dst"}, {"PWD=" + t.Path("A")}, false, t.Path("B")).status,
        0);
    const std::vector<std::string> entries = Lines(RunCli({"list"}).out);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[2], "3 [x] pwd: " + t.Path("LB/src") + " => " + t.Path("LB/dst"));
    EXPECT_EQ(entries[3], "4 [x] other: " + t.Path("B/src") + " => " + t.Path("B/dst"));
}

TEST_F(CliGates, ASecondRunOnOneDestinationWaitsOrIsRefused) {
    t.WriteFile("s/new.txt", "n");
    RunLock other;
    HoldLock(&other, "d");
    const CliResult refused = RunCli({"mirror", S(), D(), "--delete", "--no-wait"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(Dest(), full_);
    const std::string skip = "!Skip: " + S() + " => " + D() + " (another run is using " + D() + ")";
    EXPECT_EQ(Lines(refused.out).at(1), skip);
    EXPECT_EQ(refused.err,
              "tandrel-cli: " + skip.substr(1) + "\n" +
                  "tandrel-cli: 0 copied, 0 deleted, 0 moved, 0 failed, 1 job refused\n");

    // Without --no-wait it waits, says so, and runs once the other run is over. The lock is
    // released from the output callback, after the run has said that it waits.
    bool released = false;
    const CliResult waited = RunCli(
        {"mirror", S(), D(), "--delete"}, {}, false, std::string(), [&](const CliResult& sofar) {
            if (!released && sofar.err.find("Wait:") != std::string::npos) {
                EXPECT_EQ(Dest(), full_);
                other.Unlock();
                released = true;
            }
        });
    EXPECT_TRUE(released);
    EXPECT_EQ(waited.status, 0) << waited.err;
    EXPECT_EQ(waited.err,
              "tandrel-cli: Wait: " + D() + " (another run is using it)\n" +
                  "tandrel-cli: 1 copied, 2 deleted, 0 moved, 0 failed, 0 jobs refused\n");
    EXPECT_EQ(Lines(waited.out).at(1), " Wait: " + D() + " (another run is using it)");
    EXPECT_EQ(Dest(), std::set<std::string>{"new.txt"});
}

TEST_F(CliGates, DirectoryErrorsNameThePathShownEscaped) {
    const std::string forged = t.Path("no\nCopy: x");
    EXPECT_EQ(RunCli({"mirror", forged, D()}).err,
              "tandrel-cli: source directory '" + t.Path("no\\nCopy: x") + "' not found\n");
    t.MakeDir("locked");
    t.Chmod("locked", 0);
    if (access(t.Path("locked").c_str(), R_OK) != 0) {  // not when run with every right
        const CliResult r = RunCli({"mirror", S(), D(), "--move", t.Path("locked")});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(
            r.err.rfind(
                "tandrel-cli: recycle directory '" + t.Path("locked") + "' cannot be read: ", 0),
            0u)
            << r.err;
    }
    t.Chmod("locked", 0755);
    EXPECT_EQ(Dest(), full_);
}

TEST_F(CliGates, ALogFileThatWouldEmptyASourceFileIsNotWritten) {
    t.WriteFile("s/diary.txt", "precious");
    const CliResult r = RunCli({"mirror", S(), D(), "--log", S("diary.txt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tandrel-cli: could not write the log file '" + S("diary.txt") + "'\n" +
                         "tandrel-cli: 1 copied, 0 deleted, 0 moved, 0 failed, 0 jobs refused\n");
    EXPECT_EQ(t.ReadFile("s/diary.txt"), "precious");
    EXPECT_EQ(t.ReadFile("d/diary.txt"), "precious");

    // In the destination it is written and left out of the run.
    const CliResult kept = RunCli({"mirror", S(), D(), "--delete", "--log", D("run.log")});
    EXPECT_EQ(kept.status, 0) << kept.err;
    EXPECT_EQ(t.ReadFile("d/run.log"), kept.out);
    EXPECT_EQ(Dest(), (std::set<std::string>{"diary.txt", "run.log"}));
}

// Everything below `rel` that a run could change: names, kinds, contents, times and modes.
std::map<std::string, std::string> Snapshot(const TempTree& t, const std::string& rel) {
    std::map<std::string, std::string> shot;
    shot[""] = std::to_string(t.Mtime(rel)) + " " + std::to_string(t.Mode(rel));
    for (const std::string& entry : t.List(rel)) {
        const char kind = entry.back();
        const std::string path =
            rel + "/" + (kind == '@' || kind == '|' ? entry.substr(0, entry.size() - 1) : entry);
        std::string state = std::to_string(t.Mtime(path));
        if (kind == '@') {
            state += " " + t.ReadLink(path);
        } else {
            state += " " + std::to_string(t.Mode(path));
        }
        if (kind != '/' && kind != '@' && kind != '|') {
            state += " " + t.ReadFile(path);
        }
        shot[entry] = state;
    }
    return shot;
}

// A preview prints the run's lines and exits as the run does, changing nothing.
TEST_F(CliGates, ADryRunPrintsTheRunsLinesAndChangesNothing) {
    t.WriteFile("s/new.txt", "new");
    t.WriteFile("s/newer.txt", "newer", 9 * 1000000000LL);
    t.WriteFile("d/newer.txt", "older", 1 * 1000000000LL, 0444);
    t.MakeDir("s/tree/deeper");
    t.WriteFile("s/tree/deeper/leaf", "leaf");
    t.WriteFile("s/tree/top", "top");
    t.WriteFile("s/clash", "a file where the destination has a directory");
    t.MakeDir("d/clash");
    t.WriteFile("d/clash/inside", "i");
    t.MakeDir("d/gone/deep");
    t.WriteFile("d/gone/deep/old", "old");
    t.MakeLink("d/extralink", "/nowhere");
    t.MakeFifo("s/pipe");  // never copied, and the reason is the same in a preview
    // Left by a copy that was killed (no process has that id): a run clears it, a preview not.
    t.WriteFile("d/.tandrel-4999999-0123456789abcdef.tmp", "stale");
    t.MakeDir("r");
    const std::vector<std::vector<std::string>> runs = {
        {"mirror", S(), D(), "--delete"},
        {"mirror", S(), D(), "--move", t.Path("r")},
        {"mirror", S(), D()},
    };
    for (const std::vector<std::string>& args : runs) {
        // An extra pipe is deleted, or moved by a rename as any other entry.
        if (!t.Exists("d/fifo")) {
            t.MakeFifo("d/fifo");
        }
        const std::map<std::string, std::string> s = Snapshot(t, "s");
        const std::map<std::string, std::string> d = Snapshot(t, "d");
        const std::map<std::string, std::string> r = Snapshot(t, "r");
        std::vector<std::string> preview = args;
        preview.push_back("--dry-run");
        const CliResult dry = RunCli(preview);
        EXPECT_EQ(Snapshot(t, "s"), s);
        EXPECT_EQ(Snapshot(t, "d"), d);
        EXPECT_EQ(Snapshot(t, "r"), r);
        EXPECT_EQ(dry.status, 1) << dry.out;

        const CliResult real = RunCli(args);
        EXPECT_EQ(dry.status, real.status) << args.back();
        // The same words on stderr, the summary saying that it was a dry run.
        std::string realErr = real.err;
        const size_t last = realErr.rfind("tandrel-cli: ");
        ASSERT_NE(last, std::string::npos) << real.err;
        realErr.insert(last + 13, "dry run: ");
        EXPECT_EQ(dry.err, realErr);
        std::vector<std::string> dryLines = Lines(dry.out);
        std::vector<std::string> realLines = Lines(real.out);
        ASSERT_GE(dryLines.size(), 2u);
        ASSERT_EQ(dryLines.size(), realLines.size()) << dry.out << real.out;
        // The headers carry the time each run started; the preview's says it is one and is as
        // wide as the run's.
        EXPECT_EQ(dryLines.front().rfind("(Preview ", 0), 0u) << dryLines.front();
        EXPECT_EQ(dryLines.front().size(), realLines.front().size());
        dryLines.front().clear();
        realLines.front().clear();
        EXPECT_EQ(dryLines, realLines);
    }
    // The real runs did their work: the first cleared the directory in the way, the second
    // copied the file there.
    EXPECT_EQ(t.List("d"), (std::set<std::string>{"clash", "fifo|", "new.txt", "newer.txt", "tree/",
                                                  "tree/deeper/", "tree/deeper/leaf", "tree/top"}));
}

// A preview of a move names the numbered name the real move takes beside a taken one.
TEST_F(CliGates, ADryRunOfAMoveNamesTheNameTheMoveWillTake) {
    t.WriteFile("d/notes.txt", "extra");
    t.MakeDir("r");
    t.WriteFile("r/notes.txt", "moved by an earlier run");
    const std::string line = " Move: " + D("notes.txt") + " => " + t.Path("r/notes.txt.~1~");
    const CliResult dry = RunCli({"mirror", S(), D(), "--move", t.Path("r"), "--dry-run"});
    EXPECT_EQ(dry.status, 0);
    EXPECT_NE(dry.out.find(line + "\n"), std::string::npos) << dry.out;
    EXPECT_EQ(t.List("r"), std::set<std::string>{"notes.txt"});
    const CliResult real = RunCli({"mirror", S(), D(), "--move", t.Path("r")});
    EXPECT_NE(real.out.find(line + "\n"), std::string::npos) << real.out;
    EXPECT_EQ(t.ReadFile("r/notes.txt"), "moved by an earlier run");
    EXPECT_EQ(t.ReadFile("r/notes.txt.~1~"), "extra");
}

TEST_F(CliGates, ADryRunWritesNoLogFile) {
    t.WriteFile("s/f", "f");
    t.WriteFile("old.log", "previous run");
    const CliResult r = RunCli({"mirror", S(), D(), "--log", t.Path("old.log"), "--dry-run"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "tandrel-cli: --dry-run writes no log file\n"
              "tandrel-cli: dry run: 1 copied, 0 deleted, 0 moved, 0 failed, 0 jobs refused\n");
    EXPECT_EQ(t.ReadFile("old.log"), "previous run");
    EXPECT_FALSE(t.Exists("d/f"));
}

}  // namespace
}  // namespace tandrel
