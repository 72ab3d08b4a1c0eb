// Putting a damaged settings file aside, on file systems that can rename without replacing and
// on those that cannot, and the descriptors the store leaves behind.

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "Profile.h"
#include "SettingsFile.h"
#include "SettingsStore.h"
#include "StoreFixture.h"
#include "TempTree.h"

namespace {

// When set, renames that must not replace are refused the way file systems without that kind
// of rename refuse them, so the store has to fall back to a hard link and an unlink.
bool g_noReplaceUnsupported = false;

}  // namespace

// Takes the C library's place for this test program (the store is linked into it statically).
extern "C" int renameat2(int olddirfd, const char* oldpath, int newdirfd, const char* newpath,
                         unsigned int flags) noexcept {
    if (g_noReplaceUnsupported && (flags & RENAME_NOREPLACE) != 0) {
        errno = EINVAL;
        return -1;
    }
    return static_cast<int>(syscall(SYS_renameat2, olddirfd, oldpath, newdirfd, newpath, flags));
}

namespace tandrel {
namespace {

class SettingsFileTest : public StoreFixture, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        StoreFixture::SetUp();
        g_noReplaceUnsupported = GetParam();
        tree_.MakeDir(kFolder);
    }
    void TearDown() override {
        g_noReplaceUnsupported = false;
        StoreFixture::TearDown();
    }

    // Writes `contents` at the store's path and puts it aside; the new name relative to the
    // folder, or "" when nothing was moved.
    std::string WriteAndMoveAside(const std::string& contents) {
        tree_.WriteFile(kStoreRel, contents);
        struct stat st {};
        EXPECT_EQ(stat(tree_.Path(kStoreRel).c_str(), &st), 0);
        std::string aside;
        const Status s =
            SettingsFile::MoveAside(tree_.Path(kStoreRel), st.st_dev, st.st_ino, &aside);
        EXPECT_TRUE(s.ok()) << s.ToString();
        const std::string folder = tree_.Path(kFolder);
        if (aside.empty()) {
            return aside;
        }
        EXPECT_EQ(aside.compare(0, folder.size(), folder), 0) << aside;
        return aside.substr(folder.size());
    }

    static constexpr const char* kFolder = "config/Halvory/Tandrel/";
    std::string In(const std::string& name) const { return std::string(kFolder) + name; }
};

TEST_P(SettingsFileTest, DamagedFileGoesAsideWithItsJournalsUnderTheFirstFreeName) {
    tree_.WriteFile(In("settings.db.damaged"), "an earlier one");
    tree_.WriteFile(In("settings.db.damaged.1-wal"), "stray");
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        tree_.WriteFile(In(std::string("settings.db") + suffix), std::string("of it ") + suffix);
    }
    const int descriptors = OpenDescriptors();

    ASSERT_EQ(WriteAndMoveAside("damaged"), "settings.db.damaged.1");
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(tree_.ReadFile(In("settings.db.damaged.1")), "damaged");
    EXPECT_EQ(tree_.ReadFile(In("settings.db.damaged")), "an earlier one");
    EXPECT_EQ(tree_.ReadFile(In("settings.db.damaged.1-journal")), "of it -journal");
    EXPECT_EQ(tree_.ReadFile(In("settings.db.damaged.1-shm")), "of it -shm");
    // A companion name already taken is not written over; that one stays where it was.
    EXPECT_EQ(tree_.ReadFile(In("settings.db.damaged.1-wal")), "stray");
    EXPECT_EQ(tree_.ReadFile(In("settings.db-wal")), "of it -wal");
    EXPECT_FALSE(tree_.Exists(kStoreRel));
    EXPECT_FALSE(tree_.Exists(In("settings.db-journal")));
    EXPECT_FALSE(tree_.Exists(In("settings.db-shm")));

    // The folder is free again: a second damaged file in the same process goes aside too.
    ASSERT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(WriteAndMoveAside("damaged again"), "settings.db.damaged.2");
    EXPECT_EQ(tree_.ReadFile(In("settings.db.damaged.2")), "damaged again");
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST_P(SettingsFileTest, OnlyTheFileThatWasFoundDamagedIsMoved) {
    tree_.WriteFile(kStoreRel, "a good store written meanwhile");
    std::string aside = "left from before";
    const Status s = SettingsFile::MoveAside(tree_.Path(kStoreRel), 1, 1, &aside);
    EXPECT_TRUE(s.ok()) << s.ToString();
    EXPECT_EQ(aside, "");
    EXPECT_EQ(tree_.ReadFile(kStoreRel), "a good store written meanwhile");
    EXPECT_EQ(tree_.List(kFolder), (std::set<std::string>{"settings.db"}));

    const Status missing =
        SettingsFile::MoveAside(tree_.Path("config/nowhere/settings.db"), 1, 1, &aside);
    EXPECT_FALSE(missing.ok());
    EXPECT_EQ(aside, "");
}

INSTANTIATE_TEST_SUITE_P(Rename, SettingsFileTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "ByLinkAndUnlink" : "WithoutReplacing";
                         });

class StoreFileTest : public StoreFixture {};

TEST_F(StoreFileTest, AStoreHoldsNoDescriptorOnceGoneWhetherReadWrittenOrRecovered) {
    const int descriptors = OpenDescriptors();
    {
        SettingsStore store;
        ASSERT_TRUE(Profile(store).WriteProfileString("", "From", "/saved").ok());
    }
    EXPECT_EQ(OpenDescriptors(), descriptors);
    {
        SettingsStore store;
        EXPECT_EQ(Profile(store).GetProfileString("", "From", ""), "/saved");
    }
    EXPECT_EQ(OpenDescriptors(), descriptors);

    tree_.WriteFile(kStoreRel, std::string(4096, '\x5a'));
    {
        SettingsStore store;
        EXPECT_TRUE(store.Open().ok());
        EXPECT_NE(store.TakeNotice(), "");
        ASSERT_TRUE(Profile(store).WriteProfileString("", "From", "/new").ok());
    }
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_TRUE(tree_.Exists("config/Halvory/Tandrel/settings.db.damaged"));
}

TEST_F(StoreFileTest, AStoreOthersCouldReadIsMadePrivateWhenOpened) {
    {
        SettingsStore store;
        ASSERT_TRUE(Profile(store).WriteProfileString("", "From", "/saved").ok());
    }
    tree_.Chmod(kStoreRel, 0644);
    SettingsStore store;
    EXPECT_EQ(Profile(store).GetProfileString("", "From", ""), "/saved");
    EXPECT_EQ(tree_.Mode(kStoreRel) & 07777, 0600u);
}

TEST_F(StoreFileTest, AnotherProgramsDatabaseWithoutTablesIsNotTakenForAnEmptyStore) {
    tree_.MakeDir("config/Halvory/Tandrel");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(tree_.Path(kStoreRel).c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA application_id = 1234; PRAGMA user_version = 7;", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    SettingsStore store;
    EXPECT_TRUE(store.Open().ok());
    EXPECT_NE(store.TakeNotice().find("settings.db.damaged"), std::string::npos);
    EXPECT_TRUE(tree_.Exists("config/Halvory/Tandrel/settings.db.damaged"));
}

}  // namespace
}  // namespace tandrel
