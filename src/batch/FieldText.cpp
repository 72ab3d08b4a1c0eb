#include "FieldText.h"

#include <unistd.h>

#include <cerrno>

#include <QFile>
#include <vector>

namespace tandrel {

QString ShownText(const std::string& bytes) {
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string FieldBytes(const QString& shown, const std::string& original) {
    if (shown == ShownText(original)) {
        return original;
    }
    return QFile::encodeName(shown).toStdString();
}

std::string TrimBlanks(const std::string& text) {
    static constexpr const char* kBlanks = " \t\n\r\v\f";
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) {
        return std::string();
    }
    const size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsLineBreak(char c) {
    return c == '\n' || c == '\r';
}

}  // namespace

std::vector<std::string> FieldPatterns(std::string_view text) {
    std::vector<std::string> patterns;
    std::string piece;
    // The piece's length up to its last byte that is not a blank or was escaped: blanks after
    // it are dropped when the piece ends, and blanks before the first such byte never enter it.
    size_t kept = 0;
    const auto finish = [&] {
        piece.resize(kept);
        if (!piece.empty()) {
            patterns.push_back(std::move(piece));
        }
        piece.clear();
        kept = 0;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size() && !IsLineBreak(text[i + 1])) {
            // "\;" and "\ " stand for the byte alone; any other pair is the pattern's own.
            const char next = text[++i];
            if (next != ';' && !IsBlank(next)) {
                piece.push_back(c);
            }
            piece.push_back(next);
            kept = piece.size();
        } else if (c == ';' || IsLineBreak(c)) {
            finish();
        } else if (IsBlank(c)) {
            if (kept > 0) {
                piece.push_back(c);
            }
        } else {
            piece.push_back(c);
            kept = piece.size();
        }
    }
    finish();
    return patterns;
}

std::string PatternFieldText(const std::vector<std::string>& patterns) {
    std::string text;
    for (const std::string& p : patterns) {
        if (!text.empty()) {
            text += "; ";
        }
        for (size_t i = 0; i < p.size(); ++i) {
            const char c = p[i];
            if (c == '\\' && i + 1 < p.size() && p[i + 1] != ';' && !IsBlank(p[i + 1])) {
                text.push_back(c);
                text.push_back(p[++i]);
            } else if (c == '\\' && i + 1 < p.size()) {
                // The pattern's own "\;" or "\ ": the byte alone matches the same.
                continue;
            } else if (c == ';' || (IsBlank(c) && (i == 0 || i + 1 == p.size()))) {
                text.push_back('\\');
                text.push_back(c);
            } else {
                text.push_back(c);
            }
        }
    }
    return text;
}

std::string AbsoluteFromHere(const std::string& path) {
    if (path.empty() || path.front() == '/') {
        return path;
    }
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20)) {
            return path;
        }
        buffer.resize(buffer.size() * 2);
    }
    std::string here(buffer.data());
    if (here.empty() || here.back() != '/') {
        here.push_back('/');
    }
    return here + path;
}

}  // namespace tandrel
