// What the POSIX and the Windows sides of the file-system layer share.
#pragma once

#include <vector>

#include "toolkit/platform/fs.h"

namespace platform {

// Listings come in one order on every platform, the order of the Windows file system: ASCII letters
// folded first, exact spelling breaking ties.
void SortByName(std::vector<DirEntry>& entries);

}  // namespace platform
