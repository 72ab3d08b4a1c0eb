#pragma once

#include <string>

#include "CModalDialog.h"

namespace tandrel {

// Asks for the description of a new batch entry: one field and OK. There is no Cancel button;
// Escape and the close box cancel. After an accepted DoModal, m_strDescription holds the text
// as typed (it may be empty). Window thread only.
class CDescriptionDlg : public CModalDialog {
    Q_OBJECT

  public:
    explicit CDescriptionDlg(QWidget* parent = nullptr);
    ~CDescriptionDlg() override;

    void accept() override;

    std::string m_strDescription;
};

}  // namespace tandrel
