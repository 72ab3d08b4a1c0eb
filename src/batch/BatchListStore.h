#pragma once

#include <array>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "BatchItem.h"
#include "IBatchRows.h"
#include "Profile.h"
#include "SettingsStore.h"
#include "Status.h"

namespace tandrel {

// The batch list in the settings store, under Software\Halvory\Tandrel\Batch List:
//
//   Batch List              LVwidth1..3   32-bit   width of list column 1..3 in pixels
//   Batch List\Description  one per entry string   the description
//   Batch List\From         one per entry string   the source directory
//   Batch List\To           one per entry string   the destination directory
//   Batch List\Flag         one per entry 32-bit   the check state (1 or 2)
//
// Beside them, for the entries that have filters (keys and values written only then, so that
// a list without filters is stored exactly as earlier versions stored it):
//
//   Batch List\Exclude      string   the exclude patterns, one a line
//   Batch List\Hidden       32-bit   1: names beginning with "." take part
//
// A store without them (written by an earlier version) reads as no patterns and no such names.
//
// The entry in row r is stored under the same value name in all four keys: the single byte
// 48 + r for rows 0 to 48 ("0".."9", ":", ..., "`"), the layout earlier versions read and
// wrote, and "#r" from row 49 on, a name no other row's can equal even when case is ignored.
// Loading ties the four values of an entry together by their whole name. Texts of any length
// are kept whole, and a list of any length keeps its order.
//
// Every Load, Save and Append is one transaction: a process killed in the middle of a save
// leaves the list (and the widths) as they were before it, or as saved, never a mix.
//
// Same threading as the settings store it uses, which must outlive it.
class BatchListStore {
  public:
    static constexpr int kColumnCount = 3;
    using ColumnWidths = std::array<int, kColumnCount>;
    static constexpr const char* kSection = "Batch List";
    static constexpr int kMinColumnWidth = 20;
    static constexpr int kMaxColumnWidth = 200;

    explicit BatchListStore(SettingsStore& store);

    // Appends one item per stored entry to `items`, in the order the entries were stored.
    // An entry exists only with a description; a missing source or destination gives an empty
    // text, a missing check state a checked entry, and the check state is the low byte of the
    // stored number. Values that belong to no description are left out. With no list stored,
    // nothing is appended and the result is ok. On failure `items` is unchanged, and the caller
    // must not save over the list it could not read (an empty list saved then loses it).
    Status Load(std::deque<BatchItem>* items);

    // Replaces the stored list with `rows`, in row order, and stores the column widths as
    // given (no clamping). On failure the stored list and widths stay as they were.
    Status Save(const IBatchRows& rows, const ColumnWidths& widths);

    // Replaces the stored list with `rows`, in row order, leaving the widths as they are.
    Status Replace(const IBatchRows& rows);

    // Adds `item` at the end of the stored list, in one transaction; the widths are untouched.
    Status Append(const BatchItem& item);

    // The width of list column `column` (0..2) when the Batch page sets up its list: the stored
    // LVwidth value, or `defaultWidth` (the header text's width plus 20) when none is stored,
    // clamped to kMinColumnWidth..kMaxColumnWidth.
    int ReadColumnWidth(int column, int defaultWidth);

    // The number of an entry as users count them (the first is 1), written in decimal digits
    // alone: false for anything else, 0, or a number too large to be a row.
    static bool ParseEntryNumber(const std::string& text, int* number);

    // The stored form of a list of patterns: one a line (a pattern cannot hold a line break),
    // and back again (empty lines skipped).
    static std::string JoinPatterns(const std::vector<std::string>& patterns);
    static std::vector<std::string> SplitPatterns(std::string_view text);

    // The filters the Quick page remembers with its directories: the values "Exclude" (one
    // pattern a line) and "IncludeHidden" (0 or 1) beside "From", "To" and "Remove". Reading
    // a store that has none gives no patterns and no hidden names; writing runs in the
    // caller's transaction when called inside a SettingsStore::Write body.
    static void ReadQuickFilters(const Profile& profile, std::vector<std::string>* patterns,
                                 bool* includeHidden);
    static Status WriteQuickFilters(Profile& profile, const std::vector<std::string>& patterns,
                                    bool includeHidden);

    // The value name of row `row` (>= 0).
    static std::string EntryName(int row);
    // "Software\Halvory\Tandrel\Batch List\<subkey>".
    std::string EntryKeyPath(const char* subkey) const;

  private:
    Status SaveEntries(const IBatchRows& rows);

    SettingsStore* store_;
    Profile profile_;
};

}  // namespace tandrel
