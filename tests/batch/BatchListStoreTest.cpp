// The stored layout of the batch list: what earlier versions wrote reads back the same, and
// what this one writes is what they read.

#include "BatchListStore.h"

#include <gtest/gtest.h>

#include <cctype>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "BatchItemRows.h"
#include "StoreFixture.h"

namespace tandrel {
namespace {

constexpr const char* kListKey = "Software\\Halvory\\Tandrel\\Batch List";

BatchItem Item(const std::string& desc, const std::string& from, const std::string& to,
               BatchCheckState check = kBatchChecked) {
    BatchItem item;
    item.nCheck = check;
    item.strDescription = desc;
    item.strFrom = from;
    item.strTo = to;
    return item;
}

class BatchListStoreTest : public StoreFixture {
  protected:
    std::deque<BatchItem> LoadAll() {
        SettingsStore store;
        BatchListStore list(store);
        std::deque<BatchItem> items;
        EXPECT_TRUE(list.Load(&items).ok());
        return items;
    }

    // The values of one entry key as (name, text-or-number) pairs in stored order.
    std::vector<std::pair<std::string, std::string>> Raw(const std::string& subkey) {
        SettingsStore store;
        SettingsStore::Key key = 0;
        std::vector<std::pair<std::string, std::string>> out;
        if (!store.OpenKey(std::string(kListKey) + "\\" + subkey, &key).ok()) {
            ADD_FAILURE() << "no key " << subkey;
            return out;
        }
        std::vector<SettingsValue> values;
        EXPECT_TRUE(store.ListValues(key, &values).ok());
        for (const SettingsValue& v : values) {
            out.emplace_back(v.name,
                             v.type == SettingsType::kString ? v.text : std::to_string(v.dword));
        }
        return out;
    }

    // Writes raw values as an earlier version (or a hand edit) would have left them.
    void PutRaw(const std::string& subkey, const std::string& name, const std::string& text) {
        SettingsStore store;
        SettingsStore::Key key = 0;
        ASSERT_TRUE(store.CreateKey(std::string(kListKey) + "\\" + subkey, &key).ok());
        ASSERT_TRUE(store.SetString(key, name, text).ok());
    }
    void PutRawNumber(const std::string& subkey, const std::string& name, uint32_t number) {
        SettingsStore store;
        SettingsStore::Key key = 0;
        ASSERT_TRUE(store.CreateKey(std::string(kListKey) + "\\" + subkey, &key).ok());
        ASSERT_TRUE(store.SetDword(key, name, number).ok());
    }
};

TEST_F(BatchListStoreTest, FirstStartHasAnEmptyListAndDefaultWidths) {
    EXPECT_TRUE(LoadAll().empty());
    SettingsStore store;
    BatchListStore list(store);
    EXPECT_EQ(list.ReadColumnWidth(0, 78), 78);
    EXPECT_EQ(list.ReadColumnWidth(1, 111), 111);
    // The default obeys the same bounds as a stored width.
    EXPECT_EQ(list.ReadColumnWidth(2, 260), 200);
    EXPECT_EQ(list.ReadColumnWidth(2, 12), 20);
    EXPECT_FALSE(tree_.Exists("config"));
}

TEST_F(BatchListStoreTest, ElevenEntriesUseOneByteNamesAndComeBackInOrder) {
    BatchItemRows rows;
    for (int i = 0; i < 11; ++i) {
        rows.items().push_back(Item("job " + std::to_string(i), "/src/" + std::to_string(i),
                                    "/dst/" + std::to_string(i),
                                    i % 3 == 1 ? kBatchUnchecked : kBatchChecked));
    }
    {
        SettingsStore store;
        ASSERT_TRUE(BatchListStore(store).Save(rows, {90, 120, 150}).ok());
    }
    const auto desc = Raw("Description");
    const auto flags = Raw("Flag");
    ASSERT_EQ(desc.size(), 11u);
    ASSERT_EQ(flags.size(), 11u);
    for (int i = 0; i < 11; ++i) {
        const std::string name(1, static_cast<char>('0' + i));
        EXPECT_EQ(desc[i].first, name);
        EXPECT_EQ(desc[i].second, "job " + std::to_string(i));
        EXPECT_EQ(flags[i].first, name);
        EXPECT_EQ(flags[i].second, i % 3 == 1 ? "1" : "2");
    }
    EXPECT_EQ(desc[10].first, ":");
    EXPECT_EQ(Raw("From")[4].second, "/src/4");
    EXPECT_EQ(Raw("To")[7].second, "/dst/7");

    const std::deque<BatchItem> items = LoadAll();
    ASSERT_EQ(items.size(), 11u);
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(items[i].strDescription, "job " + std::to_string(i));
        EXPECT_EQ(items[i].strFrom, "/src/" + std::to_string(i));
        EXPECT_EQ(items[i].strTo, "/dst/" + std::to_string(i));
        EXPECT_EQ(items[i].nCheck, i % 3 == 1 ? kBatchUnchecked : kBatchChecked);
        EXPECT_EQ(items[i].nKey, '0' + i);
    }
}

TEST_F(BatchListStoreTest, CheckStateComesFromFlagsLowByteAndDefaultsToChecked) {
    PutRaw("Description", "0", "flag one");
    PutRaw("Description", "1", "no flag, no paths");
    PutRaw("Description", "2", "flag with high bits");
    PutRaw("From", "0", "/a");
    PutRaw("To", "0", "/b");
    PutRawNumber("Flag", "0", 1);
    PutRawNumber("Flag", "2", 0x0302);

    const std::deque<BatchItem> items = LoadAll();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].nCheck, kBatchUnchecked);
    EXPECT_EQ(items[0].strFrom, "/a");
    EXPECT_EQ(items[0].strTo, "/b");
    EXPECT_EQ(items[1].nCheck, kBatchChecked);
    EXPECT_EQ(items[1].strFrom, "");
    EXPECT_EQ(items[1].strTo, "");
    EXPECT_EQ(items[2].nCheck, kBatchChecked);
}

