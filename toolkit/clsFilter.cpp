#include "clsFilter.h"

#include "mdlEvents.h"
#include "platform/fs.h"

namespace {

constexpr int kKnownBits = platform::kAttrReadOnly | platform::kAttrHidden | platform::kAttrSystem |
                           platform::kAttrArchive;

bool OnlyStarsAndSemicolons(const std::u16string& text) {
  return text.find_first_not_of(u"*;") == std::u16string::npos;
}

}  // namespace

void clsFilter::SetAttr(int value) {
  attr_ = value;
  attr_mask_ = attr_or_ ? attr_ : attr_ ^ kKnownBits;
}

void clsFilter::SetAttrOr(bool value) {
  attr_or_ = value;
  attr_mask_ = attr_or_ ? attr_ : attr_ ^ kKnownBits;
}

// Rebuilds the matchers only when the text changed; returns whether the list is active.
bool clsFilter::PatternList::Refresh() {
  if (patterns.empty() || OnlyStarsAndSemicolons(patterns)) {
    last = patterns;
    active = false;
    return active;
  }
  if (patterns == last) return active;
  last = patterns;
  active = true;
  std::u16string text = patterns;
  if (text.back() == u';') text.pop_back();
  std::vector<std::u16string> entries;
  std::size_t start = 0;
  for (;;) {
    const std::size_t semi = text.find(u';', start);
    entries.push_back(text.substr(start, semi == std::u16string::npos ? std::u16string::npos : semi - start));
    if (semi == std::u16string::npos) break;
    start = semi + 1;
  }
  for (const auto& entry : entries) {
    if (entry.empty() || entry == u"*") {
      active = false;
      return active;
    }
  }
  const std::size_t n = entries.size();
  if (matchers.size() < n || matchers.size() > 2 * n) matchers.resize(n);
  for (std::size_t k = 0; k < n; ++k) {
    if (!matchers[k]) {
      matchers[k] = std::make_unique<clsMatching>();
      matchers[k]->SetFileNameMode(true);
      matchers[k]->SetCmpMode(1);
    }
    matchers[k]->SetMatchPattern(entries[k]);
  }
  count = n;
  return active;
}

bool clsFilter::PatternList::Matches(const std::u16string& name) const {
  for (std::size_t k = 0; k < count; ++k) {
    if (matchers[k]->IsMatch(name)) return true;
  }
  return false;
}

void clsFilter::MakeFileList(const std::u16string& Path) {
  mdlEvents::DoEvents();
  const int include_mode = lists_[0].on ? (lists_[0].Refresh() ? 1 : 0) : 0;
  const int exclude_mode = lists_[1].on ? (lists_[1].Refresh() ? 1 : 0) : 2;
  list_.clear();
  std::vector<std::u16string> names;
  if (IsFile) {
    sGetFiles(names, Path);
    AppendFiltered(names, include_mode, exclude_mode);
  }
  if (IsFolder) {
    sGetFoldersFSO(names, Path);
    AppendFiltered(names, include_mode, exclude_mode);
  }
}

void clsFilter::AppendFiltered(const std::vector<std::u16string>& names, int include_mode, int exclude_mode) {
  // An exclude list that matches every name leaves nothing.
  if (exclude_mode == 0) return;
  for (const auto& name : names) {
    if (include_mode == 1 && !lists_[0].Matches(name)) continue;
    if (exclude_mode == 1 && lists_[1].Matches(name)) continue;
    list_.push_back(name);
  }
}

int clsFilter::sGetFiles(std::vector<std::u16string>& FList, const std::u16string& Path) const {
  FList.clear();
  std::vector<platform::DirEntry> entries;
  platform::ListFolder(Path.empty() ? platform::CurrentDirectory() : Path, entries);
  for (const auto& e : entries) {
    // A link that points to nothing is no file that could be read.
    if ((e.Attributes & platform::kAttrDirectory) || e.Dangling) continue;
    const int bits = e.Attributes & kKnownBits;
    bool keep;
    if (attr_or_) {
      keep = (bits & attr_) != 0;
    } else if ((attr_ & platform::kAttrReadOnly) && (attr_ & platform::kAttrArchive)) {
      // Every file, hidden ones only when asked for, system ones likewise.
      keep = (!(bits & platform::kAttrHidden) || (attr_ & platform::kAttrHidden)) &&
             (!(bits & platform::kAttrSystem) || (attr_ & platform::kAttrSystem));
    } else {
      keep = (bits & (kKnownBits & ~attr_)) == 0;
    }
    if (keep) FList.push_back(e.Name);
  }
  return static_cast<int>(FList.size());
}

int clsFilter::sGetFoldersFSO(std::vector<std::u16string>& FList, const std::u16string& Path) const {
  FList.clear();
  std::vector<platform::DirEntry> entries;
  platform::ListFolder(Path.empty() ? platform::CurrentDirectory() : Path, entries);
  for (const auto& e : entries) {
    if (!(e.Attributes & platform::kAttrDirectory)) continue;
    const bool shares = (e.Attributes & attr_mask_) != 0;
    if (attr_or_ ? shares : !shares) FList.push_back(e.Name);
  }
  return static_cast<int>(FList.size());
}
