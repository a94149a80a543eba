#include "toolkit/mdlTime.h"

#include "toolkit/platform/fs.h"

namespace mdlTime {

bool CopyFileTime(const std::u16string& source, const std::u16string& destination) {
  if (platform::GetAttributes(source) < 0) return false;
  platform::SetAttributes(source, platform::kAttrNormal);
  // The same file given twice is never written (exclusive opens would refuse the second). The opens
  // here share, on Windows too, so that a file a player or an editor holds still takes its times.
  if (platform::SameFile(source, destination)) return true;
  platform::FileTimes times;
  if (platform::FileExists(source) && platform::FileExists(destination) &&
      platform::GetFileTimes(source, times)) {
    platform::SetFileTimes(destination, times);
  }
  return true;
}

}  // namespace mdlTime
