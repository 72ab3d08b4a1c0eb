// How a copy reacts when the kernel's in-place copy fails: errors of the file being written
// end the copy, anything else hands over to the read/write loop, which finishes the file.

#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "PosixFileSystem.h"
#include "TempTree.h"

namespace {

// The failure the next calls of copy_file_range give instead of copying, and how many of them.
int g_failErrno = 0;
int g_failTimes = 0;
int g_calls = 0;

}  // namespace

// Takes the C library's place for this test program (the file-system layer is linked into it
// statically), so that the copy meets errors no ordinary disk gives on demand.
extern "C" ssize_t copy_file_range(int infd, off64_t* pinoff, int outfd, off64_t* poutoff,
                                   size_t length, unsigned int flags) {
    ++g_calls;
    if (g_failTimes > 0) {
        --g_failTimes;
        errno = g_failErrno;
        return -1;
    }
    return syscall(SYS_copy_file_range, infd, pinoff, outfd, poutoff, length, flags);
}

namespace tandrel {
namespace {

constexpr int64_t kTime = 1234567890123456789;

std::string Pattern(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        s[i] = static_cast<char>((i * 13 + i / 257) & 0xff);
    }
    return s;
}

class CopyFaultsTest : public ::testing::Test {
  protected:
    CopyFaultsTest() {
        options_.try_reflink = false;
        options_.chunk_bytes = 65536;
        options_.on_chunk = [this](uint64_t copied) { last_progress_ = copied; };
        tree_.MakeDir("dst");
        tree_.WriteFile("src", data_, kTime);
        tree_.WriteFile("dst/f", "old", kTime);
    }
    ~CopyFaultsTest() override { g_failTimes = 0; }

    // Copies "src" over "dst/f" with the next `times` kernel copies failing with `err`.
    Status CopyFailing(int err, int times) {
        g_failErrno = err;
        g_failTimes = times;
        g_calls = 0;
        last_progress_ = 0;
        PosixFileSystem fs(options_);
        Status s = fs.CopyFile(tree_.Path("src"), tree_.Path("dst/f"), nullptr);
        EXPECT_TRUE(fs.CommitCopies(false).ok());
        return s;
    }

    const std::string data_ = Pattern(3 * 65536 + 5);
    CopyOptions options_;
    uint64_t last_progress_ = 0;
    TempTree tree_;
};

TEST_F(CopyFaultsTest, AFullDiskOrQuotaEndsTheCopyNamingTheDestinationAndKeepsTheOldFile) {
    for (int err : {EDQUOT, ENOSPC}) {
        const Status s = CopyFailing(err, 1);
        EXPECT_GT(g_calls, 0) << "the copy did not go through copy_file_range";
        EXPECT_FALSE(s.ok()) << err;
        EXPECT_EQ(s.path(), tree_.Path("dst/f"));
        EXPECT_EQ(s.reason(), strerror(err));
        EXPECT_EQ(tree_.ReadFile("dst/f"), "old");
        EXPECT_EQ(tree_.List("dst"), std::set<std::string>{"f"});
    }
}

TEST_F(CopyFaultsTest, AKernelCopyThatCannotServeTheseFilesIsFinishedByReadAndWrite) {
    struct Case {
        int err;
        int times;        // how many kernel copies in a row fail
        int afterChunks;  // chunks copied by the kernel before the first failure
        int calls;        // kernel copies asked for in all (0: more than one)
    };
    // Refused for good (asked once, never again for this file), from the start or after a
    // first chunk; a fault that names neither file; a signal, after which it is asked again.
    for (const Case& c : {Case{EXDEV, 100, 0, 1}, Case{EOPNOTSUPP, 100, 0, 1}, Case{EIO, 100, 0, 1},
                          Case{EXDEV, 100, 1, 2}, Case{EINTR, 1, 0, 0}}) {
        SCOPED_TRACE(strerror(c.err));
        int chunks = 0;
        options_.on_chunk = [&](uint64_t copied) {
            last_progress_ = copied;
            if (++chunks == c.afterChunks) {
                g_failErrno = c.err;
                g_failTimes = c.times;
            }
        };
        const Status s = CopyFailing(c.err, c.afterChunks == 0 ? c.times : 0);
        ASSERT_TRUE(s.ok()) << s.ToString();
        if (c.calls > 0) {
            EXPECT_EQ(g_calls, c.calls);
        } else {
            EXPECT_GT(g_calls, 1);
        }
        EXPECT_EQ(tree_.ReadFile("dst/f"), data_);
        EXPECT_EQ(tree_.Mtime("dst/f"), kTime);
        EXPECT_EQ(last_progress_, data_.size());  // progress counts every byte once
        EXPECT_EQ(tree_.List("dst"), std::set<std::string>{"f"});
        tree_.WriteFile("dst/f", "old", kTime);
    }
}

TEST_F(CopyFaultsTest, ProgressOfAnUntroubledCopyEndsAtTheFileSize) {
    for (bool kernel : {true, false}) {
        options_.try_copy_file_range = kernel;
        ASSERT_TRUE(CopyFailing(0, 0).ok());
        EXPECT_EQ(last_progress_, data_.size()) << kernel;
        EXPECT_EQ(tree_.ReadFile("dst/f"), data_);
    }
}

}  // namespace
}  // namespace tandrel
