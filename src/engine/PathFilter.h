#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Status.h"

namespace tandrel {

// What a job leaves out of its walk: names beginning with "." (unless the job includes them)
// and the entries its exclude patterns match.
//
// Patterns follow the rules of a .gitignore file, restricted to these:
// - "*" matches any run of bytes within one name, "?" one byte, "[abc]", "[a-z]" one byte of
//   the set ("[!...]" or "[^...]" one byte outside it); "\" makes the next byte plain.
// - A name that is "**" alone matches any number of directories (none included): "**/x"
//   matches x at any depth, "a/**/x" matches a/x, a/b/x, ..., and "a/**" everything inside a.
// - A leading "/" ties the pattern to the job's root; so does any other "/" in the pattern
//   except a trailing one. A pattern without one matches a name at any depth.
// - A trailing "/" matches directories only.
// There is no negation: a pattern beginning with "!" is refused rather than read as a name, so
// that one written for a .gitignore does not silently mean something else.
//
// Matching is on the bytes of the names as they are (valid UTF-8 or not), ignoring the case of
// ASCII letters when the caller says the destination does. The patterns are compiled once per
// job; a match allocates nothing.
class PathFilter {
  public:
    // Leaves out names beginning with "." and nothing else.
    PathFilter() = default;

    // Compiles `patterns`. When one cannot be used, the error's reason names it and says why,
    // and `*out` is left as it was.
    static Status Compile(const std::vector<std::string>& patterns, bool includeHidden,
                          PathFilter* out);
    // Why `pattern` cannot be used ("Pattern '[ab' cannot be used: '[' is not closed"); empty
    // when it can.
    static std::string PatternError(const std::string& pattern);

    const std::vector<std::string>& Patterns() const { return m_patterns; }
    bool IncludesHidden() const { return m_includeHidden; }

    // Whether the entry at `rel` (relative to the job's root, without a trailing '/'; its last
    // component is the entry's name) takes part in the job. Never "." and "..", nor the copy
    // temporaries of a run (".tandrel-*.tmp"); names beginning with "." only when the job
    // includes them; and no entry an exclude pattern matches.
    bool TakesPart(std::string_view rel, bool isDir, bool foldCase) const;
    // Whether an exclude pattern matches the entry at `rel` (as for TakesPart).
    bool Excludes(std::string_view rel, bool isDir, bool foldCase) const;

  private:
    // One step of a name pattern: a byte, any byte, a set of bytes, or any run of bytes.
    struct Token {
        enum Kind : uint8_t { kByte, kAny, kSet, kStar } kind;
        char byte = 0;
        uint16_t set = 0;  // index into m_sets
    };
    // One name of a pattern: "**", or a name pattern with what every match must begin and
    // end with (checked first, as most names fail there).
    struct Segment {
        bool anyDirs = false;
        std::vector<Token> tokens;
        std::string head;  // the plain bytes before the first wildcard
        std::string tail;  // the plain bytes after the last "*" (when they are all plain)
        bool hasStar = false;
        bool plainTail = false;
        size_t minLength = 0;  // bytes every match needs
    };
    struct Pattern {
        std::vector<Segment> segments;
        bool rooted = false;  // matched against the whole relative path, not the name alone
        bool dirOnly = false;
    };

    static std::string Parse(std::string_view text, Pattern* out,
                             std::vector<std::bitset<256>>* sets);
    bool MatchName(const Segment& seg, std::string_view name, bool fold) const;
    bool MatchFrom(const Pattern& p, size_t seg, std::string_view rest, bool fold) const;

    std::vector<std::string> m_patterns;
    std::vector<Pattern> m_compiled;
    // The patterns a name can match, by the name's last byte: those whose last name ends with
    // that plain byte (under both cases of an ASCII letter), then those that can end with any
    // byte. Most names are thus held against a few patterns, not all.
    std::array<std::vector<uint16_t>, 256> m_byLastByte;
    std::vector<uint16_t> m_anyLastByte;
    std::vector<std::bitset<256>> m_sets;
    bool m_includeHidden = false;
};

}  // namespace tandrel
