#include "CPageQuick.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <utility>

#include "BatchListStore.h"
#include "CDescriptionDlg.h"
#include "CFileChooser.h"
#include "CMessageBox.h"
#include "CPageBatch.h"
#include "Controls.h"
#include "CurrentDirectory.h"
#include "FieldText.h"
#include "ResourceIds.h"
#include "Translations.h"

namespace tandrel {
namespace {

constexpr const char* kSection = "";
constexpr const char* kFromEntry = "From";
constexpr const char* kToEntry = "To";
constexpr const char* kRemoveEntry = "Remove";

}  // namespace

CPageQuick::CPageQuick(Profile& profile, CJobQueue& queue, QWidget* parent)
    : CSheetPage(IDD_PAGE_QUICK, QT_TRANSLATE_NOOP("CSheetPage", "Quick"), parent),
      m_profile(profile),
      m_queue(queue) {
    setObjectName("pageQuick");
    const std::string here = CurrentDirectory();
    m_strFrom = m_profile.GetProfileString(kSection, kFromEntry, here);
    m_strTo = m_profile.GetProfileString(kSection, kToEntry, here);
    m_strRecycle = m_profile.GetProfileString(kSection, kRemoveEntry, here);
    std::vector<std::string> patterns;
    BatchListStore::ReadQuickFilters(m_profile, &patterns, &m_bIncludeHidden);
    m_strExclude = PatternFieldText(patterns);
}

// The paths are stored by a GO that passed its checks, never at the end.
CPageQuick::~CPageQuick() = default;

void CPageQuick::UpdateRunState(int running) {
    EnableDlgItem(IDC_GO, running == 0);
    EnableDlgItem(IDC_PREVIEW, running == 0);
}

void CPageQuick::BuildControls() {
    // Made in tab order; placed by the layouts below.
    QWidget* from = MakeEdit(this, IDC_FROM, "quickFrom");
    QWidget* to = MakeEdit(this, IDC_TO, "quickTo");
    QWidget* recycle = MakeEdit(this, IDC_RECYCLE, "quickRecycle");
    QWidget* fromBrowse = MakeBrowseButton(this, IDC_FROM_BROWSE, "quickFromBrowse");
    QWidget* toBrowse = MakeBrowseButton(this, IDC_TO_BROWSE, "quickToBrowse");
    QWidget* recycleBrowse = MakeBrowseButton(this, IDC_RECYCLE_BROWSE, "quickRecycleBrowse");
    QWidget* go = MakeButton(this, IDC_GO, tr("&GO"), "quickGo");
    QWidget* preview = MakeButton(this, IDC_PREVIEW, tr("&Preview"), "quickPreview");
    QLabel* fromLabel =
        MakeLabel(this, tr("From"), "quickFromLabel", Qt::AlignRight | Qt::AlignVCenter);
    QLabel* toLabel = MakeLabel(this, tr("To"), "quickToLabel", Qt::AlignRight | Qt::AlignVCenter);
    QWidget* rule = MakeRule(this, "quickLine");
    QWidget* keep = MakeRadio(this, IDC_KEEP, tr("Keep not existent files"), "quickKeep");
    QWidget* del = MakeRadio(this, IDC_DELETE, tr("Delete not existent files"), "quickDelete");
    QWidget* move = MakeRadio(this, IDC_MOVE, tr("Move not existent files to..."), "quickMove");
    QWidget* addToBatch =
        MakeButton(this, IDC_ADD_TO_BATCH, tr("&Add to batch list"), "quickAddToBatch");
    QWidget* exclude = MakeEdit(this, IDC_EXCLUDE, "quickExclude");
    QWidget* hidden = MakeCheckBox(this, IDC_INCLUDE_HIDDEN,
                                   tr("&Include names beginning with '.'"), "quickIncludeHidden");
    QLabel* excludeLabel = MakeLabel(this, tr("E&xclude"), "quickExcludeLabel");
    SetBuddy(excludeLabel, exclude);
    exclude->setToolTip(
        tr("Names to leave out, separated by ';' (e.g. *.tmp; build/). "
           "Write \\; for a ';' inside a pattern."));
    SetBuddy(fromLabel, from);
    SetBuddy(toLabel, to);
    fromBrowse->setAccessibleName(tr("Browse for the source directory"));
    toBrowse->setAccessibleName(tr("Browse for the destination directory"));
    recycle->setAccessibleName(tr("Recycle directory"));
    recycleBrowse->setAccessibleName(tr("Browse for the recycle directory"));
    SetTabChain({from, fromBrowse, to, toBrowse, addToBatch, keep, del, move, exclude, hidden,
                 recycle, recycleBrowse, go, preview});
    go->setMinimumWidth(fontMetrics().averageCharWidth() * 14);

    // The two directories with their labels and "..."; "Add to batch list" under the right
    // end; a rule; the extra-file action and the recycle directory; GO centred below. The
    // fields take the width the window gives; the extra height goes below everything.
    auto* paths = new QGridLayout;
    paths->setHorizontalSpacing(8);
    paths->setVerticalSpacing(10);
    paths->addWidget(fromLabel, 0, 0);
    paths->addLayout(FieldRow(from, fromBrowse), 0, 1);
    paths->addWidget(toLabel, 1, 0);
    paths->addLayout(FieldRow(to, toBrowse), 1, 1);
    paths->setColumnStretch(1, 1);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(kPageMarginX, kPageMarginY, kPageMarginX, kPageMarginY);
    page->setSpacing(6);
    page->addLayout(paths);
    page->addWidget(addToBatch, 0, Qt::AlignRight);
    page->addSpacing(4);
    page->addWidget(rule);
    // The job's filters sit in the room beside the extra-file action, so that the page keeps
    // its height.
    auto* actions = new QVBoxLayout;
    actions->setSpacing(6);
    actions->addWidget(keep);
    actions->addWidget(del);
    actions->addWidget(move);
    auto* filters = new QGridLayout;
    filters->setHorizontalSpacing(8);
    filters->setVerticalSpacing(6);
    filters->addWidget(excludeLabel, 0, 0);
    filters->addWidget(exclude, 0, 1);
    filters->addWidget(hidden, 1, 0, 1, 2);
    filters->setColumnStretch(1, 1);
    filters->setRowStretch(2, 1);
    auto* beside = new QHBoxLayout;
    beside->setSpacing(16);
    beside->addLayout(actions);
    beside->addLayout(filters, 1);
    page->addLayout(beside);
    page->addSpacing(8);
    page->addLayout(FieldRow(recycle, recycleBrowse));
    page->addSpacing(6);
    auto* start = new QHBoxLayout;
    start->addStretch(1);
    start->addWidget(go);
    start->addWidget(preview);
    start->addStretch(1);
    page->addLayout(start);
    page->addStretch(1);
}

bool CPageQuick::OnInitDialog() {
    CSheetPage::OnInitDialog();
    SetUpActionRadios(m_nAction, [this](ExtraFileAction action) { m_nAction = action; });
    const std::pair<int, int> browsers[] = {
        {IDC_FROM_BROWSE, IDC_FROM},
        {IDC_TO_BROWSE, IDC_TO},
        {IDC_RECYCLE_BROWSE, IDC_RECYCLE},
    };
    for (const auto& [button, edit] : browsers) {
        const int title = edit == IDC_FROM ? IDS_TITLE_SOURCE
                          : edit == IDC_TO ? IDS_TITLE_DEST
                                           : IDS_TITLE_RECYCLE;
        if (auto* b = qobject_cast<QAbstractButton*>(GetDlgItem(button))) {
            connect(b, &QAbstractButton::clicked, this,
                    [this, edit, title] { OnBrowse(edit, title); });
        }
    }
    if (auto* go = qobject_cast<QAbstractButton*>(GetDlgItem(IDC_GO))) {
        connect(go, &QAbstractButton::clicked, this, [this] { OnGo(RunKind::kRun); });
    }
    if (auto* preview = qobject_cast<QAbstractButton*>(GetDlgItem(IDC_PREVIEW))) {
        connect(preview, &QAbstractButton::clicked, this, [this] { OnGo(RunKind::kPreview); });
    }
    if (auto* add = qobject_cast<QAbstractButton*>(GetDlgItem(IDC_ADD_TO_BATCH))) {
        connect(add, &QAbstractButton::clicked, this, &CPageQuick::OnAddToBatch);
    }
    return true;
}

void CPageQuick::DoDataExchange(bool save) {
    for (const int id : {IDC_FROM, IDC_TO, IDC_RECYCLE}) {
        auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(id));
        if (edit == nullptr) {
            continue;
        }
        std::string* member = MemberOf(id);
        if (save) {
            *member = FieldBytes(edit->text(), *member);
        } else {
            edit->setText(ShownText(*member));
        }
    }
    if (auto* exclude = qobject_cast<QLineEdit*>(GetDlgItem(IDC_EXCLUDE))) {
        if (save) {
            m_strExclude = FieldBytes(exclude->text(), m_strExclude);
        } else {
            exclude->setText(ShownText(m_strExclude));
        }
    }
    if (auto* hidden = qobject_cast<QCheckBox*>(GetDlgItem(IDC_INCLUDE_HIDDEN))) {
        if (save) {
            m_bIncludeHidden = hidden->isChecked();
        } else {
            hidden->setChecked(m_bIncludeHidden);
        }
    }
    if (!save) {
        UpdateRunState(m_queue.m_bRunning ? 1 : 0);
    }
}

