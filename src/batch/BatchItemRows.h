#pragma once

#include <utility>
#include <vector>

#include "BatchItem.h"
#include "IBatchRows.h"

namespace tandrel {

// Batch list rows held in a vector, for saving a list that lives outside the Batch page.
class BatchItemRows : public IBatchRows {
  public:
    BatchItemRows() = default;
    explicit BatchItemRows(std::vector<BatchItem> items) : items_(std::move(items)) {}

    std::vector<BatchItem>& items() { return items_; }
    const std::vector<BatchItem>& items() const { return items_; }

    int GetRowCount() const override { return static_cast<int>(items_.size()); }
    bool GetRow(int row, BatchItem* item) const override {
        const BatchItem& from = items_.at(static_cast<size_t>(row));
        item->nCheck = from.nCheck;
        item->strDescription = from.strDescription;
        item->strFrom = from.strFrom;
        item->strTo = from.strTo;
        item->listExclude = from.listExclude;
        item->bIncludeHidden = from.bIncludeHidden;
        return item->IsChecked();
    }

  private:
    std::vector<BatchItem> items_;
};

}  // namespace tandrel
