#include "LinkOpener.h"

#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <fcntl.h>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <cerrno>
#include <csignal>
#include <thread>
#include <vector>

extern char** environ;

namespace tandrel {

namespace {

// The placeholders that stand for the file or URL in a handler's command: the desktop entry's
// field codes for one or many URLs or files, and the "%1" older command lines use.
const char* const kPlaceholders[] = {"%u", "%U", "%f", "%F", "%1"};

// The value of the environment variable `name`, or `fallback` when it is unset or empty.
QString EnvOr(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

// The directories of a colon-separated list, empty entries left out.
QStringList DirList(const QString& value) {
    QStringList dirs = value.split(u':', Qt::SkipEmptyParts);
    for (QString& d : dirs) {
        d = QDir::cleanPath(d);
    }
    return dirs;
}

QString Home() {
    return QDir::homePath();
}

// The folders that hold desktop entries, most important first.
QStringList ApplicationDirs() {
    QStringList dirs{EnvOr("XDG_DATA_HOME", Home() + "/.local/share") + "/applications"};
    for (const QString& d : DirList(EnvOr("XDG_DATA_DIRS", "/usr/local/share:/usr/share"))) {
        dirs << d + "/applications";
    }
    return dirs;
}

// The mimeapps.list files in the order they are consulted: for each folder (user
// configuration, system configuration, user data, system data), the list of each current
// desktop before the common one.
QStringList MimeAppsFiles() {
    QStringList dirs{EnvOr("XDG_CONFIG_HOME", Home() + "/.config")};
    dirs << DirList(EnvOr("XDG_CONFIG_DIRS", "/etc/xdg"));
    dirs << ApplicationDirs();
    const QStringList desktops =
        qEnvironmentVariable("XDG_CURRENT_DESKTOP").toLower().split(u':', Qt::SkipEmptyParts);
    QStringList files;
    for (const QString& dir : dirs) {
        for (const QString& desktop : desktops) {
            files << dir + "/" + desktop + "-mimeapps.list";
        }
        files << dir + "/mimeapps.list";
    }
    return files;
}

// Reads the key=value lines of one group of a desktop-style file. Later duplicates of a key
// are ignored, as the first one counts.
QList<std::pair<QString, QString>> ReadGroup(const QString& path, const QString& group) {
    QList<std::pair<QString, QString>> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return entries;
    }
    QTextStream in(&file);
    bool inGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[')) {
            inGroup = line == "[" + group + "]";
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (!inGroup || eq <= 0) {
            continue;
        }
        const QString key = line.left(eq).trimmed();
        bool seen = false;
        for (const auto& e : entries) {
            seen = seen || e.first == key;
        }
        if (!seen) {
            entries.append({key, line.mid(eq + 1).trimmed()});
        }
    }
    return entries;
}

QString ValueOf(const QList<std::pair<QString, QString>>& entries, const QString& key) {
    for (const auto& e : entries) {
        if (e.first == key) {
            return e.second;
        }
    }
    return {};
}

// The file of the desktop entry with id `id` ("vendor-browser.desktop" may also live in
// "vendor/browser.desktop"), or an empty string.
QString FindDesktopEntry(const QString& id) {
    if (id.isEmpty() || id.contains(u'/') || !id.endsWith(".desktop")) {
        return {};
    }
    for (const QString& dir : ApplicationDirs()) {
        const QString direct = dir + "/" + id;
        if (QFileInfo(direct).isFile()) {
            return direct;
        }
        if (!id.contains(u'-')) {
            continue;
        }
        QDirIterator it(dir, {"*.desktop"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (QDir(dir).relativeFilePath(path).replace(u'/', u'-') == id) {
                return path;
            }
        }
    }
    return {};
}

// Resolves the escapes of a desktop entry string value: \s \n \t \r and \\.
QString Unescape(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
            case 's':
                out += u' ';
                break;
            case 'n':
                out += u'\n';
                break;
            case 't':
                out += u'\t';
                break;
            case 'r':
                out += u'\r';
                break;
            case '\\':
                out += u'\\';
                break;
            default:
                out += u'\\';
                out += next;
                break;
        }
    }
    return out;
}

// Where `line` is to be cut: at the opening quote of the first quoted placeholder, else at the
// first bare placeholder, else at its end.
qsizetype CutPosition(const QString& line) {
    qsizetype quoted = -1;
    qsizetype bare = -1;
    for (const char* p : kPlaceholders) {
        const QString code = QString::fromLatin1(p);
        const qsizetype q = line.indexOf(u'"' + code + u'"');
        if (q >= 0 && (quoted < 0 || q < quoted)) {
            quoted = q;
        }
        const qsizetype b = line.indexOf(code);
        if (b >= 0 && (bare < 0 || b < bare)) {
            bare = b;
        }
    }
    if (quoted >= 0) {
        return quoted;
    }
    return bare >= 0 ? bare : line.size();
}

// Splits a command by the desktop entry quoting rules: blanks separate arguments; inside
// double quotes blanks are kept and a backslash escapes '"', '`', '$' and '\'. A quote left
// open runs to the end of the command.
QStringList SplitCommand(const QString& command) {
    QStringList args;
    QString current;
    bool inArg = false;
    bool inQuote = false;
    for (qsizetype i = 0; i < command.size(); ++i) {
        const QChar c = command[i];
        if (inQuote) {
            if (c == u'\\' && i + 1 < command.size() &&
                QStringLiteral("\"`$\\").contains(command[i + 1])) {
                current += command[++i];
            } else if (c == u'"') {
                inQuote = false;
            } else {
                current += c;
            }
        } else if (c == u' ' || c == u'\t' || c == u'\n') {
            if (inArg) {
                args << current;
                current.clear();
                inArg = false;
            }
        } else {
            inArg = true;
            if (c == u'"') {
                inQuote = true;
            } else {
                current += c;
            }
        }
    }
    if (inArg) {
        args << current;
    }
    return args;
}

// Resolves the field codes left in one argument before the cut: "%%" is a percent sign, an
// argument that is only a field code is dropped (nullopt), other field codes are removed.
std::optional<QString> ExpandFieldCodes(const QString& arg) {
    static const QString kCodes = QStringLiteral("fFuUdDnNickvm");
    if (arg.size() == 2 && arg[0] == u'%' && kCodes.contains(arg[1])) {
        return std::nullopt;
    }
    QString out;
    for (qsizetype i = 0; i < arg.size(); ++i) {
        if (arg[i] == u'%' && i + 1 < arg.size()) {
            const QChar next = arg[++i];
            if (next == u'%') {
                out += u'%';
            } else if (!kCodes.contains(next)) {
                out += u'%';
                out += next;
            }
            continue;
        }
        out += arg[i];
    }
    return out;
}

// The code for an errno value of a failed start.
int CodeForErrno(int error) {
    switch (error) {
        case ENOENT:
            return LinkOpener::kFileNotFound;
        case EACCES:
            return LinkOpener::kAccessDenied;
        case ENOMEM:
            return LinkOpener::kOutOfMemory;
        default:
            return -error;
    }
}

// Starts `args` (program first, looked up in PATH when it names no folder) detached from this
// program: its own session, standard input from /dev/null, default signal handling. The child
// is reaped by a thread of its own, so it never lingers as a zombie. Returns 0 or an errno
// value.
int Spawn(const QStringList& args) {
    std::vector<QByteArray> bytes;
    bytes.reserve(static_cast<size_t>(args.size()));
    for (const QString& a : args) {
        bytes.push_back(QFile::encodeName(a));
    }
    std::vector<char*> argv;
    for (QByteArray& b : bytes) {
        argv.push_back(b.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    if (int rc = posix_spawn_file_actions_init(&actions); rc != 0) {
        return rc;
    }
    if (int rc = posix_spawnattr_init(&attr); rc != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return rc;
    }
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    sigset_t mask;
    sigemptyset(&mask);
    posix_spawnattr_setsigmask(&attr, &mask);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGCHLD, SIGHUP, SIGINT, SIGQUIT, SIGTERM}) {
        sigaddset(&defaults, sig);
    }
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return rc;
    }
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return 0;
}

}  // namespace

