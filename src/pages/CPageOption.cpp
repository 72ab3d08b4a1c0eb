#include "CPageOption.h"

#include <unistd.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "CFileChooser.h"
#include "Controls.h"
#include "CurrentDirectory.h"
#include "FieldText.h"
#include "ResourceIds.h"

namespace tandrel {
namespace {

constexpr const char* kSection = "";
constexpr const char* kNameEntry = "LogFileName";
constexpr const char* kEnabledEntry = "BoolLogFile";
constexpr const char* kDefaultName = "log.txt";
constexpr const char* kAskEntry = "BoolAskBeforeDeleting";
constexpr const char* kAskAboveEntry = "AskAboveEntries";
constexpr int kDefaultAskAbove = 50;
constexpr int kMaxAskAbove = 1000000000;

}  // namespace

CPageOption::CPageOption(Profile& profile, CJobQueue& queue, QWidget* parent)
    : CSheetPage(IDD_PAGE_OPTION, QT_TRANSLATE_NOOP("CSheetPage", "Option"), parent),
      m_profile(profile),
      m_queue(queue) {
    setObjectName("pageOption");
    m_strLogFile = m_profile.GetProfileString(kSection, kNameEntry, kDefaultName);
    m_bLogFile = m_profile.GetProfileInt(kSection, kEnabledEntry, 0) != 0 ? 1 : 0;
    m_queue.m_strLogFileName = m_strLogFile;
    m_queue.m_bLogEnabled = m_bLogFile != 0;
    // A store written before this setting existed reads as the default.
    m_bAsk = m_profile.GetProfileInt(kSection, kAskEntry, 1) != 0 ? 1 : 0;
    m_nAskAbove = std::clamp(m_profile.GetProfileInt(kSection, kAskAboveEntry, kDefaultAskAbove), 1,
                             kMaxAskAbove);
    m_queue.m_nAskAbove = m_bAsk != 0 ? m_nAskAbove : 0;
}

CPageOption::~CPageOption() {
    SaveOnDestroy();
}

QString CPageOption::WriteSettings(bool /*closing*/) {
    if (!HasWindow()) {
        return {};
    }
    UpdateData(true);
    const Status status = m_profile.store().Write([&] {
        if (Status s = m_profile.WriteProfileString(kSection, kNameEntry, m_strLogFile); !s.ok()) {
            return s;
        }
        if (Status s = m_profile.WriteProfileInt(kSection, kEnabledEntry, m_bLogFile); !s.ok()) {
            return s;
        }
        if (Status s = m_profile.WriteProfileInt(kSection, kAskEntry, m_bAsk); !s.ok()) {
            return s;
        }
        return m_profile.WriteProfileInt(kSection, kAskAboveEntry, m_nAskAbove);
    });
    if (status.ok()) {
        return {};
    }
    return tr("The log file settings could not be saved (%1). The settings saved before stay "
              "as they were.")
        .arg(ShownText(status.ToString()));
}

void CPageOption::UpdateRunState(int running) {
    EnableDlgItem(IDC_LOG_ENABLE, running == 0);
    EnableDlgItem(IDC_LOG_FILE, running == 0 && m_bLogFile != 0);
    EnableDlgItem(IDC_LOG_BROWSE, running == 0 && m_bLogFile != 0);
    EnableDlgItem(IDC_ASK_ENABLE, running == 0);
    EnableDlgItem(IDC_ASK_LIMIT, running == 0 && m_bAsk != 0);
}

void CPageOption::BuildControls() {
    // Made in tab order; placed by the layout below.
    QWidget* recycle = MakeEdit(this, IDC_DEFAULT_RECYCLE, "optionRecycle");
    QWidget* recycleBrowse =
        MakeBrowseButton(this, IDC_DEFAULT_RECYCLE_BROWSE, "optionRecycleBrowse");
    QLabel* recycleLabel = MakeLabel(this, tr("Default Directory of Recycle bin"),
                                     "optionRecycleLabel", Qt::AlignLeft | Qt::AlignBottom);
    QWidget* logEnable = MakeCheckBox(this, IDC_LOG_ENABLE, tr("&Log File"), "optionLogEnable");
    QWidget* logFile = MakeEdit(this, IDC_LOG_FILE, "optionLogFile");
    QWidget* logBrowse = MakeBrowseButton(this, IDC_LOG_BROWSE, "optionLogBrowse");
    QWidget* ask = MakeCheckBox(this, IDC_ASK_ENABLE,
                                tr("&Ask before deleting or moving more than"), "optionAskEnable");
    auto* askLimit = new QSpinBox(this);
    askLimit->setObjectName("optionAskLimit");
    askLimit->setProperty("controlId", IDC_ASK_LIMIT);
    askLimit->setRange(1, kMaxAskAbove);
    QWidget* askTail = MakeLabel(this, tr("entries in one job"), "optionAskLabel");
    // The default recycle directory is shown but not used.
    recycle->setEnabled(false);
    recycleBrowse->setEnabled(false);
    SetBuddy(recycleLabel, recycle);
    logFile->setAccessibleName(tr("Log file"));
    logBrowse->setAccessibleName(tr("Browse for the log file"));
    recycleBrowse->setAccessibleName(tr("Browse for the default recycle directory"));
    askLimit->setAccessibleName(tr("Entries in one job to ask above"));
    SetTabChain({logEnable, logFile, logBrowse, recycle, recycleBrowse, ask, askLimit});

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(kPageMarginX, kPageMarginY, kPageMarginX, kPageMarginY);
    page->setSpacing(6);
    page->addWidget(logEnable, 0, Qt::AlignLeft);
    page->addLayout(FieldRow(logFile, logBrowse));
    page->addSpacing(14);
    page->addWidget(recycleLabel);
    page->addLayout(FieldRow(recycle, recycleBrowse));
    page->addSpacing(14);
    page->addWidget(ask, 0, Qt::AlignLeft);
    auto* askRow = new QHBoxLayout;
    askRow->addSpacing(20);
    askRow->addWidget(askLimit);
    askRow->addWidget(askTail);
    askRow->addStretch(1);
    page->addLayout(askRow);
    page->addStretch(1);
}

bool CPageOption::OnInitDialog() {
    CSheetPage::OnInitDialog();
    if (m_bLogFile == 0) {
        EnableDlgItem(IDC_LOG_FILE, false);
    }
    if (auto* box = qobject_cast<QAbstractButton*>(GetDlgItem(IDC_LOG_ENABLE))) {
        connect(box, &QAbstractButton::clicked, this, &CPageOption::OnLogEnable);
    }
    if (auto* browse = qobject_cast<QAbstractButton*>(GetDlgItem(IDC_LOG_BROWSE))) {
        connect(browse, &QAbstractButton::clicked, this, &CPageOption::OnBrowseLog);
    }
    if (auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(IDC_LOG_FILE))) {
        connect(edit, &QLineEdit::textEdited, this, [this] { NoteChange(); });
    }
    if (auto* ask = qobject_cast<QAbstractButton*>(GetDlgItem(IDC_ASK_ENABLE))) {
        connect(ask, &QAbstractButton::clicked, this, &CPageOption::OnAskChanged);
    }
    if (auto* limit = qobject_cast<QSpinBox*>(GetDlgItem(IDC_ASK_LIMIT))) {
        connect(limit, &QSpinBox::valueChanged, this, &CPageOption::OnAskChanged);
    }
    return true;
}

