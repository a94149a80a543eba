// The file list of one folder: the names of the files directly in it, narrowed by an include list
// and an exclude list of ";"-separated wildcard patterns and by file attributes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "toolkit/clsMatching.h"
#include "toolkit/platform/fs.h"

class clsFilter {
 public:
  bool IsFile = true;     // list files
  bool IsFolder = false;  // list subfolders, after the files

  // Attribute bits (1 read-only, 2 hidden, 4 system, 32 archive) and how they apply.
  int Attr() const { return attr_; }
  void SetAttr(int value);
  bool AttrOr() const { return attr_or_; }
  void SetAttrOr(bool value);

  // List 0 is the include list, list 1 the exclude list.
  bool IsMatchOther(int Index) const { return lists_[Index & 1].on; }
  void SetIsMatchOther(int Index, bool value) { lists_[Index & 1].on = value; }
  const std::u16string& Patterns(int Index) const { return lists_[Index & 1].patterns; }
  void SetPatterns(int Index, const std::u16string& value) { lists_[Index & 1].patterns = value; }

  // Fills the file list of the folder (empty when it does not exist).
  void MakeFileList(const std::u16string& Path);
  // Fills the file list of an open folder; false, with the file list empty, when the folder cannot
  // be listed. The whole listing stays at hand in Entries() for the run that asked.
  [[nodiscard]] bool MakeFileList(const platform::Folder& folder, platform::IoError& error);
  const std::vector<platform::DirEntry>& Entries() const { return entries_; }
  int ListCount() const { return static_cast<int>(list_.size()); }
  const std::u16string& ListItem(int Index) const { return list_.at(static_cast<std::size_t>(Index)); }
  const std::vector<std::u16string>& List() const { return list_; }

  // The names of the files, or of the subfolders, of a folder that pass the attribute rule, in the
  // platform's order; the result is their count. An empty path is the current folder.
  int sGetFiles(std::vector<std::u16string>& FList, const std::u16string& Path);
  int sGetFoldersFSO(std::vector<std::u16string>& FList, const std::u16string& Path);

  // The attribute set the programs use: every file that is neither hidden nor system.
  static constexpr int kDefaultAttr = platform::kAttrReadOnly | platform::kAttrArchive;

 private:
  // How a pattern list takes part in a listing.
  enum class ListMode {
    MatchAll,  // switched on, but its patterns match every name (an empty text, "*")
    Patterns,  // switched on, its patterns decide
    Off,       // switched off (the exclude list; an include list switched off matches every name)
  };
  struct PatternList {
    bool on = false;
    std::u16string patterns;
    std::u16string last;
    bool active = false;  // false: the list counts as matching every name
    std::vector<std::unique_ptr<clsMatching>> matchers;
    std::size_t count = 0;  // entries in use
    bool Refresh();
    // Not const: a match records what each wildcard covered in the matcher.
    bool Matches(const std::u16string& name);
  };

  void FilterEntries(std::vector<std::u16string>& FList, bool folders) const;
  void AppendFiltered(const std::vector<std::u16string>& names, ListMode include, ListMode exclude);
  // Whether the attribute rule needs the read-only bit, which a listing may not tell.
  bool NeedsReadOnly() const;

  int attr_ = kDefaultAttr;
  bool attr_or_ = false;
  int attr_mask_ = kDefaultAttr ^ platform::kAttrKnownBits;
  PatternList lists_[2];
  std::vector<std::u16string> list_;
  std::vector<platform::DirEntry> entries_;
  const platform::Folder* folder_ = nullptr;  // the folder of entries_, while a listing reads it
};
