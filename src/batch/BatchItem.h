#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tandrel {

// Check states of a batch list entry: the index of the row's state image on the Batch page.
// The underlying type is fixed, so that a stored number outside the two can be carried as it is.
enum BatchCheckState : int32_t { kBatchUnchecked = 1, kBatchChecked = 2 };

// One batch list entry in memory. Loading makes one per stored entry; elsewhere it carries one
// row between the Batch page's list, a dialog, the store and the job queue.
struct BatchItem {
    // Used while loading only: the first byte of the entry's stored name as a signed 8-bit
    // value (0 for the empty name).
    int nKey = 0;
    // kBatchChecked or kBatchUnchecked; another number only when the store held one.
    BatchCheckState nCheck = kBatchChecked;
    std::string strDescription;
    std::string strFrom;
    std::string strTo;
    // What the entry's job leaves out: exclude patterns, in the order given, and whether names
    // beginning with "." take part.
    std::vector<std::string> listExclude;
    bool bIncludeHidden = false;

    bool HasFilters() const { return !listExclude.empty() || bIncludeHidden; }
    bool IsChecked() const { return nCheck == kBatchChecked; }
};

}  // namespace tandrel
