// Where the LDraw library is: the stored setting, else the environment variable
// LDRAWDIR, else the "BaseDirectory" of section "LDraw" in ldraw.ini.
#pragma once

#include <functional>
#include <optional>
#include <string>

// ldraw.ini in the user's configuration folder: $XDG_CONFIG_HOME/ldraw.ini, else
// ~/.config/ldraw.ini; empty when the user has no home folder.
std::string QzLDrawIniPath();

// A value of an ini file: the section and key are found in any letter case, blanks
// around the value and one pair of enclosing quotes are removed. Nothing when the file,
// section or key is missing.
std::optional<std::string> QzReadIniString(const std::string& path, const std::string& section,
                                           const std::string& key);

// The desktop program's settings file: <configuration folder>/Veltmark/Zarvel.conf
// ($XDG_CONFIG_HOME, else ~/.config); empty when the user has no home folder.
std::string QzDesktopSettingsPath();

// The library folder the desktop program keeps in its settings file (the value
// LDrawDir of the group "General settings", in the window toolkit's escaped form),
// read without the toolkit; empty when the file, the group or the value is missing,
// or the file is not a regular one.
std::string QzStoredLDrawDir(const std::string& settingsPath);

// The directory the environment names, trailing separators removed: LDRAWDIR when it
// is set (even empty: that stops the search), else a non-empty BaseDirectory of
// ldraw.ini. Nothing when neither names one.
std::optional<std::string> QzLDrawDirFromEnvironment();

// The conventional system-wide place of a library, where the commands look after every
// other way (a thumbnailer's sandbox may show nothing outside /usr).
inline constexpr const char* kSystemLDrawDir = "/usr/share/ldraw";

// kSystemLDrawDir when it holds a library (a "parts" folder, in any letter case); empty
// otherwise.
std::string QzSystemLDrawDir();
// Looks for the system-wide library in another folder from now on (for the tests).
void QzSetSystemLDrawDir(std::string folder);

// The start-up search: a non-empty stored value is used as it is; otherwise the
// environment's directory is used and handed to `store` to be kept. Returns the
// directory found, empty for none.
std::string QzFindLDrawDir(const std::string& stored,
                           const std::function<void(const std::string&)>& store);

// The absolute path with every component written as it is stored on disk (found in
// any letter case). -1 (and out unchanged) when a component does not exist.
int ExpandLongPath(const std::string& path, std::string& out);
