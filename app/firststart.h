// Whether the program has an LDraw library to load from, for the first start.
#pragma once

#include <string>

// Whether a library folder is known: the one loads use (stored or found at start-up),
// or one named by LDRAWDIR (even empty), which a load reads once more. Without one every
// load fails at once.
bool QzLibraryKnown(const std::string& ldrawDir);
// Whether the folder holds an LDraw library: the folders PARTS and P, in any letter case.
bool QzIsLibraryFolder(const std::string& folder);
