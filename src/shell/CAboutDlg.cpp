#include "CAboutDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "AppImages.h"
#include "Controls.h"
#include "ResourceIds.h"
#include "TandrelVersion.h"

namespace tandrel {

CAboutDlg::CAboutDlg(QWidget* parent) : CModalDialog(tr("About Tandrel"), parent) {
    setObjectName("aboutBox");
    QLabel* icon = MakeLabel(this, QString(), "aboutIcon", Qt::AlignLeft | Qt::AlignTop);
    icon->setPixmap(LoadIconPixmap(IDI_TANDREL));
    QLabel* version = MakeLabel(this, tr("Tandrel Version %1").arg(QStringLiteral(TANDREL_VERSION)),
                                "aboutVersion", Qt::AlignLeft | Qt::AlignTop);
    QWidget* ok = MakeButton(this, IDOK, tr("OK"), "ok", true);

    // The icon at the left, the version beside it, OK in the top right corner.
    auto* iconColumn = new QVBoxLayout;
    iconColumn->addSpacing(14);
    iconColumn->addWidget(icon);
    iconColumn->addStretch(1);
    auto* textColumn = new QVBoxLayout;
    textColumn->addSpacing(6);
    textColumn->addWidget(version);
    textColumn->addStretch(1);
    auto* okColumn = new QVBoxLayout;
    okColumn->addWidget(ok);
    okColumn->addStretch(1);
    auto* box = new QHBoxLayout(this);
    box->setContentsMargins(22, 12, 14, 14);
    box->setSpacing(18);
    box->addLayout(iconColumn);
    box->addLayout(textColumn, 1);
    box->addLayout(okColumn);
    setMinimumWidth(fontMetrics().averageCharWidth() * 60);
    FinishLayout();
}

CAboutDlg::~CAboutDlg() = default;

}  // namespace tandrel