TEST_F(BatchListStoreTest, StoredTextsEndAtTheirFirstNul) {
    PutRaw("Description", "0", std::string("desc\0tail", 9));
    PutRaw("From", "0", std::string("/src\0/elsewhere", 15));
    PutRaw("To", "0", std::string("\0/dst", 5));
    PutRawNumber("Description", "1", 0x00004241);  // a number where a text belongs: its bytes
    const std::deque<BatchItem> items = LoadAll();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].strDescription, "desc");
    EXPECT_EQ(items[0].strFrom, "/src");
    EXPECT_EQ(items[0].strTo, "");
    EXPECT_EQ(items[1].strDescription, "AB");
}

TEST_F(BatchListStoreTest, StoreFileMadeButNeverWrittenLoadsAnEmptyList) {
    // What a first save killed between making the file and committing leaves behind.
    tree_.MakeDir("config/Halvory/Tandrel");
    tree_.WriteFile(kStoreRel, "", std::nullopt, 0600);
    SettingsStore store;
    BatchListStore list(store);
    std::deque<BatchItem> items;
    const Status loaded = list.Load(&items);
    EXPECT_TRUE(loaded.ok()) << loaded.ToString();
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(list.ReadColumnWidth(0, 90), 90);
    EXPECT_EQ(store.TakeNotice(), "");

    ASSERT_TRUE(list.Append(Item("one", "/1", "/one")).ok());
    ASSERT_TRUE(list.Load(&items).ok());
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].strDescription, "one");
}

TEST_F(BatchListStoreTest, EntriesLoadInTheOrderTheirDescriptionsWereStored) {
    PutRaw("Description", "2", "first stored");
    PutRaw("Description", "0", "second stored");
    PutRaw("From", "0", "/zero");
    PutRaw("From", "2", "/two");
    const std::deque<BatchItem> items = LoadAll();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].strDescription, "first stored");
    EXPECT_EQ(items[0].strFrom, "/two");
    EXPECT_EQ(items[1].strFrom, "/zero");
}

TEST_F(BatchListStoreTest, StoredWidthsAreClampedWhenReadAndWrittenAsGiven) {
    {
        SettingsStore store;
        BatchItemRows none;
        ASSERT_TRUE(BatchListStore(store).Save(none, {500, 5, -1}).ok());
        // Saved unclamped.
        Profile profile(store);
        EXPECT_EQ(profile.GetProfileInt("Batch List", "LVwidth1", 0), 500);
        EXPECT_EQ(profile.GetProfileInt("Batch List", "LVwidth2", 0), 5);
        EXPECT_EQ(profile.GetProfileInt("Batch List", "LVwidth3", 0), -1);
    }
    SettingsStore store;
    BatchListStore list(store);
    EXPECT_EQ(list.ReadColumnWidth(0, 80), 200);
    EXPECT_EQ(list.ReadColumnWidth(1, 80), 20);
    EXPECT_EQ(list.ReadColumnWidth(2, 80), 20);
}

