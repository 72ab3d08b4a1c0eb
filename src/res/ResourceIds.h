#pragma once

// Every string, dialog, control, icon and bitmap id of the program, in one place.

namespace tandrel {

// String table.
inline constexpr int IDS_ABOUTBOX = 101;          // "&About Tandrel..."
inline constexpr int IDS_VERB_COPY = 102;         // "Copy"
inline constexpr int IDS_VERB_DELETE = 103;       // "Delete"
inline constexpr int IDS_VERB_MOVE = 104;         // "Move"
inline constexpr int IDS_ERR_DIR_EMPTY = 105;     // "!Error: Directory name of '%1' is empty..."
inline constexpr int IDS_ERR_DIR_NOT_FOUND = 106; // "!Error: Directory name of '%1' not found..."
inline constexpr int IDS_VERB_READ = 107;         // "Read": a directory that could not be listed
inline constexpr int IDS_VERB_SKIP = 108;         // "Skip": a job refused by the engine
inline constexpr int IDS_TITLE_DEST = 3004;       // "Select destination directory:"
inline constexpr int IDS_TITLE_RECYCLE = 3005;    // "Select recycle bin directory:"
inline constexpr int IDS_TITLE_SOURCE = 3006;     // "Select source directory:"
inline constexpr int IDS_FIELD_FROM = 3008;       // "From"
inline constexpr int IDS_FIELD_TO = 3009;         // "To"
inline constexpr int IDS_FIELD_RECYCLE = 3010;    // "Recycle"

}  // namespace tandrel
