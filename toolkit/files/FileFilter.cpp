#include "toolkit/files/FileFilter.h"


namespace {

bool OnlyStarsAndSemicolons(const std::u16string& text) {
  return text.find_first_not_of(u"*;") == std::u16string::npos;
}

}  // namespace

// Rebuilds the matchers only when the text changed; returns whether the list is active.
bool FileFilter::PatternList::Refresh() {
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
      matchers[k] = std::make_unique<Matcher>();
      matchers[k]->SetFileNameMode(true);
      matchers[k]->SetCmpMode(text::CaseMode::Text);
    }
    matchers[k]->SetMatchPattern(entries[k]);
  }
  count = n;
  return active;
}

bool FileFilter::PatternList::Matches(const std::u16string& name) {
  for (std::size_t k = 0; k < count; ++k) {
    if (matchers[k]->IsMatch(name)) return true;
  }
  return false;
}

void FileFilter::MakeFileList(const std::u16string &path) {
  platform::IoError error;
  const platform::Folder folder = platform::Folder::Open(
      path.empty() ? platform::CurrentDirectory() : path, error);
  if (!folder.IsOpen()) {
    // A folder that does not exist lists nothing.
    if (Pump) Pump();
    list_.clear();
    entries_.clear();
    return;
  }
  (void)MakeFileList(folder, error);
}

bool FileFilter::MakeFileList(const platform::Folder& folder, platform::IoError& error) {
  if (Pump) Pump();
  const ListMode include = !lists_[0].on ? ListMode::MatchAll
                           : lists_[0].Refresh() ? ListMode::Patterns
                                                 : ListMode::MatchAll;
  const ListMode exclude = !lists_[1].on ? ListMode::Off
                           : lists_[1].Refresh() ? ListMode::Patterns
                                                 : ListMode::MatchAll;
  list_.clear();
  if (!folder.List(entries_, error)) return false;
  // An exclude list that matches every name leaves nothing.
  if (exclude == ListMode::MatchAll) return true;
  for (const platform::DirEntry& e : entries_) {
    // A link that points to nothing is no file that could be read.
    if (e.IsFolder() || e.Dangling) continue;
    if ((e.Attributes & (platform::kAttrHidden | platform::kAttrSystem)) != 0) continue;
    if (include == ListMode::Patterns && !lists_[0].Matches(e.Name)) continue;
    if (exclude == ListMode::Patterns && lists_[1].Matches(e.Name)) continue;
    list_.push_back(e.Name);
  }
  return true;
}
