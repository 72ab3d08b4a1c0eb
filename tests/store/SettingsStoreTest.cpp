#include "SettingsStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "StoreFixture.h"

namespace tandrel {
namespace {

class SettingsStoreTest : public StoreFixture {
  protected:
    std::vector<std::string> Names(SettingsStore& store, SettingsStore::Key key) {
        std::vector<SettingsValue> values;
        EXPECT_TRUE(store.ListValues(key, &values).ok());
        std::vector<std::string> names;
        for (const SettingsValue& v : values) {
            names.push_back(v.name);
        }
        return names;
    }
};

TEST_F(SettingsStoreTest, PathFollowsXdgConfigHomeOrFallsBackToHome) {
    EXPECT_EQ(SettingsStore::DefaultPath(), config_ + "/Halvory/Tandrel/settings.db");

    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);  // only absolute paths count
    if (!home.empty()) {
        EXPECT_EQ(SettingsStore::DefaultPath(), home + "/.config/Halvory/Tandrel/settings.db");
    }
    unsetenv("XDG_CONFIG_HOME");
    if (!home.empty()) {
        EXPECT_EQ(SettingsStore::DefaultPath(), home + "/.config/Halvory/Tandrel/settings.db");
    }
    setenv("HOME", "/elsewhere/me", 1);
    EXPECT_EQ(SettingsStore::DefaultPath(), "/elsewhere/me/.config/Halvory/Tandrel/settings.db");
    if (home.empty()) {
        unsetenv("HOME");
    } else {
        setenv("HOME", home.c_str(), 1);
    }
    for (const char* root : {"/cfg//", "/"}) {
        setenv("XDG_CONFIG_HOME", root, 1);
        EXPECT_EQ(SettingsStore::DefaultPath(),
                  std::string(root[1] == '\0' ? "" : "/cfg") + "/Halvory/Tandrel/settings.db");
    }
}

TEST_F(SettingsStoreTest, ReadingAFreshStoreFindsNothingAndCreatesNothing) {
    SettingsStore store;
    EXPECT_TRUE(store.Open().ok());
    SettingsStore::Key key = 0;
    EXPECT_TRUE(store.OpenKey("Software\\Halvory\\Tandrel", &key).IsNotFound());
    SettingsValue value;
    EXPECT_TRUE(store.QueryValue(SettingsStore::kRootKey, "From", &value).IsNotFound());
    EXPECT_TRUE(store.EnumValue(SettingsStore::kRootKey, 0, &value).IsNotFound());
    EXPECT_EQ(store.TakeNotice(), "");
    EXPECT_FALSE(tree_.Exists("config"));
}

TEST_F(SettingsStoreTest, FirstWriteMakesPrivateFoldersAndFile) {
    SettingsStore store;
    SettingsStore::Key key = 0;
    ASSERT_TRUE(store.CreateKey("Software\\Halvory\\Tandrel", &key).ok());
    ASSERT_TRUE(store.SetString(key, "From", "/home").ok());
    EXPECT_EQ(tree_.Mode(kStoreRel) & 07777, 0600u);
    EXPECT_EQ(tree_.Mode("config/Halvory") & 07777, 0700u);
    EXPECT_EQ(tree_.Mode("config/Halvory/Tandrel") & 07777, 0700u);
}

TEST_F(SettingsStoreTest, ValuesListInCreationOrderAndResettingKeepsTheirPlace) {
    {
        SettingsStore store;
        SettingsStore::Key key = 0;
        ASSERT_TRUE(store.CreateKey("Software\\Order", &key).ok());
        for (const char* name : {"c", "a", "b", "z"}) {
            ASSERT_TRUE(store.SetString(key, name, name).ok());
        }
        ASSERT_TRUE(store.SetString(key, "a", "again").ok());
        ASSERT_TRUE(store.SetDword(key, "c", 7).ok());
        ASSERT_TRUE(store.DeleteKey("Software\\Order\\nothing").IsNotFound());
    }
    SettingsStore store;  // a later start sees the same order
    SettingsStore::Key key = 0;
    ASSERT_TRUE(store.OpenKey("Software\\Order", &key).ok());
    EXPECT_EQ(Names(store, key), (std::vector<std::string>{"c", "a", "b", "z"}));

    SettingsValue value;
    ASSERT_TRUE(store.EnumValue(key, 1, &value).ok());
    EXPECT_EQ(value.name, "a");
    EXPECT_EQ(value.text, "again");
    ASSERT_TRUE(store.EnumValue(key, 0, &value).ok());
    EXPECT_EQ(value.type, SettingsType::kDword);
    EXPECT_EQ(value.dword, 7u);
    EXPECT_TRUE(store.EnumValue(key, 3, &value).ok());
    EXPECT_TRUE(store.EnumValue(key, 4, &value).IsNotFound());
}

TEST_F(SettingsStoreTest, KeyAndValueNamesIgnoreAsciiCaseAndKeepTheirSpelling) {
    SettingsStore store;
    SettingsStore::Key key = 0, same = 0;
    ASSERT_TRUE(store.CreateKey("Software\\Halvory\\Batch List", &key).ok());
    ASSERT_TRUE(store.OpenKey("SOFTWARE\\halvory\\BATCH LIST", &same).ok());
    EXPECT_EQ(key, same);
    ASSERT_TRUE(store.CreateKey("software\\HALVORY\\batch list", &same).ok());
    EXPECT_EQ(key, same);

    ASSERT_TRUE(store.SetString(key, "A", "first").ok());
    ASSERT_TRUE(store.SetString(key, "a", "second").ok());  // the same value
    ASSERT_TRUE(store.SetString(key, "\xc3\x89", "e-acute").ok());
    ASSERT_TRUE(store.SetString(key, "\xc3\xa9", "other").ok());  // not ASCII: a new name
    EXPECT_EQ(Names(store, key), (std::vector<std::string>{"A", "\xc3\x89", "\xc3\xa9"}));
    SettingsValue value;
    ASSERT_TRUE(store.QueryValue(key, "a", &value).ok());
    EXPECT_EQ(value.name, "A");
    EXPECT_EQ(value.text, "second");
}

TEST_F(SettingsStoreTest, StringsAndNumbersRoundTripExactly) {
    const std::string odd("nul\0inside \xff\xfe and a tab\t", 25);
    const std::string longText(10000, 'x');
    {
        SettingsStore store;
        SettingsStore::Key key = 0;
        ASSERT_TRUE(store.CreateKey("Software\\Types", &key).ok());
        ASSERT_TRUE(store.SetString(key, "odd", odd).ok());
        ASSERT_TRUE(store.SetString(key, "long", longText).ok());
        ASSERT_TRUE(store.SetString(key, "empty", "").ok());
        ASSERT_TRUE(store.SetDword(key, "max", 0xFFFFFFFFu).ok());
        ASSERT_TRUE(store.SetDword(key, "zero", 0).ok());
        ASSERT_TRUE(store.SetDword(key, "turns", 5).ok());
        ASSERT_TRUE(store.SetString(key, "turns", "now a string").ok());
    }
    SettingsStore store;
    SettingsStore::Key key = 0;
    ASSERT_TRUE(store.OpenKey("Software\\Types", &key).ok());
    SettingsValue v;
    ASSERT_TRUE(store.QueryValue(key, "odd", &v).ok());
    EXPECT_EQ(v.type, SettingsType::kString);
    EXPECT_EQ(v.text, odd);
    ASSERT_TRUE(store.QueryValue(key, "long", &v).ok());
    EXPECT_EQ(v.text, longText);
    ASSERT_TRUE(store.QueryValue(key, "empty", &v).ok());
    EXPECT_EQ(v.type, SettingsType::kString);
    EXPECT_EQ(v.text, "");
    ASSERT_TRUE(store.QueryValue(key, "max", &v).ok());
    EXPECT_EQ(v.type, SettingsType::kDword);
    EXPECT_EQ(v.dword, 0xFFFFFFFFu);
    ASSERT_TRUE(store.QueryValue(key, "zero", &v).ok());
    EXPECT_EQ(v.type, SettingsType::kDword);
    EXPECT_EQ(v.dword, 0u);
    ASSERT_TRUE(store.QueryValue(key, "turns", &v).ok());
    EXPECT_EQ(v.type, SettingsType::kString);
    EXPECT_EQ(v.text, "now a string");
}

TEST_F(SettingsStoreTest, DeletedKeyIsGoneWithItsValuesAndSubkeys) {
    SettingsStore store;
    SettingsStore::Key list = 0, from = 0, sibling = 0;
    ASSERT_TRUE(store.CreateKey("Software\\App\\List", &list).ok());
    ASSERT_TRUE(store.CreateKey("Software\\App\\List\\From", &from).ok());
    ASSERT_TRUE(store.CreateKey("Software\\App\\Other", &sibling).ok());
    ASSERT_TRUE(store.SetString(list, "w", "1").ok());
    ASSERT_TRUE(store.SetString(from, "0", "/src").ok());
    ASSERT_TRUE(store.SetString(sibling, "keep", "me").ok());

    ASSERT_TRUE(store.DeleteKey("software\\app\\list").ok());
    SettingsStore::Key key = 0;
    EXPECT_TRUE(store.OpenKey("Software\\App\\List", &key).IsNotFound());
    EXPECT_TRUE(store.OpenKey("Software\\App\\List\\From", &key).IsNotFound());
    EXPECT_TRUE(store.DeleteKey("Software\\App\\List").IsNotFound());
    // A value set through a handle of the deleted key is refused, not stored loose.
    EXPECT_FALSE(store.SetString(from, "1", "/lost").ok());

    ASSERT_TRUE(store.CreateKey("Software\\App\\List\\From", &key).ok());
    EXPECT_TRUE(Names(store, key).empty());
    SettingsValue v;
    ASSERT_TRUE(store.QueryValue(sibling, "keep", &v).ok());
    EXPECT_EQ(v.text, "me");
}

TEST_F(SettingsStoreTest, BadKeyPathsAreRefused) {
    SettingsStore store;
    SettingsStore::Key key = 0;
    EXPECT_EQ(store.CreateKey("Software\\\\Twice", &key).code(), Status::Code::kInvalid);
    EXPECT_EQ(store.CreateKey("Software\\Trailing\\", &key).code(), Status::Code::kInvalid);
    EXPECT_EQ(store.DeleteKey("").code(), Status::Code::kInvalid);
}

TEST_F(SettingsStoreTest, FailedWriteBodyLeavesNothingBehind) {
    SettingsStore store;
    SettingsStore::Key key = 0;
    ASSERT_TRUE(store.CreateKey("Software\\T", &key).ok());
    ASSERT_TRUE(store.SetString(key, "kept", "old").ok());
    const Status s = store.Write([&]() -> Status {
        EXPECT_TRUE(store.SetString(key, "kept", "new").ok());
        EXPECT_TRUE(store.SetString(key, "added", "x").ok());
        SettingsStore::Key sub = 0;
        EXPECT_TRUE(store.CreateKey("Software\\T\\Sub", &sub).ok());
        // Reads inside the transaction see its own changes.
        SettingsValue v;
        EXPECT_TRUE(store.QueryValue(key, "added", &v).ok());
        return Status::Error(Status::Code::kInvalid, "", "stop");
    });
    EXPECT_EQ(s.code(), Status::Code::kInvalid);
    SettingsValue v;
    ASSERT_TRUE(store.QueryValue(key, "kept", &v).ok());
    EXPECT_EQ(v.text, "old");
    EXPECT_TRUE(store.QueryValue(key, "added", &v).IsNotFound());
    EXPECT_TRUE(store.OpenKey("Software\\T\\Sub", &key).IsNotFound());
}

TEST_F(SettingsStoreTest, WriteWaitsForAStoreHeldByAnotherConnection) {
    SettingsStore store;
    SettingsStore::Key key = 0;
    ASSERT_TRUE(store.CreateKey("Software\\Busy", &key).ok());

    std::atomic<bool> locked{false};
    std::thread holder([&] {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(store.path().c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        locked = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    });
    while (!locked) {
        std::this_thread::yield();
    }
    const Status written = store.SetString(key, "v", "after the other");
    SettingsValue v;
    const Status read = store.QueryValue(key, "v", &v);
    holder.join();
    EXPECT_TRUE(written.ok()) << written.ToString();
    EXPECT_TRUE(read.ok()) << read.ToString();
    EXPECT_EQ(v.text, "after the other");
}

}  // namespace
}  // namespace tandrel
