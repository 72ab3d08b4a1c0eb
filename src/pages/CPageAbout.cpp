#include "CPageAbout.h"

#include <QLabel>
#include <QVBoxLayout>

#include "Controls.h"

#include "ResourceIds.h"
#include "TandrelVersion.h"

namespace tandrel {

CPageAbout::CPageAbout(QWidget* parent)
    : CSheetPage(IDD_PAGE_ABOUT, QT_TRANSLATE_NOOP("CSheetPage", "About"), parent) {
    setObjectName("pageAbout");
}

CPageAbout::~CPageAbout() = default;

void CPageAbout::BuildControls() {
    QLabel* credit = MakeLabel(this, tr("Designed and developed by Halvory"), "aboutCredit");
    QLabel* version = MakeLabel(this, tr("Tandrel Version %1").arg(QStringLiteral(TANDREL_VERSION)),
                                "aboutPageVersion");
    QWidget* rule = MakeRule(this, "aboutRule");
    QLabel* rights =
        MakeLabel(this, QStringLiteral("Copyright \u00a9 2026 Halvory"), "aboutRights");
    // The link's place; the link takes it over on the first load.
    QLabel* link = MakeLabel(this, tr("Visit Halvory's Homepage"), "aboutLink",
                             Qt::AlignHCenter | Qt::AlignTop);
    link->setProperty("controlId", IDC_LINK);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(kPageMarginX, kPageMarginY, kPageMarginX, kPageMarginY);
    page->setSpacing(0);
    page->addWidget(version);
    page->addSpacing(14);
    page->addWidget(rule);
    page->addSpacing(34);
    page->addWidget(rights);
    page->addSpacing(22);
    page->addWidget(credit);
    page->addStretch(1);
    page->addWidget(link, 0, Qt::AlignHCenter);
    page->addSpacing(14);
}

void CPageAbout::UpdateRunState(int /*running*/) {}

bool CPageAbout::OnInitDialog() {
    CSheetPage::OnInitDialog();
    m_link.SetTarget(QString::fromLatin1(kHomePage));
    m_link.SetUnderlined(true);
    return true;
}

void CPageAbout::DoDataExchange(bool /*save*/) {
    // The first load puts the link in the place of the label BuildControls made.
    if (!m_link.IsBound()) {
        m_link.Bind(qobject_cast<QLabel*>(GetDlgItem(IDC_LINK)));
    }
}

}  // namespace tandrel