void CPageOption::DoDataExchange(bool save) {
    auto* edit = qobject_cast<QLineEdit*>(GetDlgItem(IDC_LOG_FILE));
    auto* box = qobject_cast<QAbstractButton*>(GetDlgItem(IDC_LOG_ENABLE));
    if (save) {
        if (edit != nullptr) {
            m_strLogFile = FieldBytes(edit->text(), m_strLogFile);
        }
        if (box != nullptr) {
            m_bLogFile = box->isChecked() ? 1 : 0;
        }
        if (auto* ask = qobject_cast<QAbstractButton*>(GetDlgItem(IDC_ASK_ENABLE))) {
            m_bAsk = ask->isChecked() ? 1 : 0;
        }
        if (auto* limit = qobject_cast<QSpinBox*>(GetDlgItem(IDC_ASK_LIMIT))) {
            m_nAskAbove = limit->value();
        }
        return;
    }
    if (auto* ask = qobject_cast<QAbstractButton*>(GetDlgItem(IDC_ASK_ENABLE))) {
        ask->setChecked(m_bAsk != 0);
    }
    if (auto* limit = qobject_cast<QSpinBox*>(GetDlgItem(IDC_ASK_LIMIT))) {
        const QSignalBlocker block(limit);
        limit->setValue(m_nAskAbove);
    }
    if (edit != nullptr) {
        edit->setText(ShownText(m_strLogFile));
    }
    if (box != nullptr) {
        box->setChecked(m_bLogFile != 0);
    }
    UpdateRunState(m_queue.m_bRunning ? 1 : 0);
}

void CPageOption::OnLogEnable() {
    UpdateData(true);
    // Only while no run is going (the box is disabled during one), so the worker is not
    // reading these.
    m_queue.m_bLogEnabled = m_bLogFile != 0;
    if (m_bLogFile != 0) {
        m_queue.m_strLogFileName = m_strLogFile;
    }
    EnableDlgItem(IDC_LOG_FILE, m_bLogFile != 0);
    EnableDlgItem(IDC_LOG_BROWSE, m_bLogFile != 0);
    NoteChange();
}

void CPageOption::OnAskChanged() {
    if (m_queue.m_bRunning) {
        return;  // the controls are disabled during a run; the page is only being filled
    }
    UpdateData(true);
    m_queue.m_nAskAbove = m_bAsk != 0 ? m_nAskAbove : 0;
    EnableDlgItem(IDC_ASK_LIMIT, m_bAsk != 0);
    NoteChange();
}

void CPageOption::OnBrowseLog() {
    UpdateData(true);
    // The chooser opens where the current name lies; that directory stays the current one,
    // also when the chooser is cancelled.
    const size_t slash = m_strLogFile.rfind('/');
    if (slash != std::string::npos) {
        const std::string dir = m_strLogFile.substr(0, slash + 1);
        [[maybe_unused]] const int changed = chdir(dir.c_str());
    }
    const std::optional<std::string> chosen =
        CFileChooser::SaveFileName(this, tr("Save As"), CurrentDirectory(), QString());
    if (!chosen) {
        return;
    }
    m_strLogFile = *chosen;
    UpdateData(false);
    NoteChange();
}

}  // namespace tandrel
