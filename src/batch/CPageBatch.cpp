#include "CPageBatch.h"

#include <QAbstractButton>
#include <QGridLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QTreeWidget>
#include <cstddef>
#include <vector>

#include "BatchItemRows.h"
#include "CBatchItemDlg.h"
#include "CBatchListCtrl.h"
#include "CFileChooser.h"
#include "CMessageBox.h"
#include "Controls.h"
#include "FieldText.h"
#include "ResourceIds.h"
#include "Translations.h"

namespace tandrel {

CPageBatch::CPageBatch(SettingsStore& store, CJobQueue& queue, QWidget* parent)
    : CSheetPage(IDD_PAGE_BATCH, QT_TRANSLATE_NOOP("CSheetPage", "Batch"), parent),
      m_settings(store),
      m_store(store),
      m_queue(queue) {
    setObjectName("pageBatch");
    m_bLoaded = m_store.Load(&m_items).ok();
    m_nStored = m_items.size();
}

CPageBatch::~CPageBatch() {
    SaveOnDestroy();
}

QString CPageBatch::WriteSettings(bool closing) {
    return SaveList(closing);
}

QString CPageBatch::SaveList(bool closing) {
    // Over a list that could not be read, rows are appended once, at the close; a write soon
    // after each change could not be told from the earlier ones and would add them again.
    if (!m_bLoaded && (!closing || m_bAppended)) {
        return {};
    }
    Status status;
    if (HasWindow() && m_list && m_bLoaded) {
        BatchListStore::ColumnWidths widths{};
        for (int c = 0; c < BatchListStore::kColumnCount; ++c) {
            widths[static_cast<size_t>(c)] = m_list->ColumnWidth(c);
        }
        status = m_store.Save(*this, widths);
    } else if (!(HasWindow() && m_list) && m_bStoredChanged) {
        // Stored entries were removed or changed while the page was hidden: the whole list
        // goes back, the widths as they were.
        status =
            m_store.Replace(BatchItemRows(std::vector<BatchItem>(m_items.begin(), m_items.end())));
    } else {
        // Rows of a page that was shown over a list that could not be read, or entries added
        // to a page that never was: they go after the stored list (saving over a list that
        // could not be read would lose it), all of them or none.
        std::vector<BatchItem> added;
        if (HasWindow() && m_list) {
            for (int r = 0; r < GetRowCount(); ++r) {
                GetRow(r, &added.emplace_back());
            }
        } else {
            added.assign(m_items.begin() + static_cast<std::ptrdiff_t>(m_nStored), m_items.end());
        }
        if (!added.empty()) {
            status = m_settings.Write([&] {
                for (const BatchItem& item : added) {
                    if (Status s = m_store.Append(item); !s.ok()) {
                        return s;
                    }
                }
                return Status::Ok();
            });
        }
        if (status.ok()) {
            // Stored now: the next write of a hidden page appends only what comes after.
            m_nStored = m_items.size();
            m_bAppended = !m_bLoaded && HasWindow() && !added.empty();
        }
    }
    if (status.ok()) {
        return {};
    }
    return tr("The batch list could not be saved (%1). The list saved before stays as it was.")
        .arg(ShownText(status.ToString()));
}

void CPageBatch::UpdateRunState(int running) {
    EnableDlgItem(IDC_GO, running == 0 && HasCheckedRow());
    EnableDlgItem(IDC_PREVIEW, running == 0 && HasCheckedRow());
}

void CPageBatch::UpdateGo() {
    UpdateRunState(m_queue.m_bRunning ? 1 : 0);
}

bool CPageBatch::HasCheckedRow() const {
    for (int row = 0; m_list && row < m_list->GetItemCount(); ++row) {
        if (m_list->GetCheck(row)) {
            return true;
        }
    }
    return false;
}

void CPageBatch::AddItem(const std::string& description, const std::string& from,
                         const std::string& to, int check, const std::vector<std::string>& exclude,
                         bool includeHidden) {
    BatchItem item;
    item.strDescription = description;
    item.strFrom = from;
    item.strTo = to;
    item.listExclude = exclude;
    item.bIncludeHidden = includeHidden;
    item.nCheck = static_cast<BatchCheckState>(check);
    if (HasWindow()) {
        InsertRow(item);
    } else {
        m_items.push_back(std::move(item));
        NoteChange();
    }
}

void CPageBatch::InsertRow(const BatchItem& item) {
    if (!HasWindow() || !m_list) {
        return;
    }
    m_list->InsertItem(item);
    UpdateGo();
}

void CPageBatch::SetRow(int row, const BatchItem& item) {
    if (HasWindow() && m_list) {
        m_list->SetItem(row, item);
        UpdateGo();
    }
}

int CPageBatch::GetRowCount() const {
    return m_list ? m_list->GetItemCount() : 0;
}

bool CPageBatch::GetRow(int row, BatchItem* item) const {
    if (!m_list) {
        return false;
    }
    m_list->GetItem(row, item);
    return item->nCheck == kBatchChecked;
}

void CPageBatch::BuildControls() {
    // Made in tab order; placed by the layouts below.
    QWidget* add = MakeButton(this, IDC_BATCH_ADD, tr("&Add"), "batchAdd");
    QWidget* edit = MakeButton(this, IDC_BATCH_EDIT, tr("&Edit"), "batchEdit");
    QWidget* remove = MakeButton(this, IDC_BATCH_REMOVE, tr("&Remove"), "batchRemove");
    QWidget* go = MakeButton(this, IDC_GO, tr("&Go"), "batchGo");
    QWidget* preview = MakeButton(this, IDC_PREVIEW, tr("&Preview"), "batchPreview");
    QWidget* keep = MakeRadio(this, IDC_KEEP, tr("Keep"), "batchKeep");
    QWidget* del = MakeRadio(this, IDC_DELETE, tr("Delete"), "batchDelete");
    QWidget* move = MakeRadio(this, IDC_MOVE, tr("Move"), "batchMove");
    QWidget* recycle = MakeEdit(this, IDC_RECYCLE, "batchRecycle");
    QWidget* browse = MakeBrowseButton(this, IDC_RECYCLE_BROWSE, "batchRecycleBrowse");
    QWidget* list = MakeList(this, IDC_BATCH_LIST, "batchList");
    SameWidth({add, edit, remove, go, preview});
    list->setAccessibleName(tr("Batch list"));
    recycle->setAccessibleName(tr("Recycle directory"));
    browse->setAccessibleName(tr("Browse for the recycle directory"));
    SetTabChain({list, add, edit, remove, go, preview, keep, del, move, recycle, browse});

    // The list takes the room the window gives; the buttons keep their size in a column at its
    // right, the run's settings at its foot: "Move" beside the recycle field it uses.
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(6);
    buttons->addWidget(add);
    buttons->addWidget(edit);
    buttons->addWidget(remove);
    buttons->addSpacing(4);
    buttons->addWidget(MakeRule(this, "batchLine1"));
    buttons->addWidget(go);
    buttons->addWidget(preview);
    buttons->addWidget(MakeRule(this, "batchLine2"));
    buttons->addStretch(1);
    buttons->addWidget(keep);
    buttons->addWidget(del);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(kPageMarginX, kPageMarginY, kPageMarginX, kPageMarginY);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    grid->addWidget(list, 0, 0);
    grid->addLayout(buttons, 0, 1);
    grid->addLayout(FieldRow(recycle, browse), 1, 0);
    grid->addWidget(move, 1, 1);
    grid->setRowStretch(0, 1);
    grid->setColumnStretch(0, 1);
}

bool CPageBatch::OnInitDialog() {
    CSheetPage::OnInitDialog();
    auto* tree = qobject_cast<QTreeWidget*>(GetDlgItem(IDC_BATCH_LIST));
    if (tree == nullptr) {
        return true;
    }
    m_list = std::make_unique<CBatchListCtrl>(tree);
    m_list->SetUpColumns([this](int column, int defaultWidth) {
        return m_store.ReadColumnWidth(column, defaultWidth);
    });
    connect(m_list.get(), &CBatchListCtrl::Clicked, this, &CPageBatch::OnListClick);
    connect(m_list.get(), &CBatchListCtrl::DoubleClicked, this, [this](int) { OnEdit(); });
    connect(m_list.get(), &CBatchListCtrl::SelectionChanged, this, &CPageBatch::OnSelectionChanged);
    connect(m_list.get(), &CBatchListCtrl::ToggleRequested, this, [this](int row) {
        m_list->SetCheck(row, !m_list->GetCheck(row));
        UpdateGo();
    });

    SetUpActionRadios(m_nAction, [this](ExtraFileAction action) { m_nAction = action; });
    const std::pair<int, void (CPageBatch::*)()> buttons[] = {
        {IDC_RECYCLE_BROWSE, &CPageBatch::OnBrowseRecycle},
        {IDC_BATCH_ADD, &CPageBatch::OnAdd},
        {IDC_GO, &CPageBatch::OnGo},
        {IDC_PREVIEW, &CPageBatch::OnPreview},
        {IDC_BATCH_EDIT, &CPageBatch::OnEdit},
        {IDC_BATCH_REMOVE, &CPageBatch::OnRemove},
    };
    for (const auto& [id, handler] : buttons) {
        if (auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(id))) {
            connect(button, &QAbstractButton::clicked, this, handler);
        }
    }

