#include "toolkit/mdlTime.h"

#include "toolkit/platform/fs.h"

namespace mdlTime {

bool CopyFileTime(const std::u16string& source, const std::u16string& destination) {
  if (platform::GetAttributes(source) < 0) return false;
  platform::SetAttributes(source, platform::kAttrNormal);
  // Both files are opened exclusively where the platform can; the same file twice is thus never
  // written, and that is kept here where opens are not exclusive.
  if (platform::SameFile(source, destination)) return true;
  platform::FileTimes times;
  if (platform::FileExists(source) && platform::FileExists(destination) &&
      platform::GetFileTimes(source, times)) {
    platform::SetFileTimes(destination, times);
  }
  return true;
}

}  // namespace mdlTime
