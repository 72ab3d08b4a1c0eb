#include "CPageLog.h"

#include "ResourceIds.h"

namespace tandrel {

namespace {
constexpr int kInset = 7;
}  // namespace

CPageLog::CPageLog(QWidget* parent) : CSheetPage(IDD_PAGE_STATUS, parent), m_view(this) {
    setObjectName("pageStatus");
}

CPageLog::~CPageLog() = default;

void CPageLog::AddLine(std::string_view line) {
    m_view.AddLine(line);
}

void CPageLog::UpdateRunState(int /*running*/) {}

bool CPageLog::OnInitDialog() {
    CSheetPage::OnInitDialog();
    m_view.Create(ViewRect(), IDC_COLORVIEW);
    m_view.setFocus();
    return true;
}

QRect CPageLog::ViewRect() const {
    return rect().adjusted(kInset, kInset, -kInset, -kInset);
}

void CPageLog::resizeEvent(QResizeEvent* event) {
    CSheetPage::resizeEvent(event);
    // The tabs settle the page's size after the view was placed; keep the inset.
    if (HasWindow()) {
        m_view.setGeometry(ViewRect());
    }
}

}  // namespace tandrel
