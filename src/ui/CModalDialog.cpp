#include "CModalDialog.h"

#include <QAbstractButton>
#include <QLayout>

#include "AppImages.h"
#include "Controls.h"
#include "ResourceIds.h"

namespace tandrel {

CModalDialog::CModalDialog(const QString& caption, QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowIcon(LoadAppIcon(IDI_TANDREL));
    setWindowTitle(caption);
    setSizeGripEnabled(false);
}

CModalDialog::~CModalDialog() = default;

void CModalDialog::FinishLayout() {
    if (auto* ok = qobject_cast<QAbstractButton*>(FindControl(this, IDOK))) {
        connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
    }
    if (auto* cancel = qobject_cast<QAbstractButton*>(FindControl(this, IDCANCEL))) {
        connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);
    }
    if (layout() != nullptr) {
        layout()->activate();
    }
    resize(sizeHint());
}

}  // namespace tandrel
