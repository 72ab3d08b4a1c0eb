// tandrel-cli shows names with control bytes escaped, one entry or operation a line, while the
// disk operations use the real names.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "CliRunner.h"
#include "TempTree.h"

namespace tandrel {
namespace {

class CliNames : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        hadOld_ = old != nullptr;
        old_ = hadOld_ ? old : "";
        setenv("XDG_CONFIG_HOME", t.Path("config").c_str(), 1);
    }
    void TearDown() override {
        if (hadOld_) {
            setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
    }
    TempTree t;

  private:
    bool hadOld_ = false;
    std::string old_;
};

TEST_F(CliNames, MirrorPrintsOneLinePerOperation) {
    t.MakeDir("s/x\n!Delete: /home");
    t.WriteFile("s/x\n!Delete: /home/user", "data");
    t.MakeDir("d");
    t.WriteFile("d/old\tone", "old");
    t.WriteFile("log.txt", "");

    const CliResult r =
        RunCli({"mirror", "--delete", "--log", t.Path("log.txt"), t.Path("s"), t.Path("d")});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    EXPECT_EQ(lines[1], " Copy: " + t.Path("s/x\\n!Delete: /home/user") + " => " +
                            t.Path("d/x\\n!Delete: /home/user"));
    EXPECT_EQ(lines[2], " Delete: " + t.Path("d/old\\tone"));
    EXPECT_EQ(t.ReadFile("log.txt"), r.out);
    EXPECT_EQ(t.ReadFile("d/x\n!Delete: /home/user"), "data");
    EXPECT_FALSE(t.Exists("d/old\tone"));
}

TEST_F(CliNames, ListPrintsOneLinePerEntry) {
    t.MakeDir("s\x1b[1m");
    t.MakeDir("d\nx");
    ASSERT_EQ(RunCli({"add", "two\nlines \\n", t.Path("s\x1b[1m"), t.Path("d\nx")}).status, 0);
    ASSERT_EQ(RunCli({"add", "plain 100% \"ok\"", t.Path("d\nx"), t.Path("s\x1b[1m")}).status, 0);

    const CliResult list = RunCli({"list"});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(Lines(list.out),
              (std::vector<std::string>{
                  "1 [x] two\\nlines \\\\n: " + t.Path("s\\033[1m") + " => " + t.Path("d\\nx"),
                  "2 [x] plain 100% \"ok\": " + t.Path("d\\nx") + " => " + t.Path("s\\033[1m"),
              }));

    // The batch run works on the real directories.
    t.WriteFile("s\x1b[1m/f", "f");
    const CliResult run = RunCli({"batch"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(t.ReadFile("d\nx/f"), "f");
}

}  // namespace
}  // namespace tandrel
