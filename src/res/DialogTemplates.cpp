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

// Batch page: the list, its buttons, the run's extra-file action and the recycle directory.
constexpr ControlTemplate kBatchControls[] = {
    {IDC_BATCH_ADD, ControlKind::kPushButton, "&Add", 217, 7, 36, 14, kStyleNone, "batchAdd", 0},
    {IDC_BATCH_EDIT, ControlKind::kPushButton, "&Edit", 217, 24, 36, 14, kStyleNone, "batchEdit",
     0},
    {IDC_BATCH_REMOVE, ControlKind::kPushButton, "&Remove", 217, 42, 36, 14, kStyleNone,
     "batchRemove", 0},
    {IDC_GO, ControlKind::kPushButton, "&Go", 217, 68, 36, 14, kStyleNone, "batchGo", 0},
    {IDC_KEEP, ControlKind::kRadio, "Keep", 217, 102, 31, 10, kStyleGroup, "batchKeep", 0},
    {IDC_DELETE, ControlKind::kRadio, "Delete", 217, 114, 34, 10, kStyleNone, "batchDelete", 0},
    {IDC_MOVE, ControlKind::kRadio, "Move", 217, 125, 33, 10, kStyleNone, "batchMove", 0},
    {IDC_RECYCLE, ControlKind::kEdit, "", 7, 125, 187, 12, kStyleNone, "batchRecycle", 0},
    {IDC_RECYCLE_BROWSE, ControlKind::kPushButton, "...", 198, 124, 13, 13, kStyleNone,
     "batchRecycleBrowse", 0},
    {IDC_BATCH_LIST, ControlKind::kListView, "List1", 7, 7, 204, 113, kStyleNone, "batchList", 0},
    {IDC_STATIC, ControlKind::kLine, "", 217, 63, 36, 1, kStyleNone, "batchLine1", 0},
    {IDC_STATIC, ControlKind::kLine, "", 217, 86, 36, 1, kStyleNone, "batchLine2", 0},
};

// The description dialog: one field and OK; Escape and the close box cancel.
constexpr ControlTemplate kDescriptionControls[] = {
    {IDC_DESCRIPTION_TEXT, ControlKind::kEdit, "", 7, 7, 141, 12, kStyleNone, "descriptionText", 0},
    {IDOK, ControlKind::kDefPushButton, "OK", 153, 7, 28, 12, kStyleNone, "ok", 0},
};

// The batch item dialog: a description and the two directories of one batch entry. Each label
// has its field's height and centres its text in it, so that the two texts share a line; the
// labels are wide enough for "Description" with room to spare.
constexpr ControlTemplate kBatchItemControls[] = {
    {IDC_ITEM_DESCRIPTION, ControlKind::kEdit, "", 54, 22, 143, 14, kStyleNone, "itemDescription",
     0},
    {IDC_FROM, ControlKind::kEdit, "", 54, 46, 129, 12, kStyleNone, "itemFrom", 0},
    {IDC_FROM_BROWSE, ControlKind::kPushButton, "...", 187, 46, 10, 11, kStyleNone,
     "itemFromBrowse", 0},
    {IDC_TO, ControlKind::kEdit, "", 54, 61, 129, 12, kStyleNone, "itemTo", 0},
    {IDC_TO_BROWSE, ControlKind::kPushButton, "...", 187, 61, 10, 11, kStyleNone, "itemToBrowse",
     0},
    {IDC_ITEM_OK, ControlKind::kDefPushButton, "OK", 26, 79, 50, 14, kStyleNone, "itemOk", 0},
    {IDCANCEL, ControlKind::kPushButton, "Cancel", 114, 79, 50, 14, kStyleNone, "cancel", 0},
    {IDC_STATIC, ControlKind::kStatic, "From", 4, 46, 46, 12, kStyleRight | kStyleCenterImage,
     "itemFromLabel", 0},
    {IDC_STATIC, ControlKind::kStatic, "To", 4, 61, 46, 12, kStyleRight | kStyleCenterImage,
     "itemToLabel", 0},
    {IDC_STATIC, ControlKind::kStatic, "Description", 4, 22, 46, 14,
     kStyleRight | kStyleCenterImage, "itemDescriptionLabel", 0},
    {IDC_STATIC, ControlKind::kStatic, "Please enter the batch job", 7, 7, 190, 12, kStyleCenter,
     "itemHeading", 0},
};

