#include "CAboutDlg.h"

#include "ResourceIds.h"

namespace tandrel {

CAboutDlg::CAboutDlg(QWidget* parent) : CTemplateDialog(IDD_ABOUTBOX, parent) {
    setObjectName("aboutBox");
}

CAboutDlg::~CAboutDlg() = default;

}  // namespace tandrel
