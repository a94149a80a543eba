// Carrying a file's dates over to the file that replaces it.
#pragma once

#include <string>

namespace mdlTime {

// Clears the source's attributes (read-only among them; this stays so whether or not the copy
// succeeds), then gives the destination the source's times (creation where the platform keeps one,
// access and write). Returns false only when the source does not exist; every later failure is
// silent and leaves the destination's times as they were. The same file twice changes no time.
bool CopyFileTime(const std::u16string& source, const std::u16string& destination);

}  // namespace mdlTime
