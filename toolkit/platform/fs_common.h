// What the POSIX and the Windows sides of the file-system layer share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/platform/fs.h"

namespace platform {

// Listings come in one order on every platform, the order of the Windows file system: ASCII letters
// folded first, exact spelling breaking ties.
void SortByName(std::vector<DirEntry>& entries);

// How a lock's holder is named: its program and its process ("quarrow-cli、プロセス 1234").
std::u16string HolderText(const std::u16string& program, std::uint64_t process);

}  // namespace platform
