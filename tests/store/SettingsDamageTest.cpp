// A damaged or foreign file at the store's path, and a store that cannot be written.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "Profile.h"
#include "SettingsStore.h"
#include "StoreFixture.h"

namespace tandrel {
namespace {

class SettingsDamageTest : public StoreFixture {
  protected:
    void MakeStoreFolder() { tree_.MakeDir("config/Halvory/Tandrel"); }

    // Writes a real store holding From = "/saved".
    void WriteGoodStore() {
        SettingsStore store;
        Profile profile(store);
        ASSERT_TRUE(profile.WriteProfileString("", "From", "/saved").ok());
    }

    // Opens the store as start-up does and checks it came up empty, told the user once about
    // the file now at `aside`, and saves normally again.
    void ExpectMovedAsideAndFreshStart(const std::string& asideRel) {
        SettingsStore store;
        EXPECT_TRUE(store.Open().ok());
        const std::string notice = store.TakeNotice();
        EXPECT_NE(notice.find(tree_.Path(asideRel)), std::string::npos) << notice;
        EXPECT_EQ(store.TakeNotice(), "");
        Profile profile(store);
        EXPECT_EQ(profile.GetProfileString("", "From", "default"), "default");
        ASSERT_TRUE(profile.WriteProfileString("", "From", "/new").ok());
        EXPECT_EQ(profile.GetProfileString("", "From", "default"), "/new");
        EXPECT_EQ(store.TakeNotice(), "");

        SettingsStore again;
        EXPECT_EQ(Profile(again).GetProfileString("", "From", "default"), "/new");
        EXPECT_EQ(again.TakeNotice(), "");
    }
};

TEST_F(SettingsDamageTest, GarbageFileIsMovedAsideWithoutOverwritingEarlierOnes) {
    MakeStoreFolder();
    const std::string garbage(3000, '\x5a');
    tree_.WriteFile(kStoreRel, garbage);
    tree_.WriteFile("config/Halvory/Tandrel/settings.db.damaged", "an earlier one");

    ExpectMovedAsideAndFreshStart("config/Halvory/Tandrel/settings.db.damaged.1");
    EXPECT_EQ(tree_.ReadFile("config/Halvory/Tandrel/settings.db.damaged.1"), garbage);
    EXPECT_EQ(tree_.ReadFile("config/Halvory/Tandrel/settings.db.damaged"), "an earlier one");
}

TEST_F(SettingsDamageTest, AnotherProgramsDatabaseIsMovedAside) {
    MakeStoreFolder();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(tree_.Path(kStoreRel).c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE notes(text); INSERT INTO notes VALUES('mine');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    ExpectMovedAsideAndFreshStart("config/Halvory/Tandrel/settings.db.damaged");
}

TEST_F(SettingsDamageTest, StoreWithOverwrittenPagesIsMovedAside) {
    WriteGoodStore();
    std::string bytes = tree_.ReadFile(kStoreRel);
    ASSERT_GT(bytes.size(), 4096u);
    // Scribble over everything after the first page: the schema's tables are gone.
    for (size_t i = 4096; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7);
    }
    tree_.WriteFile(kStoreRel, bytes, std::nullopt, 0600);

    ExpectMovedAsideAndFreshStart("config/Halvory/Tandrel/settings.db.damaged");
    EXPECT_EQ(tree_.ReadFile("config/Halvory/Tandrel/settings.db.damaged"), bytes);
}

TEST_F(SettingsDamageTest, StoreOfANewerVersionIsLeftAloneAndNotWrittenOver) {
    WriteGoodStore();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(tree_.Path(kStoreRel).c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version = 2", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    const std::string before = tree_.ReadFile(kStoreRel);

    SettingsStore store;
    Profile profile(store);
    EXPECT_EQ(profile.GetProfileString("", "From", "default"), "default");
    EXPECT_NE(store.TakeNotice().find("newer version"), std::string::npos);
    EXPECT_FALSE(profile.WriteProfileString("", "From", "/mine").ok());
    EXPECT_EQ(profile.GetProfileString("", "From", "default"), "default");
    EXPECT_EQ(store.TakeNotice(), "");  // told once, not on every read
    EXPECT_EQ(tree_.ReadFile(kStoreRel), before);
    EXPECT_FALSE(tree_.Exists("config/Halvory/Tandrel/settings.db.damaged"));
}

TEST_F(SettingsDamageTest, EmptyFileIsAnEmptyStoreNotADamagedOne) {
    MakeStoreFolder();
    tree_.WriteFile(kStoreRel, "", std::nullopt, 0600);
    SettingsStore store;
    EXPECT_TRUE(store.Open().ok());
    EXPECT_EQ(store.TakeNotice(), "");
    // Left by a first save that was cut short: it reads as a store with no keys, not as a
    // store that cannot be read.
    SettingsStore::Key key = 0;
    const Status opened = store.OpenKey("Software\\Halvory\\Tandrel", &key);
    EXPECT_TRUE(opened.IsNotFound()) << opened.ToString();
    SettingsValue value;
    EXPECT_TRUE(store.EnumValue(SettingsStore::kRootKey, 0, &value).IsNotFound());
    std::vector<SettingsValue> values = {value};
    EXPECT_TRUE(store.ListValues(SettingsStore::kRootKey, &values).ok());
    EXPECT_TRUE(values.empty());
    EXPECT_EQ(tree_.ReadFile(kStoreRel), "");  // reading wrote nothing

    Profile profile(store);
    ASSERT_TRUE(profile.WriteProfileInt("", "BoolLogFile", 1).ok());
    EXPECT_EQ(profile.GetProfileInt("", "BoolLogFile", 0), 1);
    EXPECT_FALSE(tree_.Exists("config/Halvory/Tandrel/settings.db.damaged"));
}

TEST_F(SettingsDamageTest, StoreThatCannotBeCreatedFailsWritesWithAReasonAndStillReads) {
    // The configuration folder is a plain file: no folder can be made below it.
    tree_.WriteFile("config", "not a folder");
    SettingsStore store;
    Profile profile(store);
    EXPECT_EQ(profile.GetProfileString("", "LogFileName", "log.txt"), "log.txt");
    const Status s = profile.WriteProfileString("", "LogFileName", "run.log");
    EXPECT_FALSE(s.ok());
    EXPECT_NE(s.ToString().find("cannot create the folder for the settings store"),
              std::string::npos)
        << s.ToString();
    EXPECT_EQ(s.path(), tree_.Path("config/Halvory"));  // the first folder that could not be made
    EXPECT_EQ(profile.GetProfileString("", "LogFileName", "log.txt"), "log.txt");
    EXPECT_EQ(tree_.ReadFile("config"), "not a folder");

    // A folder where the file belongs: the system's reason is given with SQLite's.
    ASSERT_EQ(unlink(tree_.Path("config").c_str()), 0);
    tree_.MakeDir(kStoreRel);
    SettingsStore again;
    const Status folder = Profile(again).WriteProfileString("", "LogFileName", "run.log");
    EXPECT_NE(folder.ToString().find("(Is a directory)"), std::string::npos) << folder.ToString();
}

TEST_F(SettingsDamageTest, ReadOnlyStoreServesReadsAndRefusesWrites) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permission bits do not bind root";
    }
    WriteGoodStore();
    // First only the folder is read-only (no journal can be made), then the file as well.
    tree_.Chmod("config/Halvory/Tandrel", 0500);
    for (int round = 0; round < 2; ++round) {
        if (round == 1) {
            tree_.Chmod(kStoreRel, 0400);
        }
        SettingsStore store;
        Profile profile(store);
        EXPECT_EQ(profile.GetProfileString("", "From", "default"), "/saved");
        const Status s = profile.WriteProfileString("", "From", "/other");
        EXPECT_EQ(s.code(), Status::Code::kPermission) << s.ToString();
        EXPECT_NE(s.ToString().find("cannot"), std::string::npos) << s.ToString();
        EXPECT_EQ(profile.GetProfileString("", "From", "default"), "/saved");
        EXPECT_EQ(store.TakeNotice(), "");
    }
    tree_.Chmod("config/Halvory/Tandrel", 0700);
}

}  // namespace
}  // namespace tandrel
