// The user's list of default applications (mimeapps.list), read and edited the way the
// desktops read it: a key file of groups ("[Default Applications]") and "type=list"
// entries. An edit changes only the lines of the type it sets; every other byte of the
// file stays as it was.
#pragma once

#include <optional>
#include <string>
#include <vector>

// The first application of every "type=..." line of the [Default Applications] groups,
// in the order of the file; empty when the type has none. Nothing when the text is not a
// key file (a line that is neither a comment, a group header nor an entry, or an entry
// before the first group): desktops ignore such a file whole.
std::optional<std::vector<std::string>> QzDefaultApplications(const std::string& text,
                                                              const std::string& mimeType);

// Makes desktopId the default application of the type: every line that sets the type in
// a [Default Applications] group (several groups of that name are one group to the
// desktops, and readers differ in which line they take) lists desktopId first and then
// the applications it listed before. Without such a line, one is added after the last
// entry of the last such group, or a group is added at the end. New lines end as the
// file's lines do ("\r\n" or "\n"). False, with the text unchanged and a reason in
// error, when the text is not a key file.
bool QzSetDefaultApplication(std::string& text, const std::string& mimeType,
                             const std::string& desktopId, std::string& error);
