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
