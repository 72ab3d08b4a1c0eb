// Listing directories and looking entries up: byte order, odd names, links never followed.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DirHandle.h"
#include "PosixFileSystem.h"
#include "SystemCallFaults.h"
#include "TempTree.h"

namespace tandrel {
namespace {

constexpr int64_t kTime = 1234567890123456789;  // 2009, with every nanosecond digit in use

std::vector<std::string> Names(const std::vector<DirEntry>& entries) {
    std::vector<std::string> names;
    for (const DirEntry& e : entries) {
        names.push_back(e.name);
    }
    return names;
}

class ListAndStatTest : public ::testing::Test {
  protected:
    TempTree tree_;
    PosixFileSystem fs_;
};

TEST_F(ListAndStatTest, ListsOddNamesInByteOrderWithTheirKinds) {
    const std::string latin1("caf\xe9", 4);  // not UTF-8
    const std::string high("\xff\x01", 2);
    tree_.MakeDir("d");
    tree_.WriteFile("d/b", "");
    tree_.WriteFile("d/B", "");
    tree_.WriteFile("d/a b", "");
    tree_.WriteFile("d/-dash", "");
    tree_.WriteFile("d/100%", "");
    tree_.WriteFile("d/\"quoted\" 'name'", "");
    tree_.WriteFile("d/" + latin1, "");
    tree_.WriteFile("d/.hidden", "");
    tree_.MakeDir("d/sub");
    tree_.MakeLink("d/" + high, "/nowhere");
    tree_.MakeFifo("d/pipe");

    std::vector<DirEntry> entries;
    ASSERT_TRUE(fs_.ListDirectory(tree_.Path("d"), &entries).ok());
    // Unsigned byte order: 0x80 and above sort after every ASCII name.
    EXPECT_EQ(Names(entries),
              (std::vector<std::string>{"\"quoted\" 'name'", "-dash", ".hidden", "100%", "B", "a b",
                                        "b", latin1, "pipe", "sub", high}));
    auto kind_of = [&](const std::string& name) {
        for (const DirEntry& e : entries) {
            if (e.name == name) {
                return e.kind;
            }
        }
        return EntryKind::kOther;
    };
    EXPECT_EQ(kind_of("b"), EntryKind::kFile);
    EXPECT_EQ(kind_of("sub"), EntryKind::kDirectory);
    EXPECT_EQ(kind_of(high), EntryKind::kLink);
    EXPECT_EQ(kind_of("pipe"), EntryKind::kOther);
}

// The compact listing of an open directory holds what the path form lists, in the same order
// (a name that is a prefix of another first), and a listing made into one that held more
// holds only the new directory's entries.
TEST_F(ListAndStatTest, TheCompactListingHoldsWhatThePathFormLists) {
    const std::string latin1("caf\xe9", 4);
    tree_.MakeDir("d");
    for (const std::string& name : {std::string("ab"), std::string("a"), std::string("a\x80"),
                                    std::string("A"), latin1, std::string("-x y")}) {
        tree_.WriteFile("d/" + name, "");
    }
    tree_.MakeDir("d/sub");
    tree_.MakeLink("d/link", "/nowhere");
    tree_.MakeDir("small");
    tree_.WriteFile("small/only", "");

    std::vector<DirEntry> byPath;
    ASSERT_TRUE(fs_.ListDirectory(tree_.Path("d"), &byPath).ok());
    DirHandle d;
    ASSERT_TRUE(fs_.OpenDirectory(tree_.Path("d"), &d).ok());
    DirListing listing;
    ASSERT_TRUE(fs_.ListDirectoryAt(d, &listing).ok());
    ASSERT_EQ(listing.size(), byPath.size());
    EXPECT_EQ(Names(byPath),
              (std::vector<std::string>{"-x y", "A", "a", "ab", "a\x80", latin1, "link", "sub"}));
    for (size_t i = 0; i < byPath.size(); ++i) {
        EXPECT_EQ(listing.Name(i), byPath[i].name);
        EXPECT_EQ(listing.Kind(i), byPath[i].kind) << byPath[i].name;
        EXPECT_FALSE(listing.Time(i).has_value());
    }
    listing.SetTime(1, kTime);
    EXPECT_EQ(listing[1].mtime_ns, kTime);
    EXPECT_EQ(listing[1].name, "A");

    DirHandle small;
    ASSERT_TRUE(fs_.OpenDirectory(tree_.Path("small"), &small).ok());
    ASSERT_TRUE(fs_.ListDirectoryAt(small, &listing).ok());
    ASSERT_EQ(listing.size(), 1u);
    EXPECT_EQ(listing[0].name, "only");
    EXPECT_FALSE(listing[0].mtime_ns.has_value());
}

TEST_F(ListAndStatTest, ListingAcceptsATrailingSlashAndAnEmptyDirectory) {
    tree_.MakeDir("empty");
    std::vector<DirEntry> entries{{"stale", EntryKind::kFile, std::nullopt}};
    ASSERT_TRUE(fs_.ListDirectory(tree_.Path("empty/"), &entries).ok());
    EXPECT_TRUE(entries.empty());
}

TEST_F(ListAndStatTest, ListingNeverGoesThroughALink) {
    tree_.MakeDir("real");
    tree_.WriteFile("real/secret", "x");
    tree_.MakeLink("link", "real");
    std::vector<DirEntry> entries;
    // With and without a trailing slash: "link/" would make the kernel resolve the link.
    for (const std::string& path : {tree_.Path("link"), tree_.Path("link/")}) {
        Status s = fs_.ListDirectory(path, &entries);
        EXPECT_FALSE(s.ok()) << path;
        EXPECT_EQ(s.code(), Status::Code::kNotDirectory) << s.ToString();
        EXPECT_EQ(s.path(), path);
        EXPECT_TRUE(entries.empty());
    }
}

TEST_F(ListAndStatTest, ListingFailsForMissingEntriesAndFiles) {
    tree_.WriteFile("file", "x");
    std::vector<DirEntry> entries;
    Status missing = fs_.ListDirectory(tree_.Path("gone"), &entries);
    EXPECT_TRUE(missing.IsNotFound());
    EXPECT_EQ(missing.path(), tree_.Path("gone"));
    Status file = fs_.ListDirectory(tree_.Path("file"), &entries);
    EXPECT_EQ(file.code(), Status::Code::kNotDirectory);
    EXPECT_NE(file.ToString().find(tree_.Path("file")), std::string::npos);
}

TEST_F(ListAndStatTest, ProbingADirectoryAgreesWithListingIt) {
    tree_.MakeDir("full");
    for (int i = 0; i < 300; ++i) {
        tree_.WriteFile("full/f" + std::to_string(i), "");
    }
    tree_.MakeDir("empty");
    tree_.WriteFile("file", "x");
    tree_.MakeLink("link", "full");
    for (const std::string& path :
         {tree_.Path("full"), tree_.Path("full/"), tree_.Path("empty"), tree_.Path("file"),
          tree_.Path("link"), tree_.Path("link/"), tree_.Path("gone"), std::string()}) {
        std::vector<DirEntry> entries;
        const Status listed = fs_.ListDirectory(path, &entries);
        const Status probed = fs_.ProbeDirectory(path);
        EXPECT_EQ(probed.ok(), listed.ok()) << path;
        EXPECT_EQ(probed.code(), listed.code()) << path;
    }
    EXPECT_TRUE(fs_.ProbeDirectory(tree_.Path("full")).ok());

    // A directory whose reading fails is refused by both; one that reads as holding nothing
    // at all (as one removed while open does) is a directory to both.
    for (const int err : {EIO, 0}) {
        faults::Fail(faults::Call::kReadDir, {.err = err, .times = 2});
        std::vector<DirEntry> entries;
        const Status listed = fs_.ListDirectory(tree_.Path("full"), &entries);
        const Status probed = fs_.ProbeDirectory(tree_.Path("full"));
        EXPECT_EQ(faults::Failed(faults::Call::kReadDir), 2);
        faults::Reset();
        EXPECT_EQ(listed.ok(), err == 0) << listed.ToString();
        EXPECT_EQ(probed.ok(), err == 0) << probed.ToString();
        EXPECT_EQ(probed.code(), listed.code());
    }
}

TEST_F(ListAndStatTest, StatGivesKindTimeModeAndSizeOfTheEntryItself) {
    tree_.WriteFile("f", "hello", kTime, 0640);
    tree_.MakeLink("ln", "f");
    tree_.SetMtime("ln", kTime - 7);
    tree_.MakeLink("dangling", "missing");
    tree_.MakeDir("d");

    EntryInfo info;
    ASSERT_TRUE(fs_.Stat(tree_.Path("f"), &info).ok());
    EXPECT_EQ(info.kind, EntryKind::kFile);
    EXPECT_EQ(info.mtime_ns, kTime);
    EXPECT_EQ(info.mode, 0640u);
    EXPECT_EQ(info.size, 5u);

    ASSERT_TRUE(fs_.Stat(tree_.Path("ln"), &info).ok());
    EXPECT_EQ(info.kind, EntryKind::kLink);
    EXPECT_EQ(info.mtime_ns, kTime - 7);  // the link's own time, not its target's

    ASSERT_TRUE(fs_.Stat(tree_.Path("dangling"), &info).ok());
    EXPECT_EQ(info.kind, EntryKind::kLink);

    tree_.MakeLink("dirlink", "d");
    ASSERT_TRUE(fs_.Stat(tree_.Path("dirlink/"), &info).ok());
    EXPECT_EQ(info.kind, EntryKind::kLink);

    Status s = fs_.Stat(tree_.Path("nothing"), &info);
    EXPECT_TRUE(s.IsNotFound());
    EXPECT_EQ(s.path(), tree_.Path("nothing"));
}

TEST_F(ListAndStatTest, StatKeepsTimesBeforeTheEpoch) {
    tree_.WriteFile("old", "", -1500000001);
    EntryInfo info;
    ASSERT_TRUE(fs_.Stat(tree_.Path("old"), &info).ok());
    EXPECT_EQ(info.mtime_ns, -1500000001);
}

TEST_F(ListAndStatTest, VolumeInfoOfAnOrdinaryDirectoryAndRefusalOfALink) {
    tree_.MakeDir("d");
    tree_.MakeLink("ln", "d");
    VolumeInfo info{true, 5};
    ASSERT_TRUE(fs_.GetVolumeInfo(tree_.Path("d/"), &info).ok());
    // The test directories live on ext4 or tmpfs: exact names, nanosecond times.
    EXPECT_FALSE(info.case_insensitive);
    EXPECT_EQ(info.time_granularity_ns, 1);
    EXPECT_EQ(fs_.GetVolumeInfo(tree_.Path("ln"), &info).code(), Status::Code::kNotDirectory);
    EXPECT_TRUE(fs_.GetVolumeInfo(tree_.Path("gone"), &info).IsNotFound());
}

}  // namespace
}  // namespace tandrel