TEST_F(BatchListStoreTest, ValuesWithoutADescriptionAreIgnoredAndGoneAfterTheNextSave) {
    PutRaw("Description", "0", "kept");
    PutRaw("From", "0", "/kept");
    PutRaw("From", "5", "/orphan");
    PutRawNumber("Flag", "7", 1);
    PutRaw("Unrelated", "x", "left alone");

    std::deque<BatchItem> items = LoadAll();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].strFrom, "/kept");
    {
        SettingsStore store;
        BatchItemRows rows(std::vector<BatchItem>(items.begin(), items.end()));
        ASSERT_TRUE(BatchListStore(store).Save(rows, {100, 100, 100}).ok());
    }
    EXPECT_EQ(Raw("From"), (std::vector<std::pair<std::string, std::string>>{{"0", "/kept"}}));
    EXPECT_EQ(Raw("Flag"), (std::vector<std::pair<std::string, std::string>>{{"0", "2"}}));
    EXPECT_EQ(Raw("Unrelated").size(), 1u);
}

TEST_F(BatchListStoreTest, EmptyListLeavesFourEmptyKeysAndWritesTheWidths) {
    PutRaw("Description", "0", "old");
    PutRaw("To", "0", "/old");
    {
        SettingsStore store;
        BatchItemRows none;
        ASSERT_TRUE(BatchListStore(store).Save(none, {61, 62, 63}).ok());
    }
    for (const char* subkey : {"Description", "From", "To", "Flag"}) {
        EXPECT_TRUE(Raw(subkey).empty()) << subkey;
    }
    EXPECT_TRUE(LoadAll().empty());
    SettingsStore store;
    EXPECT_EQ(BatchListStore(store).ReadColumnWidth(2, 100), 63);
}

TEST_F(BatchListStoreTest, NamesPastRow48NeverCollideWhenCaseIsIgnored) {
    // Row 17 is "A": with one-byte names row 49 would be "a", the same name to the store.
    std::set<std::string> folded;
    for (int row = 0; row < 5000; ++row) {
        std::string name = BatchListStore::EntryName(row);
        for (char& c : name) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        EXPECT_TRUE(folded.insert(name).second) << "row " << row;
    }
    EXPECT_EQ(BatchListStore::EntryName(17), "A");
    EXPECT_EQ(BatchListStore::EntryName(48), "`");

    BatchItemRows rows;
    for (int i = 0; i < 80; ++i) {
        rows.items().push_back(Item("d" + std::to_string(i), "/f" + std::to_string(i),
                                    "/t" + std::to_string(i),
                                    i % 2 ? kBatchUnchecked : kBatchChecked));
    }
    {
        SettingsStore store;
        ASSERT_TRUE(BatchListStore(store).Save(rows, {100, 100, 100}).ok());
    }
    const std::deque<BatchItem> items = LoadAll();
    ASSERT_EQ(items.size(), 80u);
    for (int i = 0; i < 80; ++i) {
        EXPECT_EQ(items[i].strDescription, "d" + std::to_string(i));
        EXPECT_EQ(items[i].strFrom, "/f" + std::to_string(i));
        EXPECT_EQ(items[i].strTo, "/t" + std::to_string(i));
        EXPECT_EQ(items[i].nCheck, i % 2 ? kBatchUnchecked : kBatchChecked);
    }
}

TEST_F(BatchListStoreTest, AppendAddsACheckedEntryAtTheEndAndKeepsTheWidths) {
    {
        SettingsStore store;
        BatchItemRows rows({Item("one", "/1", "/one", kBatchUnchecked)});
        ASSERT_TRUE(BatchListStore(store).Save(rows, {70, 80, 90}).ok());
    }
    PutRaw("To", "9", "/orphan");
    {
        SettingsStore store;
        ASSERT_TRUE(BatchListStore(store).Append(Item("two", "/2", "/two")).ok());
    }
    const std::deque<BatchItem> items = LoadAll();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].strDescription, "one");
    EXPECT_EQ(items[0].nCheck, kBatchUnchecked);
    EXPECT_EQ(items[1].strDescription, "two");
    EXPECT_EQ(items[1].strTo, "/two");
    EXPECT_EQ(items[1].nCheck, kBatchChecked);
    EXPECT_EQ(Raw("To").size(), 2u);
    SettingsStore store;
    EXPECT_EQ(BatchListStore(store).ReadColumnWidth(1, 100), 80);
}

