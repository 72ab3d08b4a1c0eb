#pragma once

#include <string>
#include <string_view>

namespace tandrel {

// A path or name as run lines, the log file and listings show it. Control bytes (0x01-0x1f and
// 0x7f) are written as escapes, so that no name can break a line in two or make up a line of
// its own: "\n", "\t" and "\r" for line feed, tab and carriage return, "\ooo" (always three
// octal digits) for the others. Every other byte is shown as it is: blanks, quotes, '%' and
// bytes of 0x80 and above (UTF-8 or not) are left alone.
//
// A backslash is doubled only where it would otherwise read as the start of an escape: when
// the next shown character is a backslash (the next byte is a backslash or a control byte) or
// one of 'n', 't', 'r' and the octal digits. Without that a name holding a real backslash
// followed by "n" would show exactly like a name holding a line feed, and a shown line could
// no longer be taken back to the one name it stands for. Backslashes elsewhere (rare on this
// system, but common in names brought over from other systems) stay single, so such names
// read as they are.
//
// Only the shown text changes; the disk operations always use the real bytes.
// Pure function; any thread.
std::string ShownName(std::string_view name);

}  // namespace tandrel
