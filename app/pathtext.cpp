#include "pathtext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>

namespace app {

QString PathText(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QStringList PathTexts(const QByteArrayList& paths) {
    QStringList texts;
    for (const QByteArray& path : paths) texts << QFile::decodeName(path);
    return texts;
}

std::string PathBytes(const QString& text) { return QFile::encodeName(text).toStdString(); }

std::string AbsolutePath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec) absolute = path;
    std::string normal = absolute.lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    return normal;
}

QVariant PathSetting(const std::string& path) {
    const QByteArray bytes = QByteArray::fromStdString(path);
    const QString text = QString::fromUtf8(bytes);
    if (text.toUtf8() == bytes) return text;
    return bytes;
}

std::string PathFromSetting(const QVariant& value) {
    // A text gives its UTF-8 bytes.
    return value.toByteArray().toStdString();
}

QString PickerStartFolder(QStandardPaths::StandardLocation location) {
    const QString folder = QStandardPaths::writableLocation(location);
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
    return QDir::homePath();
}

std::string LocalFilePath(const QUrl& url) {
    if (!url.isLocalFile()) return {};
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

}  // namespace app
