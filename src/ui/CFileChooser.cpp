#include "CFileChooser.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

namespace tandrel {

namespace {

struct Record {
    bool folderAnswered = false;
    std::optional<std::string> nextFolder;
    bool fileAnswered = false;
    std::optional<std::string> nextFile;
    QString lastTitle;
    std::string lastStart;
};

Record& State() {
    static Record record;
    return record;
}

std::optional<std::string> ToBytes(const QString& chosen) {
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return QFile::encodeName(chosen).toStdString();
}

}  // namespace

std::optional<std::string> CFileChooser::BrowseForFolder(QWidget* parent, const QString& title,
                                                         const std::string& start) {
    Record& r = State();
    r.lastTitle = title;
    r.lastStart = start;
    if (r.folderAnswered) {
        r.folderAnswered = false;
        return std::move(r.nextFolder);
    }
    const QString startDir = QFile::decodeName(start.c_str());
    const QString openAt =
        !start.empty() && QFileInfo(startDir).isDir() ? startDir : QDir::homePath();
    return ToBytes(
        QFileDialog::getExistingDirectory(parent, title, openAt, QFileDialog::ShowDirsOnly));
}

std::optional<std::string> CFileChooser::SaveFileName(QWidget* parent, const QString& title,
                                                      const std::string& initial,
                                                      const QString& filter) {
    Record& r = State();
    r.lastTitle = title;
    r.lastStart = initial;
    if (r.fileAnswered) {
        r.fileAnswered = false;
        return std::move(r.nextFile);
    }
    return ToBytes(
        QFileDialog::getSaveFileName(parent, title, QFile::decodeName(initial.c_str()), filter));
}

void CFileChooser::SetNextFolder(std::optional<std::string> answer) {
    State().folderAnswered = true;
    State().nextFolder = std::move(answer);
}

void CFileChooser::SetNextFile(std::optional<std::string> answer) {
    State().fileAnswered = true;
    State().nextFile = std::move(answer);
}

QString CFileChooser::LastTitle() {
    return State().lastTitle;
}
std::string CFileChooser::LastStart() {
    return State().lastStart;
}
void CFileChooser::Reset() {
    State() = Record{};
}

}  // namespace tandrel
