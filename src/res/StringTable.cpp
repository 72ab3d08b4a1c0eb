#include "StringTable.h"

#include "ResourceIds.h"

namespace tandrel {

namespace {

struct Entry {
    int id;
    const char* text;
};

// Texts meant as errors begin with "!", which is dropped when they are shown.
constexpr Entry kStrings[] = {
    {IDS_ABOUTBOX, "&About Tandrel..."},
    {IDS_VERB_COPY, "Copy"},
    {IDS_VERB_DELETE, "Delete"},
    {IDS_VERB_MOVE, "Move"},
    {IDS_ERR_DIR_EMPTY, "!Error: Directory name of '%1' is empty..."},
    {IDS_ERR_DIR_NOT_FOUND, "!Error: Directory name of '%1' not found..."},
    {IDS_VERB_READ, "Read"},
    {IDS_VERB_SKIP, "Skip"},
    {IDS_VERB_SYNC, "Sync"},
    {IDS_COLUMN_DESCRIPTION, "Description"},
    {IDS_COLUMN_SOURCE, "Source Directory"},
    {IDS_COLUMN_DEST, "Destination Directory"},
    {IDS_TITLE_DEST, "Select destination directory:"},
    {IDS_TITLE_RECYCLE, "Select recycle bin directory:"},
    {IDS_TITLE_SOURCE, "Select source directory:"},
    {IDS_FIELD_FROM, "From"},
    {IDS_FIELD_TO, "To"},
    {IDS_FIELD_RECYCLE, "Recycle"},
    {IDS_CONFIRM_REMOVE, "Delete this batch item?"},
};

}  // namespace

const char* LoadString(int id) {
    for (const Entry& e : kStrings) {
        if (e.id == id) {
            return e.text;
        }
    }
    return "";
}

}  // namespace tandrel
