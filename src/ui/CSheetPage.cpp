#include "CSheetPage.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLayout>
#include <QTimer>

#include "CMessageBox.h"
#include "Controls.h"
#include "ResourceIds.h"

namespace tandrel {

namespace {

// How long after a change its write waits, to take the changes of a burst (a typed name, a
// column dragged wider) in one write. Changes in the meantime do not put it off further.
constexpr int kSaveDelayMs = 500;

}  // namespace

CSheetPage::CSheetPage(int pageId, const char* caption, QWidget* parent)
    : QWidget(parent),
      m_pageId(pageId),
      m_caption(QCoreApplication::translate("CSheetPage", caption)) {
    // A screen reader names the page as its tab does.
    setAccessibleName(m_caption);
}

CSheetPage::~CSheetPage() = default;

void CSheetPage::BuildControls() {}

void CSheetPage::Activate() {
    if (!m_built) {
        BuildControls();
        // Shown and placed now rather than at the next pass of the event loop, so that the
        // page is complete when OnInitDialog and the user's first key reach it.
        for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!child->testAttribute(Qt::WA_WState_ExplicitShowHide)) {
                child->show();
            }
        }
        if (layout() != nullptr) {
            layout()->activate();
        }
        m_built = true;
        OnInitDialog();
        return;
    }
    DoDataExchange(false);
}

void CSheetPage::Deactivate() {
    if (m_built) {
        DoDataExchange(true);
    }
}

bool CSheetPage::UpdateData(bool save) {
    if (!m_built) {
        return false;
    }
    DoDataExchange(save);
    return true;
}

QWidget* CSheetPage::GetDlgItem(int id) const {
    return m_built ? FindControl(this, id) : nullptr;
}

bool CSheetPage::OnInitDialog() {
    DoDataExchange(false);
    return true;
}

void CSheetPage::DoDataExchange(bool /*save*/) {}

void CSheetPage::NoteChange() {
    ++m_nChanges;
    if (m_saveTimer == nullptr) {
        m_saveTimer = new QTimer(this);
        m_saveTimer->setSingleShot(true);
        m_saveTimer->setInterval(kSaveDelayMs);
        // A failure here stays quiet: the change is written again at the next change and at
        // the close, where the user is told.
        connect(m_saveTimer, &QTimer::timeout, this, [this] { WriteSettings(false); });
    }
    if (!m_saveTimer->isActive()) {
        m_saveTimer->start();
    }
}

QString CSheetPage::SaveChanges() {
    if (m_saveTimer != nullptr) {
        m_saveTimer->stop();
    }
    return WriteSettings(true);
}

QString CSheetPage::WriteSettings(bool /*closing*/) {
    return {};
}

void CSheetPage::SaveOnDestroy() {
    const QString failure = SaveChanges();
    if (!failure.isEmpty() && !FailureTold()) {
        SetFailureTold();
        CMessageBox::Show(nullptr, failure, CMessageBox::Icon::kWarning, CMessageBox::Buttons::kOk);
    }
}

void CSheetPage::EnableDlgItem(int id, bool enable) {
    if (QWidget* control = GetDlgItem(id)) {
        control->setEnabled(enable);
    }
}

void CSheetPage::SetUpActionRadios(ExtraFileAction current,
                                   const std::function<void(ExtraFileAction)>& onChoose) {
    const auto show = [this](ExtraFileAction action) {
        EnableDlgItem(IDC_RECYCLE, action == kActionMove);
        EnableDlgItem(IDC_RECYCLE_BROWSE, action == kActionMove);
    };
    if (auto* radio =
            qobject_cast<QAbstractButton*>(GetDlgItem(IDC_KEEP + static_cast<int>(current)))) {
        radio->setChecked(true);
    }
    show(current);
    for (int action = kActionKeep; action <= kActionMove; ++action) {
        if (auto* radio = qobject_cast<QAbstractButton*>(GetDlgItem(IDC_KEEP + action))) {
            connect(radio, &QAbstractButton::toggled, this, [show, onChoose, action](bool on) {
                if (on) {
                    show(static_cast<ExtraFileAction>(action));
                    onChoose(static_cast<ExtraFileAction>(action));
                }
            });
        }
    }
}

}  // namespace tandrel