    while (!m_items.empty()) {
        InsertRow(m_items.front());
        m_items.pop_front();
    }
    m_nStored = 0;
    // From here on every change to the rows, their check boxes or the columns is written soon.
    const auto changed = [this] { NoteChange(); };
    connect(tree->model(), &QAbstractItemModel::rowsInserted, this, changed);
    connect(tree->model(), &QAbstractItemModel::rowsRemoved, this, changed);
    connect(tree->model(), &QAbstractItemModel::dataChanged, this, changed);
    connect(tree->header(), &QHeaderView::sectionResized, this, changed);
    connect(tree->header(), &QHeaderView::sectionMoved, this, changed);
    UpdateGo();
    EnableDlgItem(IDC_BATCH_EDIT, false);
    EnableDlgItem(IDC_BATCH_REMOVE, false);
    return true;
}

void CPageBatch::DoDataExchange(bool save) {
    if (!save) {
        UpdateRunState(m_queue.m_bRunning ? 1 : 0);
    }
}

std::string CPageBatch::RecycleField() const {
    const auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(IDC_RECYCLE));
    return edit != nullptr ? FieldBytes(edit->text(), m_strRecycle) : m_strRecycle;
}

void CPageBatch::OnBrowseRecycle() {
    const std::optional<std::string> chosen = CFileChooser::BrowseForFolder(
        this, WindowString(IDS_TITLE_RECYCLE), AbsoluteFromHere(TrimBlanks(RecycleField())));
    if (!chosen) {
        return;
    }
    m_strRecycle = *chosen;
    if (auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(IDC_RECYCLE))) {
        edit->setText(ShownText(m_strRecycle));
    }
}

