#include "StringTable.h"

#include "ResourceIds.h"

// The window shows some entries translated (see WindowString); the translation tools find them
// by this mark. The engine's verbs are left unmarked: run lines and the log stay English.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(context, text) text
#endif

namespace tandrel {

namespace {

struct Entry {
    int id;
    const char* text;
};

// Texts meant as errors begin with "!", which is dropped when they are shown.
constexpr Entry kStrings[] = {
    {IDS_ABOUTBOX, QT_TRANSLATE_NOOP("StringTable", "&About Tandrel...")},
    {IDS_VERB_COPY, "Copy"},
    {IDS_VERB_DELETE, "Delete"},
    {IDS_VERB_MOVE, "Move"},
    {IDS_ERR_DIR_EMPTY,
     QT_TRANSLATE_NOOP("StringTable", "!Error: Directory name of '%1' is empty...")},
    {IDS_ERR_DIR_NOT_FOUND,
     QT_TRANSLATE_NOOP("StringTable", "!Error: Directory name of '%1' not found...")},
    {IDS_VERB_READ, "Read"},
    {IDS_VERB_SKIP, "Skip"},
    {IDS_VERB_SYNC, "Sync"},
    {IDS_COLUMN_DESCRIPTION, QT_TRANSLATE_NOOP("StringTable", "Description")},
    {IDS_COLUMN_SOURCE, QT_TRANSLATE_NOOP("StringTable", "Source Directory")},
    {IDS_COLUMN_DEST, QT_TRANSLATE_NOOP("StringTable", "Destination Directory")},
    {IDS_TITLE_DEST, QT_TRANSLATE_NOOP("StringTable", "Select destination directory:")},
    {IDS_TITLE_RECYCLE, QT_TRANSLATE_NOOP("StringTable", "Select recycle bin directory:")},
    {IDS_TITLE_SOURCE, QT_TRANSLATE_NOOP("StringTable", "Select source directory:")},
    {IDS_FIELD_FROM, QT_TRANSLATE_NOOP("StringTable", "From")},
    {IDS_FIELD_TO, QT_TRANSLATE_NOOP("StringTable", "To")},
    {IDS_FIELD_RECYCLE, QT_TRANSLATE_NOOP("StringTable", "Recycle")},
    {IDS_CONFIRM_REMOVE, QT_TRANSLATE_NOOP("StringTable", "Delete this batch item?")},
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
