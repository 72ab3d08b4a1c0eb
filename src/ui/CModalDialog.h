#pragma once

#include <QDialog>
#include <QString>

namespace tandrel {

// The base of the program's modal dialogs: a caption, the program's icon, a close box and no
// context-help button. The dialog makes its controls (Controls.h) and its layout in its
// constructor and then calls FinishLayout, which wires a button with id IDOK to accept the
// dialog and one with id IDCANCEL to reject it; Escape and the close box reject it. The dialog
// starts at its layout's size and never gets smaller than its layout allows. Window thread only.
class CModalDialog : public QDialog {
    Q_OBJECT

  public:
    explicit CModalDialog(const QString& caption, QWidget* parent = nullptr);
    ~CModalDialog() override;

    // Runs the dialog modally: QDialog::Accepted (IDOK) or QDialog::Rejected (IDCANCEL).
    int DoModal() { return exec(); }

  protected:
    // Call once the controls and the layout are made.
    void FinishLayout();
};

}  // namespace tandrel
