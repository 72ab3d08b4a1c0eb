#pragma once

#include <QString>
#include <optional>
#include <string>

class QWidget;

namespace tandrel {

// The folder browser and the save-file chooser. Paths come back as the bytes the file system
// uses. Tests answer a chooser instead of a user: SetNextFolder / SetNextFile make the next call
// return that answer at once (std::nullopt: the user cancelled), and the title asked for is
// recorded.
//
// Window thread only.
class CFileChooser {
  public:
    // A directory chosen by the user, or nothing when they cancelled. Only directories can be
    // chosen. The chooser opens at `start` when that names a directory, else in the user's home.
    static std::optional<std::string> BrowseForFolder(QWidget* parent, const QString& title,
                                                      const std::string& start = {});
    // A file name to write, chosen by the user (starting at `initial`), or nothing.
    static std::optional<std::string> SaveFileName(QWidget* parent, const QString& title,
                                                   const std::string& initial,
                                                   const QString& filter);

    static void SetNextFolder(std::optional<std::string> answer);
    static void SetNextFile(std::optional<std::string> answer);
    static QString LastTitle();
    // Where the last folder browser or save chooser was asked to start ("" for the default).
    static std::string LastStart();
    static void Reset();
};

}  // namespace tandrel
