#include "CTemplateDialog.h"

#include <QAbstractButton>

#include "AppImages.h"
#include "ResourceIds.h"
#include "TemplateBuilder.h"

namespace tandrel {

CTemplateDialog::CTemplateDialog(int templateId, QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowIcon(LoadAppIcon(IDI_TANDREL));
    const DialogTemplate* tmpl = FindDialogTemplate(templateId);
    if (tmpl == nullptr) {
        return;
    }
    setWindowTitle(QString::fromUtf8(tmpl->caption));
    const TemplateBuilder builder(*tmpl);
    builder.Build(this);
    setFixedSize(builder.DialogSize());
    if (auto* ok = qobject_cast<QAbstractButton*>(FindControl(this, IDOK))) {
        connect(ok, &QAbstractButton::clicked, this, &QDialog::accept);
    }
    if (auto* cancel = qobject_cast<QAbstractButton*>(FindControl(this, IDCANCEL))) {
        connect(cancel, &QAbstractButton::clicked, this, &QDialog::reject);
    }
}

CTemplateDialog::~CTemplateDialog() = default;

}  // namespace tandrel
