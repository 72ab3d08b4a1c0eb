#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "BatchItem.h"
#include "BatchListStore.h"
#include "CJobQueue.h"
#include "CSheetPage.h"
#include "IBatchRows.h"

namespace tandrel {

class CBatchListCtrl;

// The Batch page, the second tab: a list of named jobs with check boxes. "&Go" queues every
// checked row, from the last row up, and starts one run with the extra-file action of the
// radio buttons Keep, Delete and Move and, for Move, the recycle directory in the field below
// the list. "&Add", "&Edit" (or a double click) and "&Remove" change the list; a click on a
// row's box toggles it, a click anywhere else on the row only selects it.
//
// The list is read from the settings store when the page is constructed and written back
// within half a second of each change, at the close and when the page is destroyed: all rows
// and the column widths when the page was shown, otherwise only the entries added to it while
// it was hidden (nothing when there were none). Over a list that could not be read, the rows
// are appended to it once, at the close. A save that fails leaves the stored list as it was
// and is told once (see CSheetPage).
//
// "&Preview" queues the same rows with the same action as a preview (RunKind::kPreview) and
// is enabled exactly when "&Go" is.
// "&Go" is enabled exactly while the list holds a checked row and no run is going (from its press
// until the sheet reports the end, or until the page is next shown after the end): every change
// of the rows, their boxes or the page's activation looks again. "&Edit" and "&Remove" are
// enabled only while a row is selected.
//
// Window thread only. `store` and `queue` must outlive the page.
class CPageBatch : public CSheetPage, public IBatchRows {
    Q_OBJECT

  public:
    explicit CPageBatch(SettingsStore& store, CJobQueue& queue = theJobQueue,
                        QWidget* parent = nullptr);
    ~CPageBatch() override;

    // Disables "&Go" while `running`; otherwise enables it when a row is checked.
    void UpdateRunState(int running) override;

    // Adds an entry at the bottom of the list. Before the page was first shown the entry
    // waits and becomes a row then; either way it is saved within a second.
    void AddItem(const std::string& description, const std::string& from, const std::string& to,
                 int check, const std::vector<std::string>& exclude = {},
                 bool includeHidden = false);
    // The list's entries in order, counted from 0: the rows once the page has its window, the
    // entries waiting for it before. For changes handed over from outside the window, which
    // work either way and are saved at shutdown like any other.
    int EntryCount() const;
    bool GetEntry(int index, BatchItem* item) const;
    void RemoveEntry(int index);
    void SetEntryCheck(int index, BatchCheckState check);
    // Whether the stored list could be read when the page was made (when it could not, the
    // entries shown are only those added since, and stored ones cannot be named by position).
    bool StoredListRead() const { return m_bLoaded; }

    // Appends a row for `item` (nothing before the page has its window).
    void InsertRow(const BatchItem& item);
    // Replaces row `row` (nothing before the page has its window).
    void SetRow(int row, const BatchItem& item);

    // IBatchRows: the rows of the list (none before the page has its window).
    int GetRowCount() const override;
    bool GetRow(int row, BatchItem* item) const override;

    // The selected row, or -1.
    int SelectedRow() const { return m_nSelected; }
    // Entries waiting for the page's window.
    const std::deque<BatchItem>& StagedItems() const { return m_items; }
    // The list control, once the page has its window.
    CBatchListCtrl* List() const { return m_list.get(); }

  protected:
    void BuildControls() override;
    bool OnInitDialog() override;
    void DoDataExchange(bool save) override;
    QString WriteSettings(bool closing) override;

  private:
    void OnBrowseRecycle();
    void OnAdd();
    void OnGo();
    void OnPreview();
    // Queues the checked rows and starts them as a run or a preview (same jobs, same action).
    void StartJobs(RunKind kind);
    void OnEdit();
    void OnRemove();
    void OnListClick(int row, int column, QPoint pos);
    void OnSelectionChanged();
    void EnableEditButtons();
    // Enables "&Go" when a row is checked and no run is going, disables it otherwise.
    void UpdateGo();
    bool HasCheckedRow() const;
    // What the recycle field holds, as bytes.
    std::string RecycleField() const;
    // Writes the list back; see the class comment. Returns the text of a failure, or empty.
    QString SaveList(bool closing);

    SettingsStore& m_settings;
    BatchListStore m_store;
    CJobQueue& m_queue;
    std::deque<BatchItem> m_items;
    // How many of m_items came from the store; the rest were added while the page was hidden.
    size_t m_nStored = 0;
    // Whether one of those was removed or changed while the page was hidden.
    bool m_bStoredChanged = false;
    bool m_bLoaded = false;
    // The rows were appended to a list that could not be read.
    bool m_bAppended = false;
    ExtraFileAction m_nAction = kActionKeep;
    std::string m_strRecycle;
    int m_nSelected = -1;
    std::unique_ptr<CBatchListCtrl> m_list;
};

}  // namespace tandrel
