#pragma once

#include "BatchItem.h"

namespace tandrel {

// The rows of the batch list as saving reads them: the Batch page's list control in the
// window, a plain vector elsewhere.
class IBatchRows {
  public:
    virtual ~IBatchRows() = default;
    virtual int GetRowCount() const = 0;
    // Fills the check state and the three texts of row `row` (0 <= row < GetRowCount()) into
    // `item`, leaving nKey alone. True when the row is checked.
    virtual bool GetRow(int row, BatchItem* item) const = 0;
};

}  // namespace tandrel