std::string* CPageQuick::MemberOf(int editId) {
    return editId == IDC_FROM ? &m_strFrom : editId == IDC_TO ? &m_strTo : &m_strRecycle;
}

void CPageQuick::OnBrowse(int editId, int titleId) {
    auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(editId));
    if (edit == nullptr) {
        return;
    }
    std::string* member = MemberOf(editId);
    const std::optional<std::string> chosen = CFileChooser::BrowseForFolder(
        this, WindowString(titleId),
        AbsoluteFromHere(TrimBlanks(FieldBytes(edit->text(), *member))));
    if (!chosen) {
        return;
    }
    *member = *chosen;
    edit->setText(ShownText(*member));
}

bool CPageQuick::ReadAndCheck(JobPaths* paths) {
    UpdateData(true);
    // Taken from the current directory now: it may be another one by the time a stored path
    // is read back or a batch entry is run.
    paths->from = AbsoluteFromHere(TrimBlanks(m_strFrom));
    paths->to = AbsoluteFromHere(TrimBlanks(m_strTo));
    paths->recycle = AbsoluteFromHere(TrimBlanks(m_strRecycle));

    const std::pair<const std::string*, int> checks[] = {
        {&paths->from, IDS_FIELD_FROM},
        {&paths->to, IDS_FIELD_TO},
        {&paths->recycle, IDS_FIELD_RECYCLE},
    };
    for (const auto& [path, field] : checks) {
        if (field == IDS_FIELD_RECYCLE && m_nAction != kActionMove) {
            break;
        }
        const DirCheckResult result = CJobQueue::CheckDirectory(*path, m_queue.GetFileSystem());
        if (result != kDirExists) {
            ShowDirectoryError(this, result, field);
            return false;
        }
    }
    const Status compiled =
        PathFilter::Compile(FieldPatterns(m_strExclude), m_bIncludeHidden, &paths->filter);
    if (!compiled.ok()) {
        CMessageBox::Show(this, ShownText(compiled.reason() + "."), CMessageBox::Icon::kWarning,
                          CMessageBox::Buttons::kOk);
        return false;
    }
    return true;
}

