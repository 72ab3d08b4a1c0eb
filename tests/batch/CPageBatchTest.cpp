// The Batch page driven as a user would: buttons, clicks on rows, the item dialog and the boxes
// answered through their seams, and program restarts over the same settings store.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QMessageBox>
#include <QRadioButton>
#include <QToolTip>
#include <functional>

#include "AppImages.h"
#include "BatchItemRows.h"
#include "PageDriver.h"

namespace tandrel {
namespace {

std::string Dir(TempTree& tree, const std::string& rel) {
    tree.MakeDir(rel);
    return tree.Path(rel);
}

TEST_F(BatchPageTest, FirstStartWithNothingStored) {
    Start();
    EXPECT_EQ(page_->Caption(), "Batch");
    EXPECT_FALSE(page_->HasWindow());
    ShowBatch();
    ASSERT_TRUE(page_->HasWindow());
    EXPECT_EQ(page_->GetRowCount(), 0);
    EXPECT_FALSE(Enabled(IDC_GO));
    EXPECT_FALSE(Enabled(IDC_BATCH_EDIT));
    EXPECT_FALSE(Enabled(IDC_BATCH_REMOVE));
    EXPECT_TRUE(Button(IDC_KEEP)->isChecked());
    EXPECT_FALSE(Enabled(IDC_RECYCLE));
    EXPECT_FALSE(Enabled(IDC_RECYCLE_BROWSE));
    // Three columns, which the user may drag into another order.
    EXPECT_EQ(Tree()->columnCount(), 3);
    EXPECT_TRUE(Tree()->header()->sectionsMovable());
    const QFontMetrics metrics(Tree()->font());
    const char* headers[] = {"Description", "Source Directory", "Destination Directory"};
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(Tree()->headerItem()->text(c), headers[c]);
        EXPECT_EQ(page_->List()->ColumnWidth(c),
                  std::min(200, metrics.horizontalAdvance(headers[c]) + 20));
    }
}

TEST_F(BatchPageTest, AddWithOkCancelAndEmptyFields) {
    const std::string src = Dir(tree_, "src");
    const std::string dst = Dir(tree_, "dst");
    Start();
    ShowBatch();
    AddThroughDialog("first", src, dst, false);
    EXPECT_EQ(page_->GetRowCount(), 0);
    EXPECT_FALSE(Enabled(IDC_GO));

    // All fields empty: the "From" box, and the dialog is still there to be cancelled.
    bool stillOpen = false;
    OnNextDialog([&](QDialog* d) {
        CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
        Press(d, IDC_ITEM_OK);
        stillOpen = d->isVisible();
        Press(d, IDCANCEL);
    });
    Button(IDC_BATCH_ADD)->click();
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(CMessageBox::LastText(), "Error: Directory name of 'From' is empty...");
    EXPECT_EQ(page_->GetRowCount(), 0);

    AddThroughDialog("first", " " + src + " ", dst);
    AddThroughDialog("second", src, dst);
    ASSERT_EQ(page_->GetRowCount(), 2);
    EXPECT_TRUE(Enabled(IDC_GO));
    EXPECT_EQ(Row(1).strDescription, "second");
    EXPECT_EQ(Row(0).strFrom, src);
    EXPECT_TRUE(page_->List()->GetCheck(1));
}

// "Add" stores the filters typed in the dialog with the entry; they are back after a restart and
// shown again by "Edit".
TEST_F(BatchPageTest, AddKeepsTheEntrysFiltersAcrossARestart) {
    const std::string src = Dir(tree_, "src");
    const std::string dst = Dir(tree_, "dst");
    Start();
    ShowBatch();
    OnNextDialog([&](QDialog* d) {
        EditOf(d, IDC_ITEM_DESCRIPTION)->setText("home");
        EditOf(d, IDC_FROM)->setText(QString::fromStdString(src));
        EditOf(d, IDC_TO)->setText(QString::fromStdString(dst));
        EditOf(d, IDC_EXCLUDE)->setText("*.tmp; a\\;b");
        qobject_cast<QAbstractButton*>(FindControl(d, IDC_INCLUDE_HIDDEN))->click();
        Press(d, IDC_ITEM_OK);
    });
    Button(IDC_BATCH_ADD)->click();
    Close();

    Start();
    ShowBatch();
    ASSERT_EQ(page_->GetRowCount(), 1);
    EXPECT_EQ(Row(0).listExclude, (std::vector<std::string>{"*.tmp", "a;b"}));
    EXPECT_TRUE(Row(0).bIncludeHidden);
    QString shown;
    OnNextDialog([&](QDialog* d) {
        shown = EditOf(d, IDC_EXCLUDE)->text();
        Press(d, IDCANCEL);
    });
    ClickText(0);
    Button(IDC_BATCH_EDIT)->click();
    EXPECT_EQ(shown, "*.tmp; a\\;b");
}

TEST_F(BatchPageTest, EditAndDoubleClickOpenTheSelectedRow) {
    const std::string src = Dir(tree_, "src");
    const std::string dst = Dir(tree_, "dst");
    const std::string other = Dir(tree_, "other");
    Start();
    ShowBatch();
    page_->AddItem("one", src, dst, kBatchChecked);
    page_->AddItem("two", dst, src, kBatchUnchecked);
    EXPECT_FALSE(Enabled(IDC_BATCH_EDIT));
    Button(IDC_BATCH_EDIT)->click();  // nothing selected: nothing opens
    ClickText(1);
    EXPECT_EQ(page_->SelectedRow(), 1);
    EXPECT_TRUE(Enabled(IDC_BATCH_EDIT));
    EXPECT_TRUE(Enabled(IDC_BATCH_REMOVE));

    // Edit: the row's texts; browsing and then Cancel change nothing.
    QString shown;
    OnNextDialog([&](QDialog* d) {
        shown = EditOf(d, IDC_ITEM_DESCRIPTION)->text() + "|" + EditOf(d, IDC_FROM)->text() + "|" +
                EditOf(d, IDC_TO)->text();
        CFileChooser::SetNextFolder(other);
        Press(d, IDC_FROM_BROWSE);
        Press(d, IDCANCEL);
    });
    Button(IDC_BATCH_EDIT)->click();
    EXPECT_EQ(shown.toStdString(), "two|" + dst + "|" + src);
    EXPECT_EQ(Row(1).strFrom, dst);

    // A double click on the first row edits that row; OK keeps its check state.
    OnNextDialog([&](QDialog* d) {
        shown = EditOf(d, IDC_ITEM_DESCRIPTION)->text();
        EditOf(d, IDC_TO)->setText(QString::fromStdString(other));
        Press(d, IDC_ITEM_OK);
    });
    const QRect box = page_->List()->StateImageRect(0);
    const QPoint text(box.right() + 12, box.center().y());
    QTest::mouseClick(Viewport(), Qt::LeftButton, {}, text);
    QTest::mouseDClick(Viewport(), Qt::LeftButton, {}, text);
    EXPECT_EQ(shown, "one");
    EXPECT_EQ(Row(0).strTo, other);
    EXPECT_EQ(Row(0).nCheck, kBatchChecked);
    EXPECT_EQ(Row(1).nCheck, kBatchUnchecked);
}

TEST_F(BatchPageTest, AClickOnTheBoxOrSpaceToggles) {
    Start();
    ShowBatch();
    page_->AddItem("a", "/a", "/b", kBatchChecked);
    page_->AddItem("b", "/c", "/d", kBatchUnchecked);
    ClickBox(0);
    EXPECT_FALSE(page_->List()->GetCheck(0));
    ClickBox(1);
    EXPECT_TRUE(page_->List()->GetCheck(1));
    ClickBox(0);
    EXPECT_TRUE(page_->List()->GetCheck(0));

    ClickText(0);
    EXPECT_EQ(page_->SelectedRow(), 0);
    EXPECT_TRUE(page_->List()->GetCheck(0));
    ClickColumn(1, 1);
    EXPECT_EQ(page_->SelectedRow(), 1);
    EXPECT_TRUE(page_->List()->GetCheck(1));
    ClickColumn(1, 2);
    EXPECT_TRUE(page_->List()->GetCheck(1));

    // Space toggles the current row's box as a click does; the arrows only move. Assistive
    // technology hears each box as a checkable cell in its state.
    const auto heardChecked = [this](int row) {
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(Tree());
        QAccessibleInterface* cell = list->tableInterface()->cellAt(row, 0);
        EXPECT_TRUE(cell->state().checkable);
        return bool(cell->state().checked);
    };
    QTest::keyClick(Tree(), Qt::Key_Space);
    EXPECT_FALSE(page_->List()->GetCheck(1));
    EXPECT_FALSE(heardChecked(1));
    QTest::keyClick(Tree(), Qt::Key_Up);
    EXPECT_TRUE(page_->List()->GetCheck(0));
    EXPECT_TRUE(heardChecked(0));
    QTest::keyClick(Tree(), Qt::Key_Space);
    EXPECT_FALSE(page_->List()->GetCheck(0));
    EXPECT_FALSE(page_->List()->GetCheck(1));

    // Each row shows its texts, and its box looks the same whether the row is selected or not.
    ClickBox(1);
    const int size = CBatchListCtrl::kStateImageSize;
    for (int row = 0; row < 2; ++row) {
        const QTreeWidgetItem* item = Tree()->topLevelItem(row);
        EXPECT_EQ(item->text(0) + item->text(1) + item->text(2), row == 0 ? "a/a/b" : "b/c/d");
        const QImage box = item->icon(0).pixmap(size, QIcon::Normal).toImage();
        for (QIcon::Mode mode : {QIcon::Selected, QIcon::Active, QIcon::Disabled}) {
            EXPECT_EQ(item->icon(0).pixmap(size, mode).toImage(), box) << mode;
        }
    }
    EXPECT_NE(Tree()->topLevelItem(0)->icon(0).pixmap(size).toImage(),
              Tree()->topLevelItem(1)->icon(0).pixmap(size).toImage());
}

// Remove asks first, in the real box: Escape and Cancel keep the row, a click on OK and Return
// remove it. Afterwards nothing is selected, so Edit cannot open a neighbour.
TEST_F(BatchPageTest, RemoveAsksAndLeavesNothingSelected) {
    Start();
    ShowBatch();
    page_->AddItem("a", "/a", "/b", kBatchChecked);
    page_->AddItem("b", "/c", "/d", kBatchChecked);
    page_->AddItem("c", "/e", "/f", kBatchChecked);
    const auto clickOn = [](QMessageBox::StandardButton which) {
        return [which](QMessageBox* box) { QTest::mouseClick(box->button(which), Qt::LeftButton); };
    };
    const auto key = [](Qt::Key k) { return [k](QMessageBox* box) { QTest::keyClick(box, k); }; };
    const struct {
        int row;
        std::function<void(QMessageBox*)> press;
        const char* left;  // the descriptions left, in order
    } cases[] = {
        {0, key(Qt::Key_Escape), "abc"},
        {0, clickOn(QMessageBox::Cancel), "abc"},
        {0, clickOn(QMessageBox::Ok), "bc"},
        {1, key(Qt::Key_Return), "b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.left);
        ClickText(c.row);
        QString asked;
        OnNextDialog([&](QDialog* d) {
            auto* box = qobject_cast<QMessageBox*>(d);
            ASSERT_NE(box, nullptr);
            asked = box->text();
            c.press(box);
        });
        Button(IDC_BATCH_REMOVE)->click();
        EXPECT_EQ(asked, "Delete this batch item?");
        std::string left;
        for (int r = 0; r < page_->GetRowCount(); ++r) {
            left += Row(r).strDescription;
        }
        EXPECT_EQ(left, c.left);
        if (left.size() < 3) {
            EXPECT_EQ(page_->SelectedRow(), -1);
            EXPECT_EQ(page_->List()->GetSelectedItem(), -1);
            EXPECT_FALSE(Enabled(IDC_BATCH_EDIT));
            EXPECT_FALSE(Enabled(IDC_BATCH_REMOVE));
        }
        EXPECT_TRUE(Enabled(IDC_GO));
    }

    // Through the test's answer, as the other page tests give it: the last row goes, and with
    // it "&Go".
    ClickText(0);
    CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
    Button(IDC_BATCH_REMOVE)->click();
    EXPECT_EQ(page_->GetRowCount(), 0);
    EXPECT_FALSE(Enabled(IDC_GO));
}

TEST_F(BatchPageTest, MoveEnablesTheRecycleFieldKeepAndDeleteKeepItsText) {
    Start();
    ShowBatch();
    auto* field = qobject_cast<QLineEdit*>(page_->GetDlgItem(IDC_RECYCLE));
    Button(IDC_MOVE)->click();
    EXPECT_TRUE(Enabled(IDC_RECYCLE));
    EXPECT_TRUE(Enabled(IDC_RECYCLE_BROWSE));
    CFileChooser::SetNextFolder(std::string("/srv/recycle"));
    Button(IDC_RECYCLE_BROWSE)->click();
    EXPECT_EQ(CFileChooser::LastTitle(), "Select recycle bin directory:");
    EXPECT_EQ(field->text(), "/srv/recycle");
    Button(IDC_DELETE)->click();
    EXPECT_FALSE(Enabled(IDC_RECYCLE));
    EXPECT_FALSE(Enabled(IDC_RECYCLE_BROWSE));
    EXPECT_EQ(field->text(), "/srv/recycle");
    Button(IDC_KEEP)->click();
    EXPECT_FALSE(Enabled(IDC_RECYCLE));
}

// While a run is going, adding rows (from the page or the Quick page) and showing the page
// again never enable "&Go"; the end of the run does.
TEST_F(BatchPageTest, AddingDuringARunLeavesGoDisabled) {
    const std::string src = Dir(tree_, "src");
    Start();
    ShowBatch();
    queue_.m_bRunning = true;
    sheet_->SetActivePage(0);
    sheet_->SetActivePage(1);
    EXPECT_FALSE(Enabled(IDC_GO));
    AddThroughDialog("x", src, src);
    page_->AddItem("y", src, src, kBatchChecked);
    EXPECT_EQ(page_->GetRowCount(), 2);
    EXPECT_FALSE(Enabled(IDC_GO));
    sheet_->PostJobsDone();
    ASSERT_TRUE(WaitFor([&] { return Enabled(IDC_GO); }));
    EXPECT_FALSE(queue_.m_bRunning);
}

// "&Go" is enabled exactly while the list holds a checked row and no run is going, whatever
// changed the list or the page.
TEST_F(BatchPageTest, GoIsEnabledExactlyWhileARowIsChecked) {
    Start();
    ShowBatch();
    const auto switchTabs = [this] {
        sheet_->SetActivePage(0);
        sheet_->SetActivePage(1);
    };
    const auto endRun = [this] {
        queue_.m_bRunning = true;
        sheet_->PostJobsDone();
        ASSERT_TRUE(WaitFor([this] { return !queue_.m_bRunning; }));
    };
    const auto removeRow = [this](int row) {
        ClickText(row);
        CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
        Button(IDC_BATCH_REMOVE)->click();
    };
    const struct {
        const char* what;
        std::function<void()> act;
        bool go;
    } steps[] = {
        {"empty list", [] {}, false},
        {"empty list, tabs switched", switchTabs, false},
        {"empty list, a run ended", endRun, false},
        {"an unchecked row added", [&] { page_->AddItem("u", "/a", "/b", kBatchUnchecked); },
         false},
        {"unchecked, tabs switched", switchTabs, false},
        {"unchecked, a run ended", endRun, false},
        {"its box checked", [&] { ClickBox(0); }, true},
        {"checked, tabs switched", switchTabs, true},
        {"its box unchecked", [&] { ClickBox(0); }, false},
        {"a checked row added", [&] { page_->AddItem("c", "/c", "/d", kBatchChecked); }, true},
        {"the checked row removed", [&] { removeRow(1); }, false},
        {"a checked row added through the dialog", [&] { AddThroughDialog("d", "/", "/"); }, true},
        {"the unchecked row removed", [&] { removeRow(0); }, true},
        {"the last row removed", [&] { removeRow(0); }, false},
        {"last row removed, tabs switched", switchTabs, false},
    };
    for (const auto& step : steps) {
        step.act();
        EXPECT_EQ(Enabled(IDC_GO), step.go) << step.what;
    }
}

// Every column, the description's too, can be dragged by its header to another place.
TEST_F(BatchPageTest, EveryColumnCanBeDraggedToAnotherPlace) {
    Start();
    ShowBatch();
    sheet_->show();
    QHeaderView* header = Tree()->header();
    // A point `part` quarters into the section at place `visual`.
    const auto at = [header](int visual, int part) {
        const int logical = header->logicalIndex(visual);
        return QPoint(
            header->sectionViewportPosition(logical) + header->sectionSize(logical) * part / 4,
            header->height() / 2);
    };
    const struct {
        int column;  // logical
        int to;      // visual place it is dropped on
    } drags[] = {{0, 2}, {1, 0}, {2, 1}};
    for (const auto& d : drags) {
        const int place = header->visualIndex(d.column);
        const QPoint from = at(place, 2);
        // The header drops a section before or after another by which half it is let go on.
        const QPoint to = at(d.to, d.to > place ? 3 : 1);
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, from);
        // Through the middle, so that the header sees a drag, not a click.
        QTest::mouseMove(header->viewport(), (from + to) / 2);
        QTest::mouseMove(header->viewport(), to);
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, to);
        EXPECT_EQ(header->visualIndex(d.column), d.to) << "column " << d.column;
    }
}