LinkOpener::LinkOpener(DesktopOpen desktopOpen) : m_desktopOpen(std::move(desktopOpen)) {
    if (!m_desktopOpen) {
        m_desktopOpen = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    }
}

QUrl LinkOpener::UrlFor(const QString& target) {
    // Tolerant, so that an address with a blank in it is still an address; a one-letter
    // scheme is a drive-like name, not an address.
    const QUrl url(target, QUrl::TolerantMode);
    if (url.isValid() && url.scheme().size() > 1) {
        return url;
    }
    return QUrl::fromLocalFile(QFileInfo(target).absoluteFilePath());
}

int LinkOpener::Open(const QString& target) const {
    if (m_desktopOpen(UrlFor(target))) {
        return kOpened;
    }
    const std::optional<QString> exec = DefaultHandlerCommand(QStringLiteral("text/html"));
    if (!exec) {
        return kNoAssociation;
    }
    const QStringList args = HandlerArguments(*exec, target);
    if (args.size() < 2) {
        return kNoAssociation;
    }
    const int error = Spawn(args);
    return error == 0 ? kOpened : CodeForErrno(error);
}

std::optional<QString> LinkOpener::DefaultHandlerCommand(const QString& mimeType) {
    for (const QString& list : MimeAppsFiles()) {
        const QString ids = ValueOf(ReadGroup(list, "Default Applications"), mimeType);
        for (const QString& id : ids.split(u';', Qt::SkipEmptyParts)) {
            const QString entry = FindDesktopEntry(id.trimmed());
            if (entry.isEmpty()) {
                continue;
            }
            const QString exec = ValueOf(ReadGroup(entry, "Desktop Entry"), "Exec");
            if (exec.isEmpty()) {
                return std::nullopt;
            }
            return Unescape(exec);
        }
    }
    return std::nullopt;
}

QStringList LinkOpener::HandlerArguments(const QString& exec, const QString& target) {
    QStringList args;
    for (const QString& arg : SplitCommand(exec.left(CutPosition(exec)))) {
        if (std::optional<QString> expanded = ExpandFieldCodes(arg)) {
            args << *expanded;
        }
    }
    if (args.isEmpty() || args.first().isEmpty()) {
        return {};
    }
    args << target;
    return args;
}

}  // namespace tandrel