void CPageQuick::OnGo(RunKind kind) {
    UpdateRunState(1);
    JobPaths paths;
    if (!ReadAndCheck(&paths)) {
        UpdateRunState(m_queue.m_bRunning ? 1 : 0);
        return;
    }
    m_queue.AddJob(paths.from, paths.to, 0, paths.filter);
    if (m_queue.StartRun(m_nAction, paths.recycle, kind)) {
        emit RunStarted(static_cast<int>(kind));
    } else {
        // No worker took the run: drop the queued job so it is not run twice later.
        std::string source;
        std::string dest;
        int flag = 0;
        while (m_queue.GetNextJob(&source, &dest, &flag) == kJobTaken) {
        }
        m_queue.m_bRunning = false;
        UpdateRunState(0);
    }
    // Remembered once the run is on its way: the write waits for the disk, the run need not
    // (the worker never reads the store). A preview changes nothing, the remembered paths
    // included.
    const Status stored = kind == RunKind::kRun ? StorePaths(paths) : Status::Ok();
    // Told after the run has started, so that the box does not hold it up.
    if (!stored.ok() && !m_bToldStoreFailure) {
        m_bToldStoreFailure = true;
        CMessageBox::Show(this,
                          tr("The directories could not be remembered for the next "
                             "start (%1). The job runs all the same.")
                              .arg(ShownText(stored.ToString())),
                          CMessageBox::Icon::kWarning, CMessageBox::Buttons::kOk);
    }
}

Status CPageQuick::StorePaths(const JobPaths& paths) {
    // All or none, so that a later start never pairs a new source with an old destination or
    // another job's filters.
    return m_profile.store().Write([&] {
        const std::pair<const char*, const std::string*> values[] = {
            {kFromEntry, &paths.from},
            {kToEntry, &paths.to},
            {kRemoveEntry, &paths.recycle},
        };
        for (const auto& [entry, value] : values) {
            if (Status s = m_profile.WriteProfileString(kSection, entry, *value); !s.ok()) {
                return s;
            }
        }
        return BatchListStore::WriteQuickFilters(m_profile, paths.filter.Patterns(),
                                                 paths.filter.IncludesHidden());
    });
}

void CPageQuick::OnAddToBatch() {
    CDescriptionDlg dialog;
    if (dialog.DoModal() != QDialog::Accepted) {
        return;
    }
    JobPaths paths;
    if (!ReadAndCheck(&paths)) {
        return;
    }
    if (m_queue.m_pPageBatch != nullptr) {
        m_queue.m_pPageBatch->AddItem(dialog.m_strDescription, paths.from, paths.to, kBatchChecked,
                                      paths.filter.Patterns(), paths.filter.IncludesHidden());
    }
}

}  // namespace tandrel
