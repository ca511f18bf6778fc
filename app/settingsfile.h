// The file the program keeps its settings in: <configuration folder>/Veltmark/Zarvel.conf.
// The toolkit reads the file whole as soon as the settings are opened, so a named pipe
// in its place would stop the start for good, and a device would never end: only a
// regular file (or none yet) is used. Otherwise the settings of this run live in a
// scratch file of their own and the user's file is neither read nor written.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <string>

namespace app {

class SettingsFile {
  public:
    SettingsFile(const char* company, const char* application);

    // The file to open the settings on.
    const QString& Path() const { return path_; }
    // Whether that is the user's own file.
    bool IsUsersFile() const { return !scratch_; }
    // The user's file; empty when the user has no configuration folder.
    const QString& UsersPath() const { return usersPath_; }
    // What the user is told when the file is not used.
    std::string Warning() const;

  private:
    QString usersPath_;
    QString path_;
    std::unique_ptr<QTemporaryDir> scratch_;
};

// Whether a settings file at the path can be read and written without blocking: it is
// missing or a regular file, through links.
bool IsUsableSettingsFile(const QString& path);

}  // namespace app
