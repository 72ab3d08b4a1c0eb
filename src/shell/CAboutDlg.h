#pragma once

#include "CTemplateDialog.h"

namespace tandrel {

// The About box of the window menu: icon, "Tandrel Version " with the version, and OK. Window
// thread only.
class CAboutDlg : public CTemplateDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    ~CAboutDlg() override;
};

}  // namespace tandrel
