#include "CPageAbout.h"

#include <QLabel>

#include "ResourceIds.h"

namespace tandrel {

CPageAbout::CPageAbout(QWidget* parent) : CSheetPage(IDD_PAGE_ABOUT, parent) {
    setObjectName("pageAbout");
}

CPageAbout::~CPageAbout() = default;

void CPageAbout::UpdateRunState(int /*running*/) {}

bool CPageAbout::OnInitDialog() {
    CSheetPage::OnInitDialog();
    m_link.SetTarget(QString::fromLatin1(kHomePage));
    m_link.SetUnderlined(true);
    return true;
}

void CPageAbout::DoDataExchange(bool /*save*/) {
    // The first load puts the link in the place of the label the template built.
    if (!m_link.IsBound()) {
        m_link.Bind(qobject_cast<QLabel*>(GetDlgItem(IDC_LINK)));
    }
}

}  // namespace tandrel
