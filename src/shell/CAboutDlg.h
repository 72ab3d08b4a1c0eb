#pragma once

#include "CModalDialog.h"

namespace tandrel {

// The About box of the window menu: icon, "Tandrel Version " with the version, and OK. Window
// thread only.
class CAboutDlg : public CModalDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;
};

}  // namespace tandrel
