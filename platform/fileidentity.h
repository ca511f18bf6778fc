// Which file a path names, as the file system sees it: the path with every link and
// "." or ".." resolved, and whether two paths lead to one and the same file.
#pragma once

#include <optional>
#include <string>

namespace plat {

// The absolute path of an existing file or folder with symbolic links, "." and ".."
// resolved; nothing when it does not exist.
std::optional<std::string> RealPath(const std::string& path);

// Whether both paths name one existing file (the same device and inode), whichever
// links or names lead to it.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace plat
