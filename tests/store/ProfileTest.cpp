#include "Profile.h"

#include <gtest/gtest.h>

#include "SettingsStore.h"
#include "StoreFixture.h"

namespace tandrel {
namespace {

using ProfileTest = StoreFixture;

TEST_F(ProfileTest, MissingValuesGiveTheDefaults) {
    SettingsStore store;
    Profile profile(store);
    EXPECT_EQ(profile.GetProfileString("", "From", "/cwd"), "/cwd");
    EXPECT_EQ(profile.GetProfileString("", "LogFileName", "log.txt"), "log.txt");
    EXPECT_EQ(profile.GetProfileInt("", "BoolLogFile", 0), 0);
    EXPECT_EQ(profile.GetProfileInt("Batch List", "LVwidth1", 87), 87);
    EXPECT_FALSE(tree_.Exists("config"));
}

TEST_F(ProfileTest, EmptySectionIsTheApplicationKeyAndOthersAreSubkeys) {
    {
        SettingsStore store;
        Profile profile(store);
        EXPECT_EQ(profile.RootKey(), "Software\\Halvory\\Tandrel");
        ASSERT_TRUE(profile.WriteProfileString("", "From", "/a").ok());
        ASSERT_TRUE(profile.WriteProfileString("", "To", "/b").ok());
        ASSERT_TRUE(profile.WriteProfileString("", "Remove", "").ok());
        ASSERT_TRUE(profile.WriteProfileInt("", "BoolLogFile", 1).ok());
        ASSERT_TRUE(profile.WriteProfileInt("Batch List", "LVwidth1", -1).ok());
    }
    SettingsStore store;
    SettingsStore::Key root = 0, list = 0;
    ASSERT_TRUE(store.OpenKey("Software\\Halvory\\Tandrel", &root).ok());
    ASSERT_TRUE(store.OpenKey("Software\\Halvory\\Tandrel\\Batch List", &list).ok());
    SettingsValue v;
    ASSERT_TRUE(store.QueryValue(root, "From", &v).ok());
    EXPECT_EQ(v.type, SettingsType::kString);
    EXPECT_EQ(v.text, "/a");
    ASSERT_TRUE(store.QueryValue(root, "BoolLogFile", &v).ok());
    EXPECT_EQ(v.type, SettingsType::kDword);
    EXPECT_EQ(v.dword, 1u);
    ASSERT_TRUE(store.QueryValue(list, "LVwidth1", &v).ok());
    EXPECT_EQ(v.dword, 0xFFFFFFFFu);
    EXPECT_TRUE(store.QueryValue(root, "LVwidth1", &v).IsNotFound());

    Profile profile(store);
    EXPECT_EQ(profile.GetProfileString("", "to", "x"), "/b");
    EXPECT_EQ(profile.GetProfileString("", "Remove", "x"), "");
    EXPECT_EQ(profile.GetProfileInt("BATCH LIST", "lvwidth1", 0), -1);
}

TEST_F(ProfileTest, ValueOfTheOtherTypeGivesTheDefault) {
    SettingsStore store;
    Profile profile(store);
    ASSERT_TRUE(profile.WriteProfileString("", "BoolLogFile", "1").ok());
    ASSERT_TRUE(profile.WriteProfileInt("", "LogFileName", 5).ok());
    EXPECT_EQ(profile.GetProfileInt("", "BoolLogFile", 0), 0);
    EXPECT_EQ(profile.GetProfileString("", "LogFileName", "log.txt"), "log.txt");
}

}  // namespace
}  // namespace tandrel
