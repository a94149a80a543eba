// The parts of the file-system layer that do not depend on the platform.
#include "toolkit/platform/fs_common.h"

#include <algorithm>
#include <string>
#include <utility>

#include "toolkit/text/Compare.h"

namespace platform {

std::u16string Explained(const std::u16string& what, const IoError& error) {
  return error ? what + u" (" + ErrorText(error) + u")" : what;
}

std::u16string HolderText(const std::u16string& program, std::uint64_t process) {
  const std::string number = std::to_string(process);
  return program + u"、プロセス " + std::u16string(number.begin(), number.end());
}

void SortByName(std::vector<DirEntry>& entries) {
  std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) {
    const std::size_t n = std::min(a.Name.size(), b.Name.size());
    for (std::size_t i = 0; i < n; ++i) {
      const char16_t x = text::FoldAscii(a.Name[i]), y = text::FoldAscii(b.Name[i]);
      if (x != y) return x < y;
    }
    return a.Name.size() != b.Name.size() ? a.Name.size() < b.Name.size() : a.Name < b.Name;
  });
}

// A File's ownership of its handle moves with it; the platform side closes it (Discard).
File::~File() { Discard(); }

File::File(File&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)),
      folder_(other.folder_),
      mode_(other.mode_),
      name_(std::move(other.name_)),
      path_(std::move(other.path_)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Discard();
    handle_ = std::exchange(other.handle_, -1);
    folder_ = other.folder_;
    mode_ = other.mode_;
    name_ = std::move(other.name_);
    path_ = std::move(other.path_);
  }
  return *this;
}

}  // namespace platform
