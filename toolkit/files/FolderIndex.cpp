#include "toolkit/files/FolderIndex.h"

#include "toolkit/text/Compare.h"
#include "toolkit/text/Codecs.h"

namespace {

// The bytes with each capital that stands alone in a Shift-JIS reading lowered. Bytes in any
// encoding are read so: UTF-8 holds a letter only as itself, and at worst a letter after a byte
// that could begin a pair keeps its case.
std::string FoldedBytes(std::string bytes) {
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n; ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (text::IsCp932Lead(b) && i + 1 < n && text::IsCp932Trail(static_cast<unsigned char>(bytes[i + 1]))) {
      ++i;
    } else if (b >= 'A' && b <= 'Z') {
      bytes[i] = char(b + 32);
    }
  }
  return bytes;
}

}  // namespace

std::u16string FolderIndex::Folded(const std::u16string& name) {
  std::u16string out = name;
  for (char16_t& c : out) c = text::FoldAscii(c);
  return out;
}

void FolderIndex::Assign(std::vector<platform::DirEntry> entries) {
  entries_ = std::move(entries);
  gone_.assign(entries_.size(), false);
  text_.clear();
  text_.reserve(entries_.size());
  text_next_.assign(entries_.size(), kNone);
  bytes_built_ = false;
  bytes_.clear();
  bytes_heads_.clear();
  bytes_next_.clear();
  // Walked backwards so that each chain runs in name order from its head.
  for (std::size_t i = entries_.size(); i-- > 0;) {
    auto [it, fresh] = text_.try_emplace(Folded(entries_[i].Name), static_cast<std::uint32_t>(i));
    if (!fresh) {
      text_next_[i] = it->second;
      it->second = static_cast<std::uint32_t>(i);
    }
  }
}

bool FolderIndex::Load(const platform::Folder& folder, platform::IoError& error) {
  std::vector<platform::DirEntry> entries;
  if (!folder.List(entries, error)) return false;
  Assign(std::move(entries));
  return true;
}

void FolderIndex::BuildBytes() const {
  bytes_built_ = true;
  bytes_.resize(entries_.size());
  bytes_next_.assign(entries_.size(), kNone);
  bytes_heads_.reserve(entries_.size());
  for (std::size_t i = entries_.size(); i-- > 0;) {
    bytes_[i] = platform::NativeBytes(entries_[i].Name);
    auto [it, fresh] = bytes_heads_.try_emplace(FoldedBytes(bytes_[i]), static_cast<std::uint32_t>(i));
    if (!fresh) {
      bytes_next_[i] = it->second;
      it->second = static_cast<std::uint32_t>(i);
    }
  }
}

template <class Map, class Same>
const platform::DirEntry* FolderIndex::FindIn(const Map& heads, const Chains& next,
                                                 const typename Map::key_type& folded, Same same) const {
  const auto head = heads.find(folded);
  if (head == heads.end()) return nullptr;
  const platform::DirEntry* first = nullptr;
  for (std::uint32_t i = head->second; i != kNone; i = next[i]) {
    if (gone_[i]) continue;
    if (same(i)) return &entries_[i];
    if (first == nullptr) first = &entries_[i];
  }
  return first;
}

const platform::DirEntry* FolderIndex::Find(const std::u16string& name, ChartEncoder encode) const {
  if (name.empty()) return nullptr;
  const platform::DirEntry* by_text =
      FindIn(text_, text_next_, Folded(name), [&](std::uint32_t i) { return entries_[i].Name == name; });
  if (by_text != nullptr && by_text->Name == name) return by_text;
  // The chart's own bytes: only a name that is not plain text in the file system's own encoding
  // needs them, so most lookups end above. A name the chart cannot hold has none: a stand-in such
  // as "?" would find another file.
  std::string bytes;
  if (!encode(name, bytes)) return by_text;
  if (!bytes_built_) BuildBytes();
  const platform::DirEntry* by_bytes =
      FindIn(bytes_heads_, bytes_next_, FoldedBytes(bytes), [&](std::uint32_t i) { return bytes_[i] == bytes; });
  if (by_bytes != nullptr && bytes_[static_cast<std::size_t>(by_bytes - entries_.data())] == bytes) return by_bytes;
  if (by_text == nullptr) return by_bytes;
  if (by_bytes == nullptr) return by_text;
  return by_text < by_bytes ? by_text : by_bytes;  // the first in name order
}