TEST_F(BatchPageTest, WidthsSurviveARestartColumnOrderDoesNot) {
    Start();
    ShowBatch();
    page_->AddItem("b", "/a", "/b", kBatchUnchecked);
    page_->AddItem("a", "/c", "/d", kBatchChecked);
    Tree()->header()->resizeSection(0, 150);
    Tree()->header()->resizeSection(1, 500);
    Tree()->header()->resizeSection(2, 40);
    Tree()->header()->moveSection(2, 0);
    ASSERT_EQ(Tree()->header()->logicalIndex(0), 2);
    // A header click does not sort.
    QTest::mouseClick(Tree()->header()->viewport(), Qt::LeftButton, {},
                      QPoint(Tree()->header()->sectionViewportPosition(0) + 5, 5));
    EXPECT_EQ(Row(0).strDescription, "b");
    Close();

    Start();
    ShowBatch();
    EXPECT_EQ(page_->List()->ColumnWidth(0), 150);
    EXPECT_EQ(page_->List()->ColumnWidth(1), 200);
    EXPECT_EQ(page_->List()->ColumnWidth(2), 40);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(Tree()->header()->logicalIndex(c), c);
    }
    ASSERT_EQ(page_->GetRowCount(), 2);
    EXPECT_EQ(Row(0).strDescription, "b");
    EXPECT_EQ(Row(0).nCheck, kBatchUnchecked);
    EXPECT_EQ(Row(1).nCheck, kBatchChecked);
}

