// The file a command writes, checked before any work is done: it has a name, and it is
// not the model the command reads (which the write would replace).
#pragma once

#include <iosfwd>
#include <string>

namespace cli {

// True when `output` may be written for the model at `model` (a path as typed, found
// as the reader finds it). Otherwise a usage error goes to err: the name is empty, or
// it leads to the model file itself (the same file by device and inode, also through a
// link or another name).
bool CheckOutputPath(const std::string& output, const std::string& model, std::ostream& err);

}  // namespace cli