void FolderIndex::Forget(const platform::DirEntry* entry) {
  if (entry == nullptr) return;
  gone_[static_cast<std::size_t>(entry - entries_.data())] = true;
}

std::vector<std::u16string> FolderIndex::Subfolders() const {
  std::vector<std::u16string> names;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (!gone_[i] && entries_[i].IsRealFolder()) names.push_back(entries_[i].Name);
  }
  return names;
}

// ---- StoredFiles ----------------------------------------------------------------------------

void StoredFiles::Seed(const platform::Folder& folder, std::vector<platform::DirEntry> entries) {
  auto node = std::make_unique<Node>();
  node->folder = &folder;
  node->index.Assign(std::move(entries));
  nodes_[folder.Path()] = std::move(node);
}

void StoredFiles::Forget(const std::u16string& folder) {
  const std::u16string below = platform::JoinPath(folder, u"");
  for (auto it = nodes_.begin(); it != nodes_.end();) {
    const bool inside = it->first == folder || it->first.compare(0, below.size(), below) == 0;
    it = inside ? nodes_.erase(it) : std::next(it);
  }
}

StoredFiles::Node& StoredFiles::NodeFor(const std::u16string& path, const Node* parent,
                                              const std::u16string& name) {
  std::unique_ptr<Node>& slot = nodes_[path];
  if (slot) return *slot;
  slot = std::make_unique<Node>();
  Node& node = *slot;
  platform::IoError error;
  node.owned = parent != nullptr ? parent->folder->OpenSub(name, error) : platform::Folder::Open(path, error);
  if (node.owned.IsOpen()) {
    node.folder = &node.owned;
    if (node.index.Load(node.owned, error)) return node;
  }
  node.failure = path + u": " + platform::ErrorText(error);
  return node;
}

StoredFiles::Result StoredFiles::FindFile(const std::u16string& folder, const std::u16string& relative,
                                                std::u16string& why, FolderIndex::ChartEncoder encode,
                                                std::vector<platform::DirEntry>* stored) {
  if (stored != nullptr) stored->clear();
  Node* node = &NodeFor(folder, nullptr, std::u16string());
  std::u16string path = folder;
  std::size_t i = 0;
  for (;;) {
    if (!node->failure.empty()) {
      why = node->failure;
      return Result::Failed;
    }
    std::size_t j = i;
    while (j < relative.size() && relative[j] != u'\\' && !platform::IsSeparator(relative[j])) ++j;
    const std::u16string name = relative.substr(i, j - i);
    const bool last = j >= relative.size();
    if (name.empty()) {
      if (last) return Result::Absent;  // a name that ends in a separator names no file
      i = j + 1;
      continue;
    }
    const platform::DirEntry* entry = node->index.Find(name, encode);
    if (entry == nullptr) return Result::Absent;
    if (stored != nullptr) stored->push_back(*entry);
    if (last) return entry->IsFile() ? Result::Found : Result::Absent;
    if (!entry->IsFolder() || entry->Dangling) return Result::Absent;
    path = platform::JoinPath(path, entry->Name);
    // A linked folder on the way is followed by its path: the chart names it, and only reading
    // happens there.
    const auto known = nodes_.find(path);
    node = known != nodes_.end() ? known->second.get() : &NodeFor(path, entry->IsLink ? nullptr : node, entry->Name);
    i = j + 1;
  }
}
