// File paths between the program's own code, which keeps them as the bytes the file
// system uses, and the window toolkit, which keeps text. A name that is not UTF-8 has no
// exact text, so paths stay bytes wherever they do not have to be shown: the command
// line, the document, the recent files and the library folder in the settings.
#pragma once

#include <QByteArrayList>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <string>

namespace app {

// A path as text to show or to hand to the toolkit (the file-system encoding).
QString PathText(const std::string& path);
QStringList PathTexts(const QByteArrayList& paths);
// The bytes of a path the toolkit gives (the file-system encoding).
std::string PathBytes(const QString& text);

// The absolute form of a path, "." and ".." and doubled "/" taken out, without a
// trailing "/"; the bytes of every component kept.
std::string AbsolutePath(const std::string& path);

// A path as the settings store it: text when it is UTF-8 (the form every other program
// reads), else its bytes, which the settings file keeps exactly.
QVariant PathSetting(const std::string& path);
// The path a setting holds, whichever form it was stored in.
std::string PathFromSetting(const QVariant& value);

// The folder a picker starts in: the user's standard folder of that kind (pictures,
// desktop) when it exists, else the home folder. Handed to a picker as its folder, it
// leaves the name field empty.
QString PickerStartFolder(QStandardPaths::StandardLocation location);

// The local file a URL names, its percent-encoded bytes decoded as bytes; empty for a
// URL that names no local file.
std::string LocalFilePath(const QUrl& url);

}  // namespace app
