#include <iterator>

#include "DialogTemplate.h"
#include "ResourceIds.h"
#include "TandrelVersion.h"

namespace tandrel {

namespace {

// About box of the main window.
constexpr ControlTemplate kAboutControls[] = {
    {IDC_STATIC, ControlKind::kIcon, "", 11, 17, 20, 20, kStyleNone, "aboutIcon", IDI_TANDREL},
    {IDC_STATIC, ControlKind::kStatic, "Tandrel Version " TANDREL_VERSION, 40, 10, 119, 8,
     kStyleNoPrefix, "aboutVersion", 0},
    {IDOK, ControlKind::kDefPushButton, "OK", 178, 7, 32, 14, kStyleNone, "ok", 0},
};

// The Status page holds only the colour log view, which the page places itself.
constexpr DialogTemplate kTemplates[] = {
    {IDD_ABOUTBOX, "About Tandrel", 217, 55, "MS Sans Serif", 8, kAboutControls,
     static_cast<int>(std::size(kAboutControls))},
    {IDD_PAGE_STATUS, "Status", 260, 144, "Arial", 9, nullptr, 0},
};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
    for (const DialogTemplate& t : kTemplates) {
        if (t.id == id) {
            return &t;
        }
    }
    return nullptr;
}

}  // namespace tandrel
