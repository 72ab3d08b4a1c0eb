#pragma once

#include <QDialog>

#include "DialogTemplate.h"

namespace tandrel {

// A modal dialog built on a dialog template: caption, fixed size and controls from the
// template. A button with id IDOK accepts the dialog and one with id IDCANCEL rejects it;
// Escape and the close box reject it. Window thread only.
class CTemplateDialog : public QDialog {
    Q_OBJECT

  public:
    explicit CTemplateDialog(int templateId, QWidget* parent = nullptr);
    ~CTemplateDialog() override;

    // Runs the dialog modally: QDialog::Accepted (IDOK) or QDialog::Rejected (IDCANCEL).
    int DoModal() { return exec(); }
};

}  // namespace tandrel
