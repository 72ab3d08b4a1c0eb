// Lists of any length, texts of any length, saves cut short by a killed process, and two
// processes writing the list at the same time.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "BatchItemRows.h"
#include "BatchListStore.h"
#include "StoreFixture.h"

namespace tandrel {
namespace {

std::vector<BatchItem> MakeList(const std::string& tag, int count) {
    std::vector<BatchItem> items;
    for (int i = 0; i < count; ++i) {
        BatchItem item;
        item.strDescription = tag + " job " + std::to_string(i);
        item.strFrom = "/" + tag + "/from/" + std::to_string(i);
        item.strTo = "/" + tag + "/to/" + std::to_string(i);
        item.nCheck =
            (i * 7 + static_cast<int>(tag.size())) % 3 == 0 ? kBatchUnchecked : kBatchChecked;
        items.push_back(item);
    }
    return items;
}

bool SameList(const std::deque<BatchItem>& got, const std::vector<BatchItem>& want) {
    if (got.size() != want.size()) {
        return false;
    }
    for (size_t i = 0; i < got.size(); ++i) {
        if (got[i].strDescription != want[i].strDescription || got[i].strFrom != want[i].strFrom ||
            got[i].strTo != want[i].strTo || got[i].nCheck != want[i].nCheck) {
            return false;
        }
    }
    return true;
}

using BatchListDurabilityTest = StoreFixture;

TEST_F(BatchListDurabilityTest, ThousandEntriesAndLongTextsRoundTripWhole) {
    std::vector<BatchItem> items = MakeList("big", 1000);
    std::string longText;
    for (int i = 0; i < 10000; ++i) {
        longText += static_cast<char>('a' + i % 26);
    }
    items[0].strDescription = longText;
    items[500].strFrom = "/" + longText;
    items[999].strTo = "/deep/" + longText + "/\xc3\xa9t\xc3\xa9";
    {
        SettingsStore store;
        ASSERT_TRUE(BatchListStore(store).Save(BatchItemRows(items), {100, 150, 200}).ok());
    }
    SettingsStore store;
    std::deque<BatchItem> loaded;
    ASSERT_TRUE(BatchListStore(store).Load(&loaded).ok());
    ASSERT_EQ(loaded.size(), 1000u);
    EXPECT_EQ(loaded[0].strDescription.size(), 10000u);
    EXPECT_EQ(loaded[999].strTo, items[999].strTo);
    EXPECT_TRUE(SameList(loaded, items));
}

TEST_F(BatchListDurabilityTest, ProcessKilledDuringSavesLeavesTheOldOrTheNewList) {
    const std::vector<BatchItem> listA = MakeList("a", 60);
    const std::vector<BatchItem> listB = MakeList("bb", 75);
    const BatchListStore::ColumnWidths widthsA = {41, 42, 43};
    const BatchListStore::ColumnWidths widthsB = {151, 152, 153};
    {
        SettingsStore store;
        ASSERT_TRUE(BatchListStore(store).Save(BatchItemRows(listA), widthsA).ok());
    }

    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> delayUs(0, 25000);
    // Many trials, but the whole test stays short on a slow or sanitized build.
    const auto stopAt = std::chrono::steady_clock::now() + std::chrono::seconds(12);
    int trials = 0;
    for (; trials < 150 && std::chrono::steady_clock::now() < stopAt; ++trials) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            SettingsStore store;
            BatchListStore list(store);
            const BatchItemRows rowsA(listA), rowsB(listB);
            (void)!write(ready[1], "r", 1);
            for (int i = 0; i < 100000; ++i) {
                if (i % 2 == 0) {
                    list.Save(rowsB, widthsB);
                } else {
                    list.Save(rowsA, widthsA);
                }
            }
            _exit(0);
        }
        close(ready[1]);
        char byte = 0;
        ASSERT_EQ(read(ready[0], &byte, 1), 1);
        close(ready[0]);
        usleep(static_cast<useconds_t>(delayUs(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);

        SettingsStore store;
        BatchListStore list(store);
        std::deque<BatchItem> items;
        ASSERT_TRUE(list.Load(&items).ok()) << "trial " << trials;
        BatchListStore::ColumnWidths widths;
        for (int c = 0; c < BatchListStore::kColumnCount; ++c) {
            widths[c] = list.ReadColumnWidth(c, 0);
        }
        const bool old = SameList(items, listA) && widths == widthsA;
        const bool saved = SameList(items, listB) && widths == widthsB;
        ASSERT_TRUE(old || saved) << "trial " << trials << ": a list of " << items.size()
                                  << " entries, widths " << widths[0] << ", " << widths[1];
        ASSERT_EQ(store.TakeNotice(), "") << "trial " << trials;
    }
    EXPECT_GE(trials, 20);
}

TEST_F(BatchListDurabilityTest, TwoProcessesAddingAtOnceBothSucceed) {
    constexpr int kEach = 25;
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    pid_t children[2];
    for (int p = 0; p < 2; ++p) {
        children[p] = fork();
        ASSERT_GE(children[p], 0);
        if (children[p] == 0) {
            close(go[1]);
            char byte;
            (void)!read(go[0], &byte, 1);  // returns when the parent closes its end
            // Both start on a store that does not exist yet, so both also race to create it.
            SettingsStore store;
            BatchListStore list(store);
            for (int i = 0; i < kEach; ++i) {
                BatchItem item;
                item.strDescription = "p" + std::to_string(p) + " " + std::to_string(i);
                item.strFrom = "/from";
                item.strTo = "/to";
                if (!list.Append(item).ok()) {
                    _exit(1);
                }
            }
            _exit(0);
        }
    }
    close(go[0]);
    close(go[1]);
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }

    SettingsStore store;
    std::deque<BatchItem> items;
    ASSERT_TRUE(BatchListStore(store).Load(&items).ok());
    ASSERT_EQ(items.size(), 2u * kEach);
    int next[2] = {0, 0};  // each process's entries appear in the order it added them
    for (const BatchItem& item : items) {
        const int p = item.strDescription[1] - '0';
        ASSERT_TRUE(p == 0 || p == 1) << item.strDescription;
        EXPECT_EQ(item.strDescription, "p" + std::to_string(p) + " " + std::to_string(next[p]));
        ++next[p];
    }
}

}  // namespace
}  // namespace tandrel
