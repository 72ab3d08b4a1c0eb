// Names with control bytes are shown escaped everywhere a run line goes, so that no name can
// split a line or pose as a line of its own; every other name is shown exactly as it is.

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "FailingFileSystem.h"
#include "NameText.h"
#include "RunRecorder.h"
#include "TempTree.h"

namespace tandrel {
namespace {

constexpr int64_t kSec = 1000000000;

TEST(ShownName, LeavesOrdinaryNamesAlone) {
    for (const std::string name :
         {"/home/u/a b.txt", "it's \"quoted\"", "100% %s %n", "caf\xc3\xa9 \xff\xfe.bin", "-rf",
          "C:\\Temp\\x", "back\\", "a\\b", "tab\\T"}) {
        EXPECT_EQ(ShownName(name), name);
    }
}

TEST(ShownName, EscapesControlBytes) {
    EXPECT_EQ(ShownName("x\n!Delete: /home/user"), "x\\n!Delete: /home/user");
    EXPECT_EQ(ShownName("a\tb\rc"), "a\\tb\\rc");
    EXPECT_EQ(ShownName("\x01\x1b[31m\x1f\x7f"), "\\001\\033[31m\\037\\177");
    // Three digits always, so a digit after the escape stays a digit of the name.
    EXPECT_EQ(ShownName(std::string("\x01") + "7"), "\\0017");
    // Bytes above 0x7f are not control bytes here.
    EXPECT_EQ(ShownName("\x80\x9b"), "\x80\x9b");
}

TEST(ShownName, DoublesABackslashOnlyWhereItWouldStartAnEscape) {
    EXPECT_EQ(ShownName("a\\nb"), "a\\\\nb");     // a real backslash and n, not a line feed
    EXPECT_EQ(ShownName("a\\012"), "a\\\\012");   // nor an octal escape
    EXPECT_EQ(ShownName("a\\\\b"), "a\\\\\\b");   // the first of two
    EXPECT_EQ(ShownName("a\\\nb"), "a\\\\\\nb");  // before a control byte's escape
    EXPECT_NE(ShownName("a\\\nb"), ShownName("a\\\\nb"));
}

// No two names show the same: every name of up to four bytes from an alphabet of the bytes
// that matter (backslash, escape letters, digits, control bytes, plain letters).
TEST(ShownName, NoTwoNamesShowAlike) {
    const std::string alphabet = std::string("\\nrt078a") + '\n' + '\x01' + '\x7f';
    std::vector<std::string> names = {""};
    for (size_t from = 0, len = 0; len < 4; ++len) {
        const size_t to = names.size();
        for (size_t i = from; i < to; ++i) {
            for (char c : alphabet) {
                names.push_back(names[i] + c);
            }
        }
        from = to;
    }
    std::set<std::string> shown;
    for (const std::string& name : names) {
        const std::string s = ShownName(name);
        for (char c : s) {
            ASSERT_FALSE((c >= 0x01 && c <= 0x1f) || c == 0x7f) << "control byte left in " << s;
        }
        EXPECT_TRUE(shown.insert(s).second) << "shown twice: " << s;
    }
}

class ShownLines : public ::testing::Test {
  protected:
    ShownLines() {
        t.MakeDir("s");
        t.MakeDir("d");
        t.MakeDir("r");
    }
    static std::string ReadAll(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    TempTree t;
};

// A directory named "x\n!Delete: " holding home/user reads, printed raw, like a failed delete
// of /home/user. Shown escaped it stays one copy line, and the copy itself uses the real bytes.
TEST_F(ShownLines, NamesCannotForgeRunLinesOnThePageOrInTheLog) {
    const std::string forged = "x\n!Delete: ";
    t.MakeDir("s/" + forged + "/home");
    t.WriteFile("s/" + forged + "/home/user", "data");
    t.WriteFile("d/gone\r\x1b[2K", "old", 5 * kSec);
    t.WriteFile("d/back\\nslash", "old", 5 * kSec);

    EngineRig rig;
    rig.queue.m_strLogFileName = t.Path("log.txt");
    rig.queue.m_bLogEnabled = true;
    rig.Run(t.Path("s"), t.Path("d"), kActionMove, t.Path("r"));
    rig.queue.FlushLog();

    const std::string shownDir = "x\\n!Delete: ";
    EXPECT_EQ(rig.recorder.ActionLines(),
              (std::vector<std::string>{
                  " Copy: " + t.Path("s/" + shownDir + "/home/user") + " => " +
                      t.Path("d/" + shownDir + "/home/user"),
                  " Move: " + t.Path("d/back\\\\nslash") + " => " + t.Path("r/back\\\\nslash"),
                  " Move: " + t.Path("d/gone\\r\\033[2K") + " => " + t.Path("r/gone\\r\\033[2K"),
              }));
    for (const std::string& line : rig.recorder.lines) {
        EXPECT_EQ(line.find_first_of("\r\n\x1b"), std::string::npos) << line;
    }
    EXPECT_EQ(t.ReadFile("d/" + forged + "/home/user"), "data");
    EXPECT_EQ(t.ReadFile("r/gone\r\x1b[2K"), "old");
    EXPECT_EQ(t.ReadFile("r/back\\nslash"), "old");

    // The log holds the same lines, one a line.
    std::string expected;
    for (const std::string& line : rig.recorder.lines) {
        expected += line + "\n";
    }
    EXPECT_EQ(ReadAll(t.Path("log.txt")), expected);
}

TEST_F(ShownLines, RootsAndFailureLinesAreShownEscapedToo) {
    t.MakeDir("s\tsrc/no\nread");
    t.WriteFile("s\tsrc/f", "f");
    t.WriteFile("s\tsrc/no\nread/g", "g");
    t.MakeDir("d/no\nread");

    FailingFileSystem fs;
    fs.FailOn(FailingFileSystem::Op::kListDirectory, "d/no\nread");
    EngineRig rig(fs);
    rig.Run(t.Path("s\tsrc"), t.Path("d"), kActionKeep);

    EXPECT_EQ(
        rig.recorder.ActionLines(),
        (std::vector<std::string>{" Copy: " + t.Path("s\\tsrc/f") + " => " + t.Path("d/f"),
                                  "!Read: " + t.Path("d/no\\nread/") + " (injected failure)"}));
}

}  // namespace
}  // namespace tandrel
