#include "CFileChooser.h"

#include <QFile>
#include <QFileDialog>

namespace tandrel {

namespace {

struct Record {
    bool folderAnswered = false;
    std::optional<std::string> nextFolder;
    bool fileAnswered = false;
    std::optional<std::string> nextFile;
    QString lastTitle;
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

std::optional<std::string> CFileChooser::BrowseForFolder(QWidget* parent, const QString& title) {
    Record& r = State();
    r.lastTitle = title;
    if (r.folderAnswered) {
        r.folderAnswered = false;
        return std::move(r.nextFolder);
    }
    return ToBytes(
        QFileDialog::getExistingDirectory(parent, title, QString(), QFileDialog::ShowDirsOnly));
}

std::optional<std::string> CFileChooser::SaveFileName(QWidget* parent, const QString& title,
                                                      const std::string& initial,
                                                      const QString& filter) {
    Record& r = State();
    r.lastTitle = title;
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
void CFileChooser::Reset() {
    State() = Record{};
}

}  // namespace tandrel
