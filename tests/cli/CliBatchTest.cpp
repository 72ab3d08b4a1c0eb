// tandrel-cli list, add, remove, check, uncheck and batch on real trees, each test with a settings
// store of its own.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CliRunner.h"
#include "SettingsStore.h"
#include "StoreFixture.h"
#include "TempTree.h"

namespace tandrel {
namespace {

// The command inherits the test's own environment, where StoreFixture has pointed
// XDG_CONFIG_HOME at the test's tree, so that no value from outside the test can shadow it and
// reach the user's real store.
class CliBatch : public StoreFixture {
  protected:
    void SetUp() override {
        StoreFixture::SetUp();
        for (const char* dir : {"s1", "d1", "s2", "d2", "s3", "d3"}) {
            t.MakeDir(dir);
        }
        t.WriteFile("s1/one.txt", "1");
        t.WriteFile("s2/two.txt", "2");
        t.WriteFile("s3/three.txt", "3");
    }

    void Add(const std::string& desc, const std::string& from, const std::string& to) {
        const CliResult r = RunCli({"add", desc, t.Path(from), t.Path(to)});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out + r.err, "");
    }

    // Entry `number` as list shows it.
    std::string Entry(int number, bool checked, const std::string& desc, const std::string& from,
                      const std::string& to) {
        return std::to_string(number) + (checked ? " [x] " : " [ ] ") + desc + ": " + t.Path(from) +
               " => " + t.Path(to);
    }

    // Unticks the entry in `row`, as a click on its box on the Batch page would.
    void Uncheck(int row) {
        SettingsStore store(t.Path(kStoreRel));
        SettingsStore::Key flags = 0;
        ASSERT_TRUE(store.OpenKey("Software\\Halvory\\Tandrel\\Batch List\\Flag", &flags).ok());
        ASSERT_TRUE(store.SetDword(flags, std::string(1, static_cast<char>('0' + row)), 1).ok());
    }

