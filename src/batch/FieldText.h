#pragma once

#include <QString>
#include <string>

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

// A relative `path` taken from the current directory now: the current directory, "/", `path`.
// An empty or absolute path comes back unchanged, as does a relative one when the current
// directory cannot be read.
std::string AbsoluteFromHere(const std::string& path);

}  // namespace tandrel
