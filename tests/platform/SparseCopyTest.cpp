// Copies of sparse files: the holes stay holes in the copy (a disk image of 8 GiB holding a
// little data must not take 8 GiB in the backup), and the contents read back exactly, zeros
// of the holes included. Every way of moving contents is tried.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "CopyModes.h"
#include "PosixFileSystem.h"
#include "TempTree.h"
#include "UniqueFd.h"

namespace tandrel {
namespace {

constexpr int64_t kTime = 1234567890123456789;
constexpr off_t kMiB = off_t{1} << 20;

// A piece of data at `offset`: its bytes differ from piece to piece and from zero.
struct Piece {
    off_t offset;
    std::string bytes;
};

std::string Bytes(size_t size, int seed) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        s[i] = static_cast<char>(((i * 13 + static_cast<size_t>(seed) * 101) % 255) + 1);
    }
    return s;
}

// Makes `path` a file of `size` bytes holding `pieces` and holes everywhere else.
bool MakeSparse(const std::string& path, off_t size, const std::vector<Piece>& pieces) {
    UniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd.valid() || ftruncate(fd.get(), size) != 0) {
        return false;
    }
    for (const Piece& p : pieces) {
        if (pwrite(fd.get(), p.bytes.data(), p.bytes.size(), p.offset) !=
            static_cast<ssize_t>(p.bytes.size())) {
            return false;
        }
    }
    return fd.Close() == 0;
}

// Bytes the file at `path` takes on the disk; -1 when it cannot be looked up.
int64_t Allocated(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? int64_t{st.st_blocks} * 512 : -1;
}

// True when the file at `path` holds exactly `size` bytes: `pieces` where they are, zeros
// elsewhere. Compares block by block, so a hole copied as data of another value, a piece at
// the wrong place or a wrong length all show.
::testing::AssertionResult HoldsExactly(const std::string& path, off_t size,
                                        const std::vector<Piece>& pieces) {
    std::string expected;
    std::string got(static_cast<size_t>(kMiB), '\0');
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!fd.valid() || fstat(fd.get(), &st) != 0) {
        return ::testing::AssertionFailure() << path << " cannot be read";
    }
    if (st.st_size != size) {
        return ::testing::AssertionFailure()
               << path << " holds " << st.st_size << " bytes, not " << size;
    }
    for (off_t at = 0; at < size; at += kMiB) {
        const size_t len = static_cast<size_t>(std::min(kMiB, size - at));
        expected.assign(len, '\0');
        for (const Piece& p : pieces) {
            const off_t from = std::max(at, p.offset);
            const off_t to = std::min<off_t>(at + static_cast<off_t>(len),
                                             p.offset + static_cast<off_t>(p.bytes.size()));
            for (off_t i = from; i < to; ++i) {
                expected[static_cast<size_t>(i - at)] = p.bytes[static_cast<size_t>(i - p.offset)];
            }
        }
        if (pread(fd.get(), got.data(), len, at) != static_cast<ssize_t>(len) ||
            got.compare(0, len, expected) != 0) {
            return ::testing::AssertionFailure() << path << " differs in the MiB at " << at;
        }
    }
    return ::testing::AssertionSuccess();
}

class SparseCopyTest : public ::testing::TestWithParam<CopyMode> {
  protected:
    SparseCopyTest() : fs_(GetParam().options) {}

    // Makes the source; skips the test where the file system under the test tree keeps no
    // holes (then there is nothing to keep).
    void MakeSource(off_t size, const std::vector<Piece>& pieces) {
        ASSERT_TRUE(MakeSparse(tree_.Path("src"), size, pieces));
        if (Allocated(tree_.Path("src")) >= size / 2) {
            GTEST_SKIP() << "the test directory's file system keeps no holes";
        }
        tree_.SetMtime("src", kTime);
    }

    void CopyAndCheck(off_t size, const std::vector<Piece>& pieces) {
        ASSERT_TRUE(fs_.CopyFile(tree_.Path("src"), tree_.Path("dst"), nullptr).ok());
        ASSERT_TRUE(fs_.CommitCopies(false).ok());
        EXPECT_TRUE(HoldsExactly(tree_.Path("dst"), size, pieces));
        // The data is a few hundred KiB; allow for a file system's rounding up to its blocks.
        EXPECT_LT(Allocated(tree_.Path("dst")), 4 * kMiB);
        EXPECT_EQ(tree_.Mtime("dst"), kTime);
        EXPECT_EQ(tree_.List(), (std::set<std::string>{"dst", "src"}));  // no temporary left
    }

    TempTree tree_;
    PosixFileSystem fs_;
};

TEST_P(SparseCopyTest, DataBetweenHolesKeepsItsPlaceAndTheHolesStayHoles) {
    const off_t size = 64 * kMiB;
    const std::vector<Piece> pieces = {
        {0, Bytes(5000, 1)}, {20 * kMiB + 123, Bytes(300000, 2)}, {size - 4096, Bytes(4096, 3)}};
    MakeSource(size, pieces);
    CopyAndCheck(size, pieces);
}

TEST_P(SparseCopyTest, AHoleAtTheEndKeepsTheFileItsLength) {
    const off_t size = 64 * kMiB + 7;  // not a whole number of blocks either
    const std::vector<Piece> pieces = {{kMiB, Bytes(70000, 4)}};
    MakeSource(size, pieces);
    CopyAndCheck(size, pieces);
}

TEST_P(SparseCopyTest, AFileThatIsAllHoleCopiesAsAllHole) {
    MakeSource(64 * kMiB, {});
    CopyAndCheck(64 * kMiB, {});
}

TEST_P(SparseCopyTest, CancelHalfWayLeavesNoTemporary) {
    const off_t size = 64 * kMiB;
    const std::vector<Piece> pieces = {{0, Bytes(4096, 5)}, {40 * kMiB, Bytes(4096, 6)}};
    MakeSource(size, pieces);
    std::atomic<bool> cancel{false};
    CopyOptions options = GetParam().options;
    options.chunk_bytes = 4096;
    options.on_chunk = [&](uint64_t) { cancel = true; };
    PosixFileSystem fs(options);
    EXPECT_EQ(fs.CopyFile(tree_.Path("src"), tree_.Path("dst"), &cancel).code(),
              Status::Code::kCancelled);
    EXPECT_EQ(tree_.List(), (std::set<std::string>{"src"}));
}

INSTANTIATE_TEST_SUITE_P(Modes, SparseCopyTest, AllCopyModes(), CopyModeName);

}  // namespace
}  // namespace tandrel
