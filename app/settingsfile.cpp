#include "settingsfile.h"

#include <sys/stat.h>

#include <QFile>
#include <cerrno>

#include "files.h"

namespace app {

bool IsUsableSettingsFile(const QString& path) {
    if (path.isEmpty()) return false;
    struct stat st;
    if (stat(QFile::encodeName(path).constData(), &st) != 0) return errno == ENOENT;
    return S_ISREG(st.st_mode);
}

SettingsFile::SettingsFile(const char* company, const char* application) {
    const std::string folder = plat::UserFolder("XDG_CONFIG_HOME", "/.config");
    if (!folder.empty())
        usersPath_ = QFile::decodeName(
            QByteArray::fromStdString(folder + "/" + company + "/" + application + ".conf"));
    if (IsUsableSettingsFile(usersPath_)) {
        path_ = usersPath_;
        return;
    }
    scratch_ = std::make_unique<QTemporaryDir>();
    const QString name = QString::fromLatin1(application) + ".conf";
    // Without a scratch folder, a path below a device: nothing can be made there.
    path_ = scratch_->isValid() ? scratch_->filePath(name) : "/dev/null/" + name;
}

std::string SettingsFile::Warning() const {
    const std::string rest = "\nZarvel starts with its default settings and does not save them.";
    if (usersPath_.isEmpty()) return "There is no configuration folder for the settings." + rest;
    return "The settings file " + QFile::encodeName(usersPath_).toStdString() +
           " is not a regular file." + rest;
}

}  // namespace app
