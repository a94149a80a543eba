// The entries of a folder, listed once, and the one way the three programs look a name up in it.
//
// A name finds, in this order: the entry stored exactly so; the entry whose stored bytes are the
// name's bytes as a chart holds them (a Shift-JIS chart naming a file stored under a Shift-JIS
// name, a UTF-8 chart naming one stored in UTF-8); else the first entry in name order that equals
// it either way with ASCII letters folded, as the Windows file system finds names. Only a letter
// that stands alone folds: the second byte of a Shift-JIS pair is part of its character (ア is
// 83 41, ヂ 83 61). A name with no lossless form in the chart's encoding is compared as text only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "toolkit/platform/fs.h"
#include "toolkit/text/Codecs.h"

class FolderIndex {
 public:
  FolderIndex() = default;
  explicit FolderIndex(std::vector<platform::DirEntry> entries) { Assign(std::move(entries)); }

  // Takes a listing (in name order, as Folder::List gives it).
  void Assign(std::vector<platform::DirEntry> entries);
  [[nodiscard]] bool Load(const platform::Folder& folder, platform::IoError& error);

  // How a chart holds a name's text: appends its bytes; false when a character has no form there
  // (text::EncodeCp932 for a Shift-JIS chart, text::EncodeUtf8 for a UTF-8 one).
  using ChartEncoder = bool (*)(std::u16string_view text, std::string& out);

  // The entry a name finds, or nullptr; `encode` gives the bytes it is compared with stored bytes by.
  const platform::DirEntry* Find(const std::u16string& name, ChartEncoder encode = text::EncodeCp932) const;
  // Forgets an entry once it has been deleted, so that the next lookup finds what is left.
  void Forget(const platform::DirEntry* entry);

  const std::vector<platform::DirEntry>& Entries() const { return entries_; }
  // The names of the real subfolders in name order; links to folders are left out, for they may
  // lead out of the tree or back into it.
  std::vector<std::u16string> Subfolders() const;

  // The key every lookup folds a name to: ASCII letters lowered, nothing else changed.
  static std::u16string Folded(const std::u16string& name);

 private:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  using Chains = std::vector<std::uint32_t>;
  // The entry of a chain that `same` accepts, else the chain's first live entry.
  template <class Map, class Same>
  const platform::DirEntry* FindIn(const Map& heads, const Chains& next, const typename Map::key_type& folded,
                                   Same same) const;
  void BuildBytes() const;

  std::vector<platform::DirEntry> entries_;
  std::vector<bool> gone_;
  std::unordered_map<std::u16string, std::uint32_t> text_;  // folded name -> first entry in name order
  Chains text_next_;                                       // the next entry with the same folded name
  // The stored bytes of every name, folded likewise (standalone ASCII letters of a Shift-JIS
  // reading); built at the first lookup that needs them.
  mutable bool bytes_built_ = false;
  mutable std::vector<std::string> bytes_;
  mutable std::unordered_map<std::string, std::uint32_t> bytes_heads_;
  mutable Chains bytes_next_;
};

// Files named relative to a folder ("snd\kick.ogg": "\" and the platform's separator both part
// folders), each name looked up as FolderIndex looks it up. Every folder is listed once for the
// life of the object.
class StoredFiles {
 public:
  enum class Result { Found, Absent, Failed };

  // Lends an open folder and its listing, so that the folder is neither opened nor listed again.
  // The folder must stay open while this object uses it.
  void Seed(const platform::Folder& folder, std::vector<platform::DirEntry> entries);
  // Whether `relative` names a file (not a folder) below `folder`, each name looked up with the
  // chart's `encode`. A folder on the way that cannot be listed is no answer: Failed, with the
  // reason in `why`. `stored`, when given, receives the entries found on the way, one for each name
  // of `relative` that is not empty, the file's last.
  Result FindFile(const std::u16string& folder, const std::u16string& relative, std::u16string& why,
                  FolderIndex::ChartEncoder encode = text::EncodeCp932,
                  std::vector<platform::DirEntry>* stored = nullptr);
  // Forgets a folder lent by Seed, and every folder below it.
  void Forget(const std::u16string& folder);
  void Clear() { nodes_.clear(); }

 private:
  struct Node {
    platform::Folder owned;
    const platform::Folder* folder = nullptr;
    FolderIndex index;
    std::u16string failure;  // why the folder could not be opened or listed
  };
  Node& NodeFor(const std::u16string& path, const Node* parent, const std::u16string& name);

  std::unordered_map<std::u16string, std::unique_ptr<Node>> nodes_;
};
