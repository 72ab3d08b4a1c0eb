#include "CPageLog.h"

#include <QVBoxLayout>

#include "ResourceIds.h"

namespace tandrel {

namespace {
constexpr int kInset = 7;
}  // namespace

CPageLog::CPageLog(QWidget* parent)
    : CSheetPage(IDD_PAGE_STATUS, QT_TRANSLATE_NOOP("CSheetPage", "Status"), parent), m_view(this) {
    setObjectName("pageStatus");
    m_view.setAccessibleName(tr("Status"));
}

CPageLog::~CPageLog() = default;

void CPageLog::AddLine(std::string_view line) {
    m_view.AddLine(line);
}

void CPageLog::UpdateRunState(int /*running*/) {}

void CPageLog::BuildControls() {
    // The view fills the page, 7 pixels in from its edges, and grows with the window.
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(kInset, kInset, kInset, kInset);
    page->addWidget(&m_view);
}

bool CPageLog::OnInitDialog() {
    CSheetPage::OnInitDialog();
    m_view.Create(rect().adjusted(kInset, kInset, -kInset, -kInset), IDC_COLORVIEW);
    layout()->activate();
    m_view.setFocus();
    return true;
}

}  // namespace tandrel