// Quick page: one job typed or picked on the spot, run at once or added to the batch list. The
// "From" and "To" labels have their fields' height and centre their text in it.
constexpr ControlTemplate kQuickControls[] = {
    {IDC_FROM, ControlKind::kEdit, "", 32, 7, 200, 13, kStyleNone, "quickFrom", 0},
    {IDC_TO, ControlKind::kEdit, "", 32, 25, 200, 13, kStyleNone, "quickTo", 0},
    {IDC_RECYCLE, ControlKind::kEdit, "", 7, 105, 225, 13, kStyleNone, "quickRecycle", 0},
    {IDC_FROM_BROWSE, ControlKind::kPushButton, "...", 240, 7, 13, 13, kStyleNone,
     "quickFromBrowse", 0},
    {IDC_TO_BROWSE, ControlKind::kPushButton, "...", 240, 25, 13, 13, kStyleNone, "quickToBrowse",
     0},
    {IDC_RECYCLE_BROWSE, ControlKind::kPushButton, "...", 240, 104, 13, 13, kStyleNone,
     "quickRecycleBrowse", 0},
    {IDC_GO, ControlKind::kPushButton, "&GO", 108, 124, 44, 13, kStyleNone, "quickGo", 0},
    {IDC_STATIC, ControlKind::kStatic, "From", 7, 7, 20, 13, kStyleRight | kStyleCenterImage,
     "quickFromLabel", 0},
    {IDC_STATIC, ControlKind::kStatic, "To", 7, 25, 20, 13, kStyleRight | kStyleCenterImage,
     "quickToLabel", 0},
    {IDC_STATIC, ControlKind::kLine, "", 7, 62, 246, 1, kStyleNone, "quickLine", 0},
    {IDC_KEEP, ControlKind::kRadio, "Keep not existent files", 7, 67, 84, 10, kStyleGroup,
     "quickKeep", 0},
    {IDC_DELETE, ControlKind::kRadio, "Delete not existent files", 7, 78, 87, 10, kStyleNone,
     "quickDelete", 0},
    {IDC_MOVE, ControlKind::kRadio, "Move not existent files to...", 7, 89, 96, 10, kStyleNone,
     "quickMove", 0},
    {IDC_ADD_TO_BATCH, ControlKind::kPushButton, "&Add to batch list", 193, 44, 60, 13, kStyleNone,
     "quickAddToBatch", 0},
};

// Option page: the run log's file, and a default recycle directory the program does not use.
constexpr ControlTemplate kOptionControls[] = {
    {IDC_DEFAULT_RECYCLE, ControlKind::kEdit, "", 7, 59, 224, 12, kStyleDisabled, "optionRecycle",
     0},
    {IDC_DEFAULT_RECYCLE_BROWSE, ControlKind::kPushButton, "...", 240, 59, 13, 13, kStyleDisabled,
     "optionRecycleBrowse", 0},
    {IDC_STATIC, ControlKind::kStatic, "Default Directory of Recycle bin", 7, 45, 246, 8,
     kStyleNone, "optionRecycleLabel", 0},
    {IDC_LOG_ENABLE, ControlKind::kCheckBox, "&Log File", 7, 7, 41, 10, kStyleNone,
     "optionLogEnable", 0},
    {IDC_LOG_FILE, ControlKind::kEdit, "", 7, 21, 224, 12, kStyleNone, "optionLogFile", 0},
    {IDC_LOG_BROWSE, ControlKind::kPushButton, "...", 240, 21, 13, 13, kStyleNone,
     "optionLogBrowse", 0},
};

// About page: name and version, a rule, the rights notice and credit, and the maker's link.
constexpr ControlTemplate kAboutPageControls[] = {
    {IDC_STATIC, ControlKind::kStatic, "Designed and developed by Halvory", 7, 65, 246, 8,
     kStyleNoPrefix, "aboutCredit", 0},
    {IDC_STATIC, ControlKind::kStatic, "Tandrel Version " TANDREL_VERSION, 7, 7, 246, 8,
     kStyleNoPrefix, "aboutPageVersion", 0},
    {IDC_STATIC, ControlKind::kLine, "", 7, 23, 246, 1, kStyleNone, "aboutRule", 0},
    {IDC_STATIC, ControlKind::kStatic, "Copyright \u00a9 2026 Halvory", 7, 45, 246, 8,
     kStyleNoPrefix, "aboutRights", 0},
    {IDC_LINK, ControlKind::kStatic, "Visit Halvory's Homepage", 7, 130, 246, 8,
     kStyleCenter | kStyleNoPrefix, "aboutLink", 0},
};

// The Status page holds only the colour log view, which the page places itself.
constexpr DialogTemplate kTemplates[] = {
    {IDD_ABOUTBOX, "About Tandrel", 217, 55, "MS Sans Serif", 8, kAboutControls,
     static_cast<int>(std::size(kAboutControls))},
    {IDD_PAGE_STATUS, "Status", 260, 144, "Arial", 9, nullptr, 0},
    {IDD_PAGE_BATCH, "Batch", 260, 144, "Arial", 9, kBatchControls,
     static_cast<int>(std::size(kBatchControls))},
    {IDD_PAGE_QUICK, "Quick", 260, 144, "Arial", 9, kQuickControls,
     static_cast<int>(std::size(kQuickControls))},
    {IDD_PAGE_OPTION, "Option", 260, 128, "Arial", 9, kOptionControls,
     static_cast<int>(std::size(kOptionControls))},
    {IDD_PAGE_ABOUT, "About", 260, 145, "System", 10, kAboutPageControls,
     static_cast<int>(std::size(kAboutPageControls))},
    {IDD_DESCRIPTION, "Please enter a description", 188, 26, "System", 11, kDescriptionControls,
     static_cast<int>(std::size(kDescriptionControls))},
    {IDD_BATCH_ITEM, "Tandrel", 204, 100, "", 0, kBatchItemControls,
     static_cast<int>(std::size(kBatchItemControls))},
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
