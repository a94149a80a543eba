#include "toolkit/clsFilter.h"

#include "toolkit/mdlEvents.h"

namespace {

bool OnlyStarsAndSemicolons(const std::u16string& text) {
  return text.find_first_not_of(u"*;") == std::u16string::npos;
}

}  // namespace

void clsFilter::SetAttr(int value) {
  attr_ = value;
  attr_mask_ = attr_or_ ? attr_ : attr_ ^ platform::kAttrKnownBits;
}

void clsFilter::SetAttrOr(bool value) {
  attr_or_ = value;
  attr_mask_ = attr_or_ ? attr_ : attr_ ^ platform::kAttrKnownBits;
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

bool clsFilter::PatternList::Matches(const std::u16string& name) {
  for (std::size_t k = 0; k < count; ++k) {
    if (matchers[k]->IsMatch(name)) return true;
  }
  return false;
}

void clsFilter::MakeFileList(const std::u16string& Path) {
  platform::IoError error;
  const platform::Folder folder =
      platform::Folder::Open(Path.empty() ? platform::CurrentDirectory() : Path, error);
  if (!folder.IsOpen()) {
    // A folder that does not exist lists nothing.
    mdlEvents::DoEvents();
    list_.clear();
    entries_.clear();
    return;
  }
  (void)MakeFileList(folder, error);
}

bool clsFilter::MakeFileList(const platform::Folder& folder, platform::IoError& error) {
  mdlEvents::DoEvents();
  const ListMode include = !lists_[0].on ? ListMode::MatchAll
                           : lists_[0].Refresh() ? ListMode::Patterns
                                                 : ListMode::MatchAll;
  const ListMode exclude = !lists_[1].on ? ListMode::Off
                           : lists_[1].Refresh() ? ListMode::Patterns
                                                 : ListMode::MatchAll;
  list_.clear();
  if (!folder.List(entries_, error)) return false;
  folder_ = &folder;
  std::vector<std::u16string> names;
  if (IsFile) {
    FilterEntries(names, false);
    AppendFiltered(names, include, exclude);
  }
  if (IsFolder) {
    FilterEntries(names, true);
    AppendFiltered(names, include, exclude);
  }
  folder_ = nullptr;
  return true;
}

void clsFilter::AppendFiltered(const std::vector<std::u16string>& names, ListMode include, ListMode exclude) {
  // An exclude list that matches every name leaves nothing.
  if (exclude == ListMode::MatchAll) return;
  for (const auto& name : names) {
    if (include == ListMode::Patterns && !lists_[0].Matches(name)) continue;
    if (exclude == ListMode::Patterns && lists_[1].Matches(name)) continue;
    list_.push_back(name);
  }
}

bool clsFilter::NeedsReadOnly() const {
  // The default rule keeps every file that is neither hidden nor system, read-only or not.
  return attr_or_ || !((attr_ & platform::kAttrReadOnly) && (attr_ & platform::kAttrArchive));
}

void clsFilter::FilterEntries(std::vector<std::u16string>& FList, bool folders) const {
  FList.clear();
  const bool read_only = NeedsReadOnly();
  for (const platform::DirEntry& e : entries_) {
    int bits = e.Attributes & platform::kAttrKnownBits;
    if (read_only && folder_ != nullptr && !e.Dangling) {
      platform::FileInfo info;
      platform::IoError ignored;
      if (folder_->Info(e.Name, info, true, ignored)) bits |= info.Attributes & platform::kAttrReadOnly;
    }
    if (folders) {
      if (!e.IsFolder()) continue;
      const bool shares = ((e.Attributes | bits) & attr_mask_) != 0;
      if (attr_or_ ? shares : !shares) FList.push_back(e.Name);
      continue;
    }
    // A link that points to nothing is no file that could be read.
    if (e.IsFolder() || e.Dangling) continue;
    bool keep;
    if (attr_or_) {
      keep = (bits & attr_) != 0;
    } else if (!read_only) {
      // Every file, hidden ones only when asked for, system ones likewise.
      keep = (!(bits & platform::kAttrHidden) || (attr_ & platform::kAttrHidden)) &&
             (!(bits & platform::kAttrSystem) || (attr_ & platform::kAttrSystem));
    } else {
      keep = (bits & (platform::kAttrKnownBits & ~attr_)) == 0;
    }
    if (keep) FList.push_back(e.Name);
  }
}

int clsFilter::sGetFiles(std::vector<std::u16string>& FList, const std::u16string& Path) {
  platform::IoError error;
  const platform::Folder folder = platform::Folder::Open(Path.empty() ? platform::CurrentDirectory() : Path, error);
  entries_.clear();
  if (folder.IsOpen() && folder.List(entries_, error)) folder_ = &folder;
  FilterEntries(FList, false);
  folder_ = nullptr;
  return static_cast<int>(FList.size());
}

int clsFilter::sGetFoldersFSO(std::vector<std::u16string>& FList, const std::u16string& Path) {
  platform::IoError error;
  const platform::Folder folder = platform::Folder::Open(Path.empty() ? platform::CurrentDirectory() : Path, error);
  entries_.clear();
  if (folder.IsOpen() && folder.List(entries_, error)) folder_ = &folder;
  FilterEntries(FList, true);
  folder_ = nullptr;
  return static_cast<int>(FList.size());
}