void CPageBatch::OnAdd() {
    BatchItem item;
    item.nCheck = kBatchChecked;
    CBatchItemDlg dialog(&item, true, window());
    if (dialog.DoModal() == QDialog::Accepted) {
        InsertRow(item);
    }
}

void CPageBatch::OnPreview() {
    StartJobs(RunKind::kPreview);
}

void CPageBatch::OnGo() {
    StartJobs(RunKind::kRun);
}

void CPageBatch::StartJobs(RunKind kind) {
    UpdateRunState(1);
    // Move takes the directory the field shows, typed or chosen, and only once it exists.
    std::string recycle;
    if (m_nAction == kActionMove) {
        recycle = AbsoluteFromHere(TrimBlanks(RecycleField()));
        const DirCheckResult result = CJobQueue::CheckDirectory(recycle, m_queue.GetFileSystem());
        if (result != kDirExists) {
            ShowDirectoryError(this, result, IDS_FIELD_RECYCLE);
            UpdateRunState(m_queue.m_bRunning ? 1 : 0);
            return;
        }
    }
    // Each checked row is queued as it is, from the last row up; a row the engine cannot run
    // (an empty directory, say) becomes a failed line of the run.
    // Each with its own filter; a stored pattern that cannot be used (written by hand) stops
    // the run before anything is queued.
    std::vector<std::pair<BatchItem, PathFilter>> jobs;
    for (int row = GetRowCount() - 1; row >= 0; --row) {
        BatchItem item;
        if (GetRow(row, &item)) {
            PathFilter filter;
            const Status compiled =
                PathFilter::Compile(item.listExclude, item.bIncludeHidden, &filter);
            if (!compiled.ok()) {
                CMessageBox::Show(
                    this,
                    tr("%1. Nothing was run.")
                        .arg(ShownText(item.strDescription + ": " + compiled.reason())),
                    CMessageBox::Icon::kError, CMessageBox::Buttons::kOk);
                UpdateRunState(m_queue.m_bRunning ? 1 : 0);
                return;
            }
            jobs.emplace_back(std::move(item), std::move(filter));
        }
    }
    for (auto& [item, filter] : jobs) {
        m_queue.AddJob(item.strFrom, item.strTo, 0, std::move(filter));
    }
    if (m_queue.StartRun(m_nAction, recycle, kind)) {
        emit RunStarted(static_cast<int>(kind));
    } else {
        // No worker took the run: drop what was queued so it is not run twice later.
        std::string source;
        std::string dest;
        int flag = 0;
        while (m_queue.GetNextJob(&source, &dest, &flag) == kJobTaken) {
        }
        m_queue.m_bRunning = false;
        UpdateRunState(0);
    }
}