// An entry added while the page was never shown is kept, shown when the page first is, and
// saved at shutdown even if the page never was.
TEST_F(BatchPageTest, EntriesAddedToAHiddenPageAreKept) {
    Start();
    ShowBatch();
    page_->AddItem("stored", "/a", "/b", kBatchChecked);
    Close();

    Start();
    page_->AddItem("quick", "/q", "/r", kBatchChecked);
    EXPECT_EQ(page_->GetRowCount(), 0);
    ShowBatch();
    ASSERT_EQ(page_->GetRowCount(), 2);
    EXPECT_EQ(Row(1).strDescription, "quick");
    Close();

    Start();
    page_->AddItem("never shown", "/s", "/t", kBatchChecked);
    Close();

    Start();
    ShowBatch();
    ASSERT_EQ(page_->GetRowCount(), 3);
    EXPECT_EQ(Row(0).strDescription, "stored");
    EXPECT_EQ(Row(1).strDescription, "quick");
    EXPECT_EQ(Row(2).strDescription, "never shown");
}

TEST_F(BatchPageTest, AHiddenPageWithNothingAddedWritesNothing) {
    Start();
    Close();
    EXPECT_FALSE(tree_.Exists(kStoreRel));
}

// A save that cannot be written (the store held by another process throughout) is reported
// once, and the list stored before is still there.
TEST_F(BatchPageTest, FailedSaveIsReportedOnceAndKeepsTheStoredList) {
    {
        SettingsStore store;
        BatchListStore list(store);
        BatchItem item;
        item.strDescription = "old";
        ASSERT_TRUE(list.Append(item).ok());
    }
    Start();
    ShowBatch();
    page_->AddItem("new", "/a", "/b", kBatchChecked);
    CMessageBox::SetNextAnswer(CMessageBox::Answer::kOk);
    SettingsStore other;
    const Status held = other.Write([&] {
        Close();
        return Status::Ok();
    });
    EXPECT_TRUE(held.ok()) << held.ToString();
    EXPECT_EQ(CMessageBox::Count(), 1);
    EXPECT_NE(CMessageBox::LastText().indexOf("could not be saved"), -1);

    SettingsStore store;
    BatchListStore list(store);
    std::deque<BatchItem> items;
    ASSERT_TRUE(list.Load(&items).ok());
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].strDescription, "old");
}

}  // namespace
}  // namespace tandrel

