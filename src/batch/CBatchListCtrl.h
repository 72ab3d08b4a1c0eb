#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <functional>

#include "BatchItem.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace tandrel {

// The Batch page's list control: one row per batch entry, in three columns (description,
// source, destination), with the entry's check state drawn as the row's state image, the
// empty or the checked box of bitmap 147, in front of the description.
//
// The texts are kept as the bytes they were given and shown decoded, so a row gives back
// exactly what it was given. A check state other than the two shows no box and is kept as it
// is. Rows are never sorted; a header click does nothing, and the columns can be dragged into
// another order (for this session only).
//
// A row with a box is also checkable as an item (unchecked or checked), so that assistive
// technology hears its state; Space toggles the current row's box as a click on it does.
//
// Window thread only. The list widget belongs to the page and must outlive this object.
class CBatchListCtrl : public QObject {
    Q_OBJECT

  public:
    static constexpr int kStateImageSize = 16;

    explicit CBatchListCtrl(QTreeWidget* list, QObject* parent = nullptr);
    ~CBatchListCtrl() override;

    QTreeWidget* Widget() const { return m_pList; }

    // Puts up the three columns with the headers of strings 3000 to 3002; `width` gives the
    // width of column c from the default for it (the header text's width plus 20).
    void SetUpColumns(const std::function<int(int column, int defaultWidth)>& width);
    int ColumnWidth(int column) const;

    int GetItemCount() const;
    // Appends a row for `item`; returns its index.
    int InsertItem(const BatchItem& item);
    // Replaces the texts and the check state of `row`.
    void SetItem(int row, const BatchItem& item);
    // The check state and the three texts of `row`; nKey is left alone.
    void GetItem(int row, BatchItem* item) const;
    void DeleteItem(int row);

    // The selected row, or -1.
    int GetSelectedItem() const;
    void ClearSelection();

    bool GetCheck(int row) const;
    void SetCheck(int row, bool checked);

    // Where `row`'s state image is drawn, in the coordinates of the list's viewport.
    QRect StateImageRect(int row) const;
    // The row whose state image lies under `pos` (viewport coordinates), or -1.
    int HitTestStateImage(const QPoint& pos) const;

  signals:
    // A click with the left button, released on row `row` (-1 for none) in column `column`;
    // `pos` in viewport coordinates. The second click of a double click does not count.
    void Clicked(int row, int column, QPoint pos);
    void DoubleClicked(int row);
    // The selected row changed.
    void SelectionChanged();
    // Space on `row`: the same as a click on its box.
    void ToggleRequested(int row);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QTreeWidgetItem* Row(int row) const;
    void Fill(QTreeWidgetItem* row, const BatchItem& item);
    // Shows `state` as the row's image and its check state.
    void ShowCheck(QTreeWidgetItem* row, BatchCheckState state);

    QTreeWidget* m_pList;
    QIcon m_unchecked;
    QIcon m_checked;
    bool m_bSecondClick = false;
};

}  // namespace tandrel
