#pragma once

// Every string, dialog, control, icon and bitmap id of the program, in one place.

namespace tandrel {

// String table.
inline constexpr int IDS_ABOUTBOX = 101;           // "&About Tandrel..."
inline constexpr int IDS_VERB_COPY = 102;          // "Copy"
inline constexpr int IDS_VERB_DELETE = 103;        // "Delete"
inline constexpr int IDS_VERB_MOVE = 104;          // "Move"
inline constexpr int IDS_ERR_DIR_EMPTY = 105;      // "!Error: Directory name of '%1' is empty..."
inline constexpr int IDS_ERR_DIR_NOT_FOUND = 106;  // "!Error: Directory name of '%1' not found..."
inline constexpr int IDS_VERB_READ = 107;          // "Read": a directory that could not be listed
inline constexpr int IDS_VERB_SKIP = 108;          // "Skip": a job refused by the engine
inline constexpr int IDS_VERB_SYNC = 109;          // "Sync": copies not confirmed on the disk
inline constexpr int IDS_COLUMN_DESCRIPTION = 3000;  // "Description"
inline constexpr int IDS_COLUMN_SOURCE = 3001;       // "Source Directory"
inline constexpr int IDS_COLUMN_DEST = 3002;         // "Destination Directory"
inline constexpr int IDS_TITLE_DEST = 3004;          // "Select destination directory:"
inline constexpr int IDS_TITLE_RECYCLE = 3005;       // "Select recycle bin directory:"
inline constexpr int IDS_TITLE_SOURCE = 3006;        // "Select source directory:"
inline constexpr int IDS_FIELD_FROM = 3008;          // "From"
inline constexpr int IDS_FIELD_TO = 3009;            // "To"
inline constexpr int IDS_FIELD_RECYCLE = 3010;       // "Recycle"
inline constexpr int IDS_CONFIRM_REMOVE = 3012;      // "Delete this batch item?"

// Pages and dialogs.
inline constexpr int IDD_ABOUTBOX = 100;     // the About box of the main window
inline constexpr int IDD_PAGE_STATUS = 135;  // Status page
inline constexpr int IDD_PAGE_BATCH = 136;   // Batch page
inline constexpr int IDD_PAGE_QUICK = 137;   // Quick page
inline constexpr int IDD_PAGE_OPTION = 138;  // Option page
inline constexpr int IDD_DESCRIPTION = 142;  // description dialog
inline constexpr int IDD_BATCH_ITEM = 143;   // batch item dialog
inline constexpr int IDD_PAGE_ABOUT = 149;   // About page

// Images.
inline constexpr int IDI_TANDREL = 128;     // the application icon
inline constexpr int IDB_CHECKBOXES = 147;  // the two check-box images of the batch list

// Commands and controls.
inline constexpr int IDC_STATIC = -1;  // a control nothing refers to
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDHELP = 9;
inline constexpr int IDM_ABOUTBOX = 0x0010;  // window-menu entry that opens the About box
inline constexpr int IDC_PROGRESS = 101;     // the main window's progress bar
inline constexpr int IDC_COLORVIEW = 1000;   // the colour log view of the Status page
inline constexpr int IDC_GO = 1028;          // the start buttons of the Batch and Quick pages
inline constexpr int IDC_PREVIEW = 1050;     // "&Preview" beside them
inline constexpr int IDC_STOP = 1051;        // "&Stop" beside the progress bar
inline constexpr int IDC_OUTCOME = 1052;     // the summary of the last run beside the bar

// Fields and buttons that the job dialogs and pages share: the same id means the same thing.
inline constexpr int IDC_FROM = 1002;            // the source directory
inline constexpr int IDC_FROM_BROWSE = 1003;     // its "..."
inline constexpr int IDC_TO = 1004;              // the destination directory
inline constexpr int IDC_TO_BROWSE = 1005;       // its "..."
inline constexpr int IDC_RECYCLE = 1006;         // the recycle directory
inline constexpr int IDC_RECYCLE_BROWSE = 1008;  // its "..."
inline constexpr int IDC_KEEP = 2000;            // radio buttons: the run's extra-file
inline constexpr int IDC_DELETE = 2001;          // action is the checked one's id
inline constexpr int IDC_MOVE = 2002;            // minus 2000
inline constexpr int IDC_EXCLUDE = 1055;         // the job's exclude patterns
inline constexpr int IDC_INCLUDE_HIDDEN = 1056;  // "Include names beginning with '.'"

// Batch page (page 136).
inline constexpr int IDC_BATCH_LIST = 1024;    // the list of entries
inline constexpr int IDC_BATCH_ADD = 1025;     // "&Add"
inline constexpr int IDC_BATCH_REMOVE = 1026;  // "&Remove"
inline constexpr int IDC_BATCH_EDIT = 1027;    // "&Edit"

// Quick page (page 137).
inline constexpr int IDC_ADD_TO_BATCH = 1036;  // "&Add to batch list"

// Option page (page 138).
inline constexpr int IDC_DEFAULT_RECYCLE = 1029;         // disabled, never used
inline constexpr int IDC_DEFAULT_RECYCLE_BROWSE = 1030;  // disabled, never used
inline constexpr int IDC_LOG_BROWSE = 1031;              // "..." of the log file name
inline constexpr int IDC_LOG_ENABLE = 1037;              // "&Log File"
inline constexpr int IDC_LOG_FILE = 1045;                // the log file name
inline constexpr int IDC_ASK_ENABLE = 1053;  // "Ask before deleting or moving more than"
inline constexpr int IDC_ASK_LIMIT = 1054;   // its number of entries

// About page (page 149).
inline constexpr int IDC_LINK = 1046;  // "Visit Halvory's Homepage"

// Batch item dialog (dialog 143) and description dialog (dialog 142).
inline constexpr int IDC_ITEM_DESCRIPTION = 1043;
inline constexpr int IDC_ITEM_OK = 1044;  // the item dialog's OK: the default button, not IDOK
inline constexpr int IDC_DESCRIPTION_TEXT = 1038;

}  // namespace tandrel