void CPageBatch::OnEdit() {
    if (m_nSelected == -1 || m_nSelected >= GetRowCount()) {
        return;
    }
    const int row = m_nSelected;
    BatchItem item;
    item.nCheck = kBatchChecked;
    GetRow(row, &item);
    CBatchItemDlg dialog(&item, false, window());
    if (dialog.DoModal() == QDialog::Accepted) {
        SetRow(row, item);
    }
}

void CPageBatch::OnRemove() {
    if (!m_list) {
        return;
    }
    const int row = m_list->GetSelectedItem();
    if (row < 0) {
        return;
    }
    if (CMessageBox::Show(this, WindowString(IDS_CONFIRM_REMOVE), CMessageBox::Icon::kWarning,
                          CMessageBox::Buttons::kOkCancel) != CMessageBox::Answer::kOk) {
        return;
    }
    // Nothing stays selected, so that Edit can never open a row the user did not choose.
    m_list->ClearSelection();
    m_list->DeleteItem(row);
    m_list->ClearSelection();
    m_nSelected = -1;
    EnableEditButtons();
    UpdateGo();
}

void CPageBatch::OnListClick(int row, int column, QPoint pos) {
    if (row == -1 || column != 0 || !m_list) {
        return;
    }
    if (m_list->HitTestStateImage(pos) != row) {
        return;
    }
    m_list->SetCheck(row, !m_list->GetCheck(row));
    UpdateGo();
}

void CPageBatch::OnSelectionChanged() {
    m_nSelected = m_list ? m_list->GetSelectedItem() : -1;
    EnableEditButtons();
}

void CPageBatch::EnableEditButtons() {
    EnableDlgItem(IDC_BATCH_EDIT, m_nSelected != -1);
    EnableDlgItem(IDC_BATCH_REMOVE, m_nSelected != -1);
}

int CPageBatch::EntryCount() const {
    return m_list ? GetRowCount() : static_cast<int>(m_items.size());
}

bool CPageBatch::GetEntry(int index, BatchItem* item) const {
    if (index < 0 || index >= EntryCount()) {
        return false;
    }
    if (m_list) {
        GetRow(index, item);
    } else {
        *item = m_items[static_cast<size_t>(index)];
    }
    return true;
}

void CPageBatch::RemoveEntry(int index) {
    if (index < 0 || index >= EntryCount()) {
        return;
    }
    if (!m_list) {
        if (static_cast<size_t>(index) < m_nStored) {
            --m_nStored;
            m_bStoredChanged = true;
        }
        m_items.erase(m_items.begin() + index);
        NoteChange();
        return;
    }
    m_list->DeleteItem(index);
    UpdateGo();
    // The rows below moved up: the selection is found again rather than counted.
    m_nSelected = m_list->GetSelectedItem();
    EnableEditButtons();
}

void CPageBatch::SetEntryCheck(int index, BatchCheckState check) {
    if (index < 0 || index >= EntryCount()) {
        return;
    }
    if (!m_list) {
        m_items[static_cast<size_t>(index)].nCheck = check;
        m_bStoredChanged = m_bStoredChanged || static_cast<size_t>(index) < m_nStored;
        NoteChange();
        return;
    }
    m_list->SetCheck(index, check == kBatchChecked);
    UpdateGo();
}

}  // namespace tandrel
