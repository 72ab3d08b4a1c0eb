#include "PathFilter.h"

#include "NameText.h"

namespace tandrel {

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameBytes(std::string_view a, std::string_view b, bool fold) {
    if (!fold) {
        return a == b;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

// The copy temporaries of a run (".tandrel-<pid>-<unique>.tmp"), whether their copy is still
// going or was killed: never copied, deleted or moved as if they were the user's.
bool IsCopyTemporary(std::string_view name) {
    constexpr std::string_view kPrefix = ".tandrel-";
    constexpr std::string_view kSuffix = ".tmp";
    return name.size() > kPrefix.size() + kSuffix.size() && name.starts_with(kPrefix) &&
           name.ends_with(kSuffix);
}

}  // namespace

std::string PathFilter::Parse(std::string_view text, Pattern* out,
                              std::vector<std::bitset<256>>* sets) {
    if (text.empty()) {
        return "it is empty";
    }
    if (text.front() == '!') {
        return "a pattern cannot make an exception ('!'); write \\! for a name beginning with '!'";
    }
    if (text.find('\n') != std::string_view::npos) {
        // Patterns are kept and read one a line.
        return "it holds a line break ('?' matches one)";
    }
    Pattern p;
    while (!text.empty() && text.back() == '/') {
        p.dirOnly = true;
        text.remove_suffix(1);
    }
    p.rooted = text.find('/') != std::string_view::npos;
    std::vector<std::string_view> names;
    while (!text.empty()) {
        const size_t slash = text.find('/');
        const std::string_view name = text.substr(0, slash);
        if (!name.empty()) {
            names.push_back(name);
        }
        text = slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1);
    }
    if (names.empty()) {
        return "it names nothing";
    }
    for (const std::string_view name : names) {
        Segment seg;
        if (p.rooted && name == "**") {
            seg.anyDirs = true;
            p.segments.push_back(std::move(seg));
            continue;
        }
        for (size_t i = 0; i < name.size(); ++i) {
            const char c = name[i];
            if (c == '\\') {
                if (++i == name.size()) {
                    return "it ends with a lone '\\'";
                }
                seg.tokens.push_back(Token{Token::kByte, name[i], 0});
            } else if (c == '*') {
                if (seg.tokens.empty() || seg.tokens.back().kind != Token::kStar) {
                    seg.tokens.push_back(Token{Token::kStar, 0, 0});
                }
            } else if (c == '?') {
                seg.tokens.push_back(Token{Token::kAny, 0, 0});
            } else if (c == '[') {
                std::bitset<256> set;
                size_t j = i + 1;
                const bool negate = j < name.size() && (name[j] == '!' || name[j] == '^');
                if (negate) {
                    ++j;
                }
                bool closed = false;
                bool first = true;
                while (j < name.size()) {
                    unsigned char lo = static_cast<unsigned char>(name[j]);
                    if (lo == ']' && !first) {
                        closed = true;
                        break;
                    }
                    first = false;
                    if (lo == '\\' && j + 1 < name.size()) {
                        lo = static_cast<unsigned char>(name[++j]);
                    }
                    unsigned char hi = lo;
                    if (j + 2 < name.size() && name[j + 1] == '-' && name[j + 2] != ']') {
                        j += 2;
                        if (name[j] == '\\' && j + 1 < name.size()) {
                            ++j;
                        }
                        hi = static_cast<unsigned char>(name[j]);
                    }
                    for (unsigned v = lo; v <= hi; ++v) {
                        set.set(v);
                    }
                    ++j;
                }
                if (!closed) {
                    return "'[' is not closed";
                }
                if (negate) {
                    set.flip();
                }
                if (sets->size() >= 0xffff) {
                    return "it holds too many sets";
                }
                seg.tokens.push_back(Token{Token::kSet, 0, static_cast<uint16_t>(sets->size())});
                sets->push_back(set);
                i = j;
            } else {
                seg.tokens.push_back(Token{Token::kByte, c, 0});
            }
        }
        size_t firstStar = seg.tokens.size();
        size_t lastStar = seg.tokens.size();
        for (size_t t = 0; t < seg.tokens.size(); ++t) {
            if (seg.tokens[t].kind == Token::kStar) {
                lastStar = t;
                if (firstStar == seg.tokens.size()) {
                    firstStar = t;
                }
            } else {
                ++seg.minLength;
            }
        }
        seg.hasStar = firstStar != seg.tokens.size();
        for (size_t t = 0; t < firstStar && seg.tokens[t].kind == Token::kByte; ++t) {
            seg.head.push_back(seg.tokens[t].byte);
        }
        if (seg.hasStar) {
            seg.plainTail = true;
            for (size_t t = lastStar + 1; t < seg.tokens.size(); ++t) {
                if (seg.tokens[t].kind != Token::kByte) {
                    seg.plainTail = false;
                    seg.tail.clear();
                    break;
                }
                seg.tail.push_back(seg.tokens[t].byte);
            }
        }
        p.segments.push_back(std::move(seg));
    }
    *out = std::move(p);
    return std::string();
}

std::string PathFilter::PatternError(const std::string& pattern) {
    Pattern p;
    std::vector<std::bitset<256>> sets;
    const std::string why = Parse(pattern, &p, &sets);
    if (why.empty()) {
        return why;
    }
    return "Pattern '" + ShownName(pattern) + "' cannot be used: " + why;
}

Status PathFilter::Compile(const std::vector<std::string>& patterns, bool includeHidden,
                           PathFilter* out) {
    PathFilter filter;
    filter.m_includeHidden = includeHidden;
    for (const std::string& text : patterns) {
        Pattern p;
        const std::string why = Parse(text, &p, &filter.m_sets);
        if (!why.empty()) {
            return Status::Error(Status::Code::kInvalid, text,
                                 "Pattern '" + ShownName(text) + "' cannot be used: " + why);
        }
        if (filter.m_compiled.size() >= 0xffff) {
            return Status::Error(Status::Code::kInvalid, text, "too many patterns");
        }
        const auto index = static_cast<uint16_t>(filter.m_compiled.size());
        const Segment& last = p.segments.back();
        if (!last.anyDirs && !last.tokens.empty() && last.tokens.back().kind == Token::kByte) {
            const char c = last.tokens.back().byte;
            filter.m_byLastByte[static_cast<unsigned char>(Lower(c))].push_back(index);
            if (Upper(c) != Lower(c)) {
                filter.m_byLastByte[static_cast<unsigned char>(Upper(c))].push_back(index);
            }
        } else {
            filter.m_anyLastByte.push_back(index);
        }
        filter.m_compiled.push_back(std::move(p));
        filter.m_patterns.push_back(text);
    }
    *out = std::move(filter);
    return Status::Ok();
}

bool PathFilter::MatchName(const Segment& seg, std::string_view name, bool fold) const {
    if (name.size() < seg.minLength || (!seg.hasStar && name.size() != seg.minLength)) {
        return false;
    }
    if (!SameBytes(seg.head, name.substr(0, seg.head.size()), fold)) {
        return false;
    }
    if (seg.plainTail && !SameBytes(seg.tail, name.substr(name.size() - seg.tail.size()), fold)) {
        return false;
    }
    auto one = [&](const Token& tok, char c) {
        switch (tok.kind) {
            case Token::kByte:
                return fold ? Lower(tok.byte) == Lower(c) : tok.byte == c;
            case Token::kAny:
                return true;
            case Token::kSet: {
                const std::bitset<256>& set = m_sets[tok.set];
                if (set.test(static_cast<unsigned char>(c))) {
                    return true;
                }
                return fold && (set.test(static_cast<unsigned char>(Lower(c))) ||
                                set.test(static_cast<unsigned char>(Upper(c))));
            }
            case Token::kStar:
                break;
        }
        return false;
    };
    // The usual backtracking to the last "*" seen, which is enough for "*" within one name.
    const std::vector<Token>& tokens = seg.tokens;
    size_t t = 0;
    size_t s = 0;
    size_t starToken = tokens.size();
    size_t starFrom = 0;
    while (s < name.size()) {
        if (t < tokens.size()) {
            if (tokens[t].kind == Token::kStar) {
                starToken = t++;
                starFrom = s;
                continue;
            }
            if (one(tokens[t], name[s])) {
                ++t;
                ++s;
                continue;
            }
        }
        if (starToken == tokens.size()) {
            return false;
        }
        t = starToken + 1;
        s = ++starFrom;
    }
    while (t < tokens.size() && tokens[t].kind == Token::kStar) {
        ++t;
    }
    return t == tokens.size();
}

bool PathFilter::MatchFrom(const Pattern& p, size_t seg, std::string_view rest, bool fold) const {
    if (seg == p.segments.size()) {
        return rest.empty();
    }
    const Segment& s = p.segments[seg];
    if (s.anyDirs) {
        if (seg + 1 == p.segments.size()) {
            return !rest.empty();  // "a/**": everything inside a, not a itself
        }
        for (;;) {
            if (MatchFrom(p, seg + 1, rest, fold)) {
                return true;
            }
            const size_t slash = rest.find('/');
            if (slash == std::string_view::npos) {
                return false;
            }
            rest.remove_prefix(slash + 1);
        }
    }
    if (rest.empty()) {
        return false;
    }
    const size_t slash = rest.find('/');
    if (!MatchName(s, rest.substr(0, slash), fold)) {
        return false;
    }
    if (slash == std::string_view::npos) {
        return seg + 1 == p.segments.size();
    }
    return MatchFrom(p, seg + 1, rest.substr(slash + 1), fold);
}

bool PathFilter::Excludes(std::string_view rel, bool isDir, bool foldCase) const {
    if (m_compiled.empty()) {
        return false;
    }
    const size_t slash = rel.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? rel : rel.substr(slash + 1);
    auto matches = [&](uint16_t index) {
        const Pattern& p = m_compiled[index];
        if (p.dirOnly && !isDir) {
            return false;
        }
        const Segment& last = p.segments.back();
        // The entry's own name must match the last name of the pattern: most fail here.
        if (!last.anyDirs && !MatchName(last, name, foldCase)) {
            return false;
        }
        return !p.rooted || MatchFrom(p, 0, rel, foldCase);
    };
    if (!name.empty()) {
        for (const uint16_t index : m_byLastByte[static_cast<unsigned char>(name.back())]) {
            if (matches(index)) {
                return true;
            }
        }
    }
    for (const uint16_t index : m_anyLastByte) {
        if (matches(index)) {
            return true;
        }
    }
    return false;
}

bool PathFilter::TakesPart(std::string_view rel, bool isDir, bool foldCase) const {
    const size_t slash = rel.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? rel : rel.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    if (name.front() == '.' && (!m_includeHidden || IsCopyTemporary(name))) {
        return false;
    }
    return !Excludes(rel, isDir, foldCase);
}

}  // namespace tandrel