TEST_F(BatchListStoreTest, DamagedStoreLoadsNothingAndSaysSoOnce) {
    tree_.MakeDir("config/Halvory/Tandrel");
    tree_.WriteFile(kStoreRel, std::string(5000, '\x01'));
    SettingsStore store;
    BatchListStore list(store);
    // Loading appends to what is staged already.
    std::deque<BatchItem> items = {Item("staged", "/s", "/d")};
    EXPECT_TRUE(list.Load(&items).ok());
    ASSERT_EQ(items.size(), 1u);
    EXPECT_NE(store.TakeNotice(), "");
    EXPECT_TRUE(tree_.Exists("config/Halvory/Tandrel/settings.db.damaged"));

    ASSERT_TRUE(list.Append(Item("new", "/n", "/m")).ok());
    ASSERT_TRUE(list.Load(&items).ok());
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].strDescription, "new");
    EXPECT_EQ(store.TakeNotice(), "");
}

}  // namespace
}  // namespace tandrel

namespace tandrel {
namespace {

TEST_F(BatchListStoreTest, FiltersAreKeptBesideTheDescribedValuesOnlyWhereAnEntryHasThem) {
    // A store written before filters existed reads as none.
    PutRaw("Description", "0", "old");
    PutRaw("From", "0", "/a");
    PutRaw("To", "0", "/b");
    PutRawNumber("Flag", "0", 2);
    std::deque<BatchItem> items = LoadAll();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_TRUE(items[0].listExclude.empty());
    EXPECT_FALSE(items[0].bIncludeHidden);

    BatchItemRows rows;
    rows.items().push_back(Item("plain", "/s0", "/d0"));
    rows.items().push_back(Item("filtered", "/s1", "/d1", kBatchUnchecked));
    rows.items().back().listExclude = {"*.tmp", "/build/", "caf\xe9 [x]"};
    rows.items().push_back(Item("hidden", "/s2", "/d2"));
    rows.items().back().bIncludeHidden = true;
    {
        SettingsStore store;
        ASSERT_TRUE(BatchListStore(store).Replace(rows).ok());
    }
    // The described values are what they would be without the filters.
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(Raw("Description"), (Pairs{{"0", "plain"}, {"1", "filtered"}, {"2", "hidden"}}));
    EXPECT_EQ(Raw("From"), (Pairs{{"0", "/s0"}, {"1", "/s1"}, {"2", "/s2"}}));
    EXPECT_EQ(Raw("To"), (Pairs{{"0", "/d0"}, {"1", "/d1"}, {"2", "/d2"}}));
    EXPECT_EQ(Raw("Flag"), (Pairs{{"0", "2"}, {"1", "1"}, {"2", "2"}}));
    EXPECT_EQ(Raw("Exclude"), (Pairs{{"1", "*.tmp\n/build/\ncaf\xe9 [x]"}}));
    EXPECT_EQ(Raw("Hidden"), (Pairs{{"2", "1"}}));

    items = LoadAll();
    ASSERT_EQ(items.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(items[i].listExclude, rows.items()[i].listExclude) << i;
        EXPECT_EQ(items[i].bIncludeHidden, rows.items()[i].bIncludeHidden) << i;
    }

    // Once no entry has filters, the list is stored exactly as before.
    rows.items().pop_back();
    rows.items().pop_back();
    {
        SettingsStore store;
        ASSERT_TRUE(BatchListStore(store).Replace(rows).ok());
        SettingsStore::Key key = 0;
        EXPECT_TRUE(store.OpenKey(std::string(kListKey) + "\\Exclude", &key).IsNotFound());
        EXPECT_TRUE(store.OpenKey(std::string(kListKey) + "\\Hidden", &key).IsNotFound());
    }
}

TEST_F(BatchListStoreTest, TheQuickPageFiltersReadAsNoneUntilWritten) {
    SettingsStore store;
    Profile profile(store);
    std::vector<std::string> patterns{"stale"};
    bool hidden = true;
    BatchListStore::ReadQuickFilters(profile, &patterns, &hidden);
    EXPECT_TRUE(patterns.empty());
    EXPECT_FALSE(hidden);
    ASSERT_TRUE(BatchListStore::WriteQuickFilters(profile, {"*.o", "node_modules/"}, true).ok());
    BatchListStore::ReadQuickFilters(profile, &patterns, &hidden);
    EXPECT_EQ(patterns, (std::vector<std::string>{"*.o", "node_modules/"}));
    EXPECT_TRUE(hidden);
}

}  // namespace
}  // namespace tandrel
