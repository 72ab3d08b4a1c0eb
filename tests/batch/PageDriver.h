#pragma once

#include <QAbstractButton>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <memory>
#include <string>

#include "BatchListStore.h"
#include "CBatchItemDlg.h"
#include "CBatchListCtrl.h"
#include "CFileChooser.h"
#include "CJobQueue.h"
#include "CMessageBox.h"
#include "CPageBatch.h"
#include "CPageLog.h"
#include "CVelSheet.h"
#include "DialogDriver.h"
#include "ResourceIds.h"
#include "SettingsStore.h"
#include "StoreFixture.h"

namespace tandrel {

// A sheet with the Status page and the Batch page (the second tab) over a settings store of
// the test's own and a queue of its own, and what a user does with them.
class BatchPageTest : public StoreFixture {
  protected:
    void SetUp() override {
        StoreFixture::SetUp();
        CMessageBox::Reset();
        CFileChooser::Reset();
    }
    void TearDown() override {
        Close();
        StoreFixture::TearDown();
    }

    // A new start of the program: the pages are made (the Batch page loads its list).
    void Start() {
        store_ = std::make_unique<SettingsStore>();
        sheet_ = std::make_unique<CVelSheet>("Tandrel", 0, 30, nullptr, 0, queue_);
        log_ = std::make_unique<CPageLog>();
        page_ = std::make_unique<CPageBatch>(*store_, queue_);
        sheet_->AddPage(log_.get());
        sheet_->AddPage(page_.get());
        sheet_->Create();
    }
    void ShowBatch() { sheet_->SetActivePage(1); }
    // The end of the program: the Batch page goes first (and saves), then the rest.
    void Close() {
        page_.reset();
        log_.reset();
        sheet_.reset();
        store_.reset();
    }

    QAbstractButton* Button(int id) const {
        return qobject_cast<QAbstractButton*>(page_->GetDlgItem(id));
    }
    bool Enabled(int id) const { return page_->GetDlgItem(id)->isEnabled(); }
    QTreeWidget* Tree() const { return page_->List()->Widget(); }
    QWidget* Viewport() const { return Tree()->viewport(); }

    void ClickAt(const QPoint& pos) { QTest::mouseClick(Viewport(), Qt::LeftButton, {}, pos); }
    void ClickBox(int row) { ClickAt(page_->List()->StateImageRect(row).center()); }
    void ClickText(int row) {
        const QRect box = page_->List()->StateImageRect(row);
        ClickAt(QPoint(box.right() + 12, box.center().y()));
    }
    void ClickColumn(int row, int column) {
        const QRect box = page_->List()->StateImageRect(row);
        ClickAt(QPoint(Tree()->header()->sectionViewportPosition(column) + 6, box.center().y()));
    }

    // Presses "&Add" and fills the dialog; `ok` presses OK, otherwise Cancel.
    void AddThroughDialog(const std::string& desc, const std::string& from, const std::string& to,
                          bool ok = true) {
        OnNextDialog([=](QDialog* d) {
            EditOf(d, IDC_ITEM_DESCRIPTION)->setText(QString::fromStdString(desc));
            EditOf(d, IDC_FROM)->setText(QString::fromStdString(from));
            EditOf(d, IDC_TO)->setText(QString::fromStdString(to));
            Press(d, ok ? IDC_ITEM_OK : IDCANCEL);
        });
        Button(IDC_BATCH_ADD)->click();
    }

    BatchItem Row(int row) const {
        BatchItem item;
        page_->GetRow(row, &item);
        return item;
    }

    CJobQueue queue_;
    std::unique_ptr<SettingsStore> store_;
    std::unique_ptr<CVelSheet> sheet_;
    std::unique_ptr<CPageLog> log_;
    std::unique_ptr<CPageBatch> page_;
};

}  // namespace tandrel
