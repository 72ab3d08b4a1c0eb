#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

namespace tandrel {

// Paths are bytes, text fields hold text. A field shows a path decoded as the file system's
// names are; bytes that do not decode show as replacement characters and cannot be typed back.
// So a field remembers the bytes it was filled with, and as long as the user leaves the text
// as it was shown, those bytes are what it gives back.

// The text a field shows for `bytes`.
QString ShownText(const std::string& bytes);
// The bytes a field holds: `original` when `shown` is still exactly the text of `original`,
// otherwise the bytes of what was typed.
std::string FieldBytes(const QString& shown, const std::string& original);

// `text` without leading and trailing white space (blank, tab, line feed, carriage return,
// vertical tab, form feed).
std::string TrimBlanks(const std::string& text);

// The "Exclude" fields hold a job's exclude patterns in one line: separated by ";" (a line
// break separates them too), blanks around each one dropped. Inside a pattern "\;" is a ";"
// and "\ " a blank that is kept (the backslash itself is dropped); a backslash before any other
// byte stays, and makes that byte plain as in any pattern. FieldPatterns reads such a text
// (empty pieces skipped); PatternFieldText writes a list so that FieldPatterns gives it back,
// except that a pattern's own "\;" or "\ " comes back as the byte alone, which matches the same
// names.
std::vector<std::string> FieldPatterns(std::string_view text);
std::string PatternFieldText(const std::vector<std::string>& patterns);

// A relative `path` taken from the current directory now: the current directory, "/", `path`.
// An empty or absolute path comes back unchanged, as does a relative one when the current
// directory cannot be read.
std::string AbsoluteFromHere(const std::string& path);

}  // namespace tandrel