namespace tandrel {
namespace {

// A cell too narrow for its text shows the whole text as its tooltip; one that fits, none.
TEST_F(BatchPageTest, CutCellsShowTheirWholeTextAsTooltip) {
    Start();
    ShowBatch();
    const std::string longPath = "/srv/archive/customers/2026/reports-and-invoices-quarterly";
    page_->AddItem("Archive", longPath, "/b", kBatchChecked);
    sheet_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet_.get()));
    // A tip being hidden stays up a moment with its text: each look starts from a tip of its
    // own, "-", which a cell that fits leaves alone.
    const auto tipAt = [this](int column) {
        const QRect cell = Tree()->visualRect(Tree()->model()->index(0, column));
        QToolTip::showText(Viewport()->mapToGlobal(cell.center()), "-", Viewport());
        QHelpEvent help(QEvent::ToolTip, cell.center(), Viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(Viewport(), &help);
        return QToolTip::text();
    };
    EXPECT_EQ(tipAt(1), QString::fromStdString(longPath));
    EXPECT_EQ(tipAt(2), "-");  // "/b" fits
    Tree()->header()->resizeSection(1, 1000);
    EXPECT_EQ(tipAt(1), "-");
    QToolTip::hideText();
}

// The check boxes are drawn for the screen's device pixel ratio: the bitmap itself at 1, a
// drawing with smooth diagonals at 1.5 and 2 rather than the bitmap enlarged.
TEST_F(BatchPageTest, CheckBoxesAreSharpAtEachDevicePixelRatio) {
    Start();
    ShowBatch();
    page_->AddItem("a", "/a", "/b", kBatchChecked);
    const QIcon icon = Tree()->topLevelItem(0)->icon(0);
    const QImage bitmap = LoadBitmapImage(IDB_CHECKBOXES, 1, 16, qRgb(255, 0, 0))
                              .toImage()
                              .convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(icon.pixmap(QSize(16, 16), 1.0).toImage().convertToFormat(QImage::Format_ARGB32),
              bitmap);
    for (const double ratio : {1.5, 2.0}) {
        SCOPED_TRACE(ratio);
        const QImage image =
            icon.pixmap(QSize(16, 16), ratio).toImage().convertToFormat(QImage::Format_ARGB32);
        const int side = qRound(16 * ratio);
        ASSERT_EQ(image.size(), QSize(side, side));
        // Grey frame, white inside, black mark; the mark's slanted edges in between shades.
        const int at = qRound(2 * ratio);
        EXPECT_EQ(QColor(image.pixel(side / 2, at)).name(), "#808080");
        EXPECT_EQ(QColor(image.pixel(qRound(5 * ratio), qRound(11 * ratio))).name(), "#ffffff");
        int black = 0;
        int between = 0;
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const int grey = qGray(image.pixel(x, y));
                black += grey < 20;
                between +=
                    grey > 20 && grey < 235 && grey != 128 && qAlpha(image.pixel(x, y)) == 255;
            }
        }
        EXPECT_GT(black, static_cast<int>(18 * ratio * ratio));
        EXPECT_GT(between, 4);
        // An enlarged bitmap would show the same colour in every 2 x 2 block.
        if (ratio == 2.0) {
            bool blocky = true;
            for (int y = 0; y + 1 < side && blocky; y += 2) {
                for (int x = 0; x + 1 < side && blocky; x += 2) {
                    blocky = image.pixel(x, y) == image.pixel(x + 1, y) &&
                             image.pixel(x, y) == image.pixel(x, y + 1) &&
                             image.pixel(x, y) == image.pixel(x + 1, y + 1);
                }
            }
            EXPECT_FALSE(blocky);
        }
    }
}

}  // namespace
}  // namespace tandrel
