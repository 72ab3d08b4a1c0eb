// How a copy reacts when the kernel's in-place copy fails: errors of the file being written
// end the copy, anything else hands over to the read/write loop, which finishes the file.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "PosixFileSystem.h"
#include "SystemCallFaults.h"
#include "TempTree.h"

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
    ~CopyFaultsTest() override { faults::Reset(); }

    // Copies "src" over "dst/f" with the next `times` kernel copies failing with `err`.
    Status CopyFailing(int err, int times) {
        faults::Reset();
        faults::Fail(faults::Call::kCopyFileRange, {.err = err, .times = times});
        return Copy();
    }
    Status Copy() {
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
        EXPECT_GT(faults::Calls(faults::Call::kCopyFileRange), 0)
            << "the copy did not go through copy_file_range";
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
                faults::Fail(faults::Call::kCopyFileRange, {.err = c.err, .times = c.times});
            }
        };
        const Status s = CopyFailing(c.err, c.afterChunks == 0 ? c.times : 0);
        ASSERT_TRUE(s.ok()) << s.ToString();
        if (c.calls > 0) {
            EXPECT_EQ(faults::Calls(faults::Call::kCopyFileRange), c.calls);
        } else {
            EXPECT_GT(faults::Calls(faults::Call::kCopyFileRange), 1);
        }
        EXPECT_EQ(tree_.ReadFile("dst/f"), data_);
        EXPECT_EQ(tree_.Mtime("dst/f"), kTime);
        EXPECT_EQ(last_progress_, data_.size());  // progress counts every byte once
        EXPECT_EQ(tree_.List("dst"), std::set<std::string>{"f"});
        tree_.WriteFile("dst/f", "old", kTime);
    }
    // A kernel copy that answers 0 at once, as some file systems do for files that do have
    // contents, leaves the whole file to the read/write loop.
    options_.on_chunk = [this](uint64_t copied) { last_progress_ = copied; };
    faults::Reset();
    faults::Fail(faults::Call::kCopyFileRange, {.result = 0});
    ASSERT_TRUE(Copy().ok());
    EXPECT_EQ(tree_.ReadFile("dst/f"), data_);
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

namespace tandrel {
namespace {

// The read/write loop: a signal during a read or a write is no error, a write that makes no
// progress and gives no reason is a full disk, and a failed read names the source.
TEST_F(CopyFaultsTest, TheReadWriteLoopRidesOutSignalsAndStopsWhereTheDiskDoes) {
    using faults::Call;
    options_.try_copy_file_range = false;
    struct Case {
        Call call;
        faults::Plan plan;  // the second call fails: the copy is under way
        int err;            // 0: the copy is whole
        bool names_dst;
    };
    for (const Case& c : {Case{Call::kRead, {.err = EINTR, .skip = 1}, 0, false},
                          Case{Call::kWrite, {.err = EINTR, .skip = 1}, 0, false},
                          Case{Call::kWrite, {.result = 0, .skip = 1}, ENOSPC, true},
                          Case{Call::kRead, {.err = EIO, .skip = 1}, EIO, false}}) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.call) << " " << c.plan.err);
        faults::Reset();
        faults::Fail(c.call, c.plan);
        const Status s = Copy();
        EXPECT_EQ(faults::Calls(c.call), c.err == 0 ? 5 : 2);
        EXPECT_EQ(tree_.List("dst"), std::set<std::string>{"f"});
        if (c.err == 0) {
            ASSERT_TRUE(s.ok()) << s.ToString();
            EXPECT_EQ(tree_.ReadFile("dst/f"), data_);
            EXPECT_EQ(last_progress_, data_.size());
            tree_.WriteFile("dst/f", "old", kTime);
            continue;
        }
        EXPECT_EQ(s.reason(), strerror(c.err));
        EXPECT_EQ(s.path(), tree_.Path(c.names_dst ? "dst/f" : "src"));
        EXPECT_EQ(tree_.ReadFile("dst/f"), "old");
    }
}

// A source with holes, on a file system that cannot tell where its data lies, is copied byte
// for byte from the start; a seek that fails otherwise ends the copy naming the source.
TEST_F(CopyFaultsTest, ASparseSourceThatCannotBeMappedIsCopiedWholeOrNotAtAll) {
    constexpr off_t kSize = 1 << 20;
    ASSERT_EQ(truncate(tree_.Path("src").c_str(), kSize), 0);
    tree_.SetMtime("src", kTime);
    struct stat st {};
    ASSERT_EQ(stat(tree_.Path("src").c_str(), &st), 0);
    if (st.st_blocks * 512 >= kSize) {
        GTEST_SKIP() << "the test directory's file system keeps no holes";
    }
    const std::string whole = data_ + std::string(kSize - data_.size(), '\0');
    const faults::Plan cannotTell{.err = EINVAL, .whence = SEEK_DATA};
    struct Case {
        std::vector<faults::Plan> plans;
        const char* failsOn;  // nullptr: the copy is whole
    };
    // The file system cannot tell where the data is (in either way it says so); then a seek
    // back to the start fails, of the source or of the copy. Or a question about the data
    // fails outright.
    for (const Case& c :
         {Case{{cannotTell}, nullptr}, Case{{{.err = EOPNOTSUPP, .whence = SEEK_DATA}}, nullptr},
          Case{{cannotTell, {.err = EIO, .whence = SEEK_SET}}, "src"},
          Case{{cannotTell, {.err = EIO, .skip = 1, .whence = SEEK_SET}}, "dst/f"},
          Case{{{.err = EIO, .whence = SEEK_DATA}}, "src"},
          Case{{{.err = EIO, .whence = SEEK_HOLE}}, "src"}}) {
        SCOPED_TRACE(testing::Message() << c.plans.size() << " " << c.plans.back().err << " "
                                        << c.plans.back().whence << " " << c.plans.back().skip);
        faults::Reset();
        faults::FailEach(faults::Call::kLseek, c.plans);
        const Status s = Copy();
        EXPECT_EQ(s.ok(), c.failsOn == nullptr) << s.ToString();
        EXPECT_EQ(tree_.ReadFile("dst/f"), c.failsOn == nullptr ? whole : "old");
        EXPECT_EQ(tree_.List("dst"), std::set<std::string>{"f"});
        if (c.failsOn != nullptr) {
            EXPECT_EQ(s.reason(), strerror(c.plans.back().err));
            EXPECT_EQ(s.path(), tree_.Path(c.failsOn));
        }
        tree_.WriteFile("dst/f", "old", kTime);
    }
}

}  // namespace
}  // namespace tandrel