    TempTree& t = tree_;
};

TEST_F(CliBatch, FreshStoreListsNothingAndCreatesNothing) {
    const CliResult r = RunCli({"list"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(t.Exists("config"));

    const CliResult run = RunCli({"batch"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");
}

TEST_F(CliBatch, AddChecksBothDirectoriesAsTheItemDialogDoes) {
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Case> refused = {
        {{"add", "d", "", t.Path("d1")}, "source directory name is empty"},
        {{"add", "d", "  ", ""}, "source directory name is empty"},
        {{"add", "d", t.Path("nope"), t.Path("nope")},
         "source directory '" + t.Path("nope") + "' not found"},
        {{"add", "d", t.Path("s1"), ""}, "destination directory name is empty"},
        {{"add", "d", t.Path("s1"), t.Path("d1/missing")},
         "destination directory '" + t.Path("d1/missing") + "' not found"},
        {{"add", "d", t.Path("s1/one.txt"), t.Path("d1")},
         "source directory '" + t.Path("s1/one.txt") + "' is not a directory"},
        {{"add", "d", t.Path("s1")}, "add needs DESCRIPTION, SOURCE and DEST"},
        {{"add", "-d", t.Path("s1"), t.Path("d1")}, "unknown option '-d'"},
    };
    for (const Case& c : refused) {
        const CliResult r = RunCli(c.args);
        EXPECT_EQ(r.status, 2) << c.err;
        EXPECT_EQ(r.err.rfind("tandrel-cli: " + c.err, 0), 0u) << r.err;
    }
    EXPECT_FALSE(t.Exists("config"));  // nothing refused was stored

    // Paths are trimmed; the description is kept as typed, also when it is only blanks or
    // begins with a dash after "--".
    ASSERT_EQ(RunCli({"add", "first", "  " + t.Path("s1") + "\t", " " + t.Path("d1")}).status, 0);
    ASSERT_EQ(RunCli({"add", "   ", t.Path("s2"), t.Path("d2")}).status, 0);
    ASSERT_EQ(RunCli({"add", "--", "-dashed", t.Path("s3"), t.Path("d3")}).status, 0);
    const CliResult list = RunCli({"list"});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(Lines(list.out), (std::vector<std::string>{Entry(1, true, "first", "s1", "d1"),
                                                         Entry(2, true, "   ", "s2", "d2"),
                                                         Entry(3, true, "-dashed", "s3", "d3")}));
}

TEST_F(CliBatch, BatchRunsTheCheckedEntriesFromTheLastUp) {
    Add("one", "s1", "d1");
    Add("two", "s2", "d2");
    Add("three", "s3", "d3");
    Uncheck(1);
    EXPECT_EQ(Lines(RunCli({"list"}).out),
              (std::vector<std::string>{Entry(1, true, "one", "s1", "d1"),
                                        Entry(2, false, "two", "s2", "d2"),
                                        Entry(3, true, "three", "s3", "d3")}));

    const CliResult r = RunCli({"batch"});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 6u) << r.out;
    EXPECT_EQ(lines[0].front(), '(');
    EXPECT_EQ(lines[1], " Copy: " + t.Path("s3/three.txt") + " => " + t.Path("d3/three.txt"));
    EXPECT_EQ(lines[2], std::string(lines[0].size(), '-'));
    EXPECT_EQ(lines[4], " Copy: " + t.Path("s1/one.txt") + " => " + t.Path("d1/one.txt"));
    EXPECT_EQ(t.ReadFile("d1/one.txt"), "1");
    EXPECT_FALSE(t.Exists("d2/two.txt"));
}

// remove, check and uncheck change the entry list numbers N; a bad N is a usage error that
// changes nothing.
TEST_F(CliBatch, RemoveCheckAndUncheckChangeTheEntryListNumbers) {
    Add("one", "s1", "d1");
    Add("two", "s2", "d2");
    Add("three", "s3", "d3");
    const std::string one = Entry(1, true, "one", "s1", "d1");
    const std::string three = Entry(3, true, "three", "s3", "d3");
    const std::string twoOff = Entry(2, false, "two", "s2", "d2");
    const std::string twoOn = Entry(2, true, "two", "s2", "d2");
    struct Case {
        std::vector<std::string> args;
        std::string err;  // empty: done, exit 0; else the start of the message, exit 2
        std::vector<std::string> list;
    };
    const std::vector<Case> cases = {
        {{"uncheck", "2"}, "", {one, twoOff, three}},
        {{"uncheck", "2"}, "", {one, twoOff, three}},
        {{"check", "02"}, "", {one, twoOn, three}},
        {{"remove", "0"}, "'0' is not an entry number", {one, twoOn, three}},
        {{"remove", "4"}, "there is no entry 4: the batch list has 3 entries", {one, twoOn, three}},
        {{"check", "two"}, "'two' is not an entry number", {one, twoOn, three}},
        {{"uncheck", "--", "-1"}, "'-1' is not an entry number", {one, twoOn, three}},
        {{"remove", "+1"}, "'+1' is not an entry number", {one, twoOn, three}},
        {{"remove", "99999999999"}, "'99999999999' is not an entry number", {one, twoOn, three}},
        {{"remove"}, "remove needs the number of one entry", {one, twoOn, three}},
        {{"check", "1", "2"}, "check needs the number of one entry", {one, twoOn, three}},
        {{"remove", "1"},
         "",
         {Entry(1, true, "two", "s2", "d2"), Entry(2, true, "three", "s3", "d3")}},
        {{"remove", "2"}, "", {Entry(1, true, "two", "s2", "d2")}},
        {{"remove", "1"}, "", {}},
        {{"remove", "1"}, "there is no entry 1: the batch list has 0 entries", {}},
    };
    for (const Case& c : cases) {
        const CliResult r = RunCli(c.args);
        EXPECT_EQ(r.status, c.err.empty() ? 0 : 2) << c.args[0] << " " << r.err;
        EXPECT_EQ(r.out, "") << c.args[0];
        const std::string expected = c.err.empty() ? "" : "tandrel-cli: " + c.err;
        EXPECT_EQ(r.err.substr(0, expected.size()), expected);
        EXPECT_EQ(c.err.empty(), r.err.empty()) << r.err;
        EXPECT_EQ(Lines(RunCli({"list"}).out), c.list) << c.args[0] << " " << c.args.back();
    }
}

TEST_F(CliBatch, BatchTakesTheRunOptionsAndExitsAsMirrorDoes) {
    Add("one", "s1", "d1");
    t.WriteFile("d1/extra.txt", "x");
    t.MakeDir("recycle");

    const CliResult moved = RunCli({"batch", "--move", t.Path("recycle"), "--log", t.Path("log")});
    EXPECT_EQ(moved.status, 0) << moved.err;
    EXPECT_EQ(t.ReadFile("recycle/extra.txt"), "x");
    EXPECT_FALSE(t.Exists("d1/extra.txt"));
    EXPECT_EQ(t.ReadFile("log"), moved.out);

    const CliResult badRecycle = RunCli({"batch", "--move", t.Path("nope")});
    EXPECT_EQ(badRecycle.status, 2);
    EXPECT_EQ(badRecycle.err,
              "tandrel-cli: recycle directory '" + t.Path("nope") + "' not found\n");
    EXPECT_EQ(badRecycle.out, "");
    EXPECT_EQ(RunCli({"batch", "extra"}).status, 2);
    EXPECT_EQ(RunCli({"batch", "--keep", "--delete"}).status, 2);
    EXPECT_EQ(RunCli({"list", "extra"}).status, 2);

    // The entries are queued unchecked: a job the engine refuses (here a destination inside
    // its source) is a failure line of the run, and the other jobs still run.
    t.MakeDir("s2/inner");
    Add("nested", "s2", "s2/inner");
    Add("three", "s3", "d3");
    const CliResult failed = RunCli({"batch"});
    EXPECT_EQ(failed.status, 1) << failed.out;
    const std::vector<std::string> lines = Lines(failed.out);
    ASSERT_EQ(lines.size(), 8u) << failed.out;  // "one" has nothing left to copy
    EXPECT_EQ(lines[4].front(), '!') << lines[4];
    // One summary for the whole run, on stderr after the refusal.
    EXPECT_TRUE(failed.err.ends_with(
        "tandrel-cli: 1 copied, 0 deleted, 0 moved, 0 failed, 1 job refused\n"))
        << failed.err;
    EXPECT_EQ(failed.err.find("copied"), failed.err.rfind("copied")) << failed.err;
    EXPECT_EQ(t.ReadFile("d3/three.txt"), "3");
    EXPECT_FALSE(t.Exists("s2/inner/two.txt"));
}

TEST_F(CliBatch, OnlyUncheckedEntriesMakeARunWithoutJobs) {
    Add("one", "s1", "d1");
    Uncheck(0);
    const CliResult r = RunCli({"batch", "--log", t.Path("log")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_FALSE(t.Exists("d1/one.txt"));
}

TEST_F(CliBatch, DamagedStoreIsMovedAsideAndReportedOnce) {
    t.MakeDir("config/Halvory/Tandrel");
    t.WriteFile("config/Halvory/Tandrel/settings.db", std::string(4096, '?'));
    const CliResult first = RunCli({"list"});
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, "");
    EXPECT_NE(
        first.err.find("has been moved to " + t.Path("config/Halvory/Tandrel/settings.db.damaged")),
        std::string::npos)
        << first.err;
    EXPECT_EQ(t.ReadFile("config/Halvory/Tandrel/settings.db.damaged"), std::string(4096, '?'));

    Add("one", "s1", "d1");
    const CliResult second = RunCli({"list"});
    EXPECT_EQ(second.err, "");
    EXPECT_EQ(Lines(second.out), std::vector<std::string>{Entry(1, true, "one", "s1", "d1")});
}

TEST_F(CliBatch, StoreThatCannotBeWrittenFailsAddAndStillRuns) {
    t.WriteFile("config", "a file where the folder should be");
    const CliResult add = RunCli({"add", "one", t.Path("s1"), t.Path("d1")});
    EXPECT_EQ(add.status, 1);
    EXPECT_NE(add.err.find("cannot add to the batch list"), std::string::npos) << add.err;
    EXPECT_EQ(RunCli({"list"}).status, 0);
    const CliResult mirror = RunCli({"mirror", t.Path("s1"), t.Path("d1")});
    EXPECT_EQ(mirror.status, 0);
    EXPECT_EQ(t.ReadFile("d1/one.txt"), "1");
}

}  // namespace
}  // namespace tandrel
