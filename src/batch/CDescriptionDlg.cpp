#include "CDescriptionDlg.h"

#include <QHBoxLayout>
#include <QLineEdit>

#include "Controls.h"
#include "FieldText.h"
#include "ResourceIds.h"

namespace tandrel {

CDescriptionDlg::CDescriptionDlg(QWidget* parent)
    : CModalDialog(tr("Please enter a description"), parent) {
    QWidget* edit = MakeEdit(this, IDC_DESCRIPTION_TEXT, "descriptionText");
    QWidget* ok = MakeButton(this, IDOK, tr("OK"), "ok", true);
    // The field takes the width; it starts wide enough for a few words.
    edit->setAccessibleName(tr("Description"));
    edit->setMinimumWidth(fontMetrics().averageCharWidth() * 40);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 13, 14, 13);
    row->setSpacing(10);
    row->addWidget(edit, 1);
    row->addWidget(ok);
    FinishLayout();
    // Only wider: there is one line to type.
    setMaximumHeight(sizeHint().height());
    edit->setFocus();
}

CDescriptionDlg::~CDescriptionDlg() = default;

void CDescriptionDlg::accept() {
    if (auto* edit = qobject_cast<QLineEdit*>(FindControl(this, IDC_DESCRIPTION_TEXT))) {
        m_strDescription = FieldBytes(edit->text(), m_strDescription);
    }
    CModalDialog::accept();
}

}  // namespace tandrel
