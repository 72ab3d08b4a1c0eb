#include "CDescriptionDlg.h"

#include <QLineEdit>

#include "FieldText.h"
#include "ResourceIds.h"
#include "TemplateBuilder.h"

namespace tandrel {

CDescriptionDlg::CDescriptionDlg(QWidget* parent) : CTemplateDialog(IDD_DESCRIPTION, parent) {
    if (QWidget* edit = FindControl(this, IDC_DESCRIPTION_TEXT)) {
        edit->setFocus();
    }
}

CDescriptionDlg::~CDescriptionDlg() = default;

void CDescriptionDlg::accept() {
    if (auto* edit = qobject_cast<QLineEdit*>(FindControl(this, IDC_DESCRIPTION_TEXT))) {
        m_strDescription = FieldBytes(edit->text(), m_strDescription);
    }
    CTemplateDialog::accept();
}

}  // namespace tandrel
