// The file list of one folder: the names of the files directly in it that are neither hidden nor
// system files, narrowed by an include list and an exclude list of ";"-separated wildcard patterns.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/match/Matcher.h"
#include "toolkit/platform/fs.h"

class FileFilter {
 public:
  // Lets the user interface handle what is pending before each listing (a window's event loop).
  std::function<void()> Pump;

  // List 0 is the include list, list 1 the exclude list.
  void SetIsMatchOther(int list, bool value) { lists_[list & 1].on = value; }
  void SetPatterns(int list, const std::u16string &value) {
    lists_[list & 1].patterns = value;
  }

  // Fills the file list of the folder (empty when it does not exist).
  void MakeFileList(const std::u16string &path);
  // Fills the file list of an open folder; false, with the file list empty, when the folder cannot
  // be listed. The whole listing stays at hand in Entries() for the run that asked.
  [[nodiscard]] bool MakeFileList(const platform::Folder& folder, platform::IoError& error);
  const std::vector<platform::DirEntry>& Entries() const { return entries_; }
  const std::vector<std::u16string>& List() const { return list_; }

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
    std::vector<std::unique_ptr<Matcher>> matchers;
    std::size_t count = 0;  // entries in use
    bool Refresh();
    // Not const: a match records what each wildcard covered in the matcher.
    bool Matches(const std::u16string& name);
  };

  PatternList lists_[2];
  std::vector<std::u16string> list_;
  std::vector<platform::DirEntry> entries_;
};
