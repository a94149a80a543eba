// Deleting a folder tree, or moving it to the trash, without following a link or a mount point, or
// passing a folder or file to keep.
#include "toolkit/platform/win32.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_win.h"

namespace platform {
namespace {

// Calls visit(fd) for each entry of the folder but "." and ".."; false, with the reason, when the
// folder cannot be listed to its end. A drive's root has no "." and "..": an empty root finds
// nothing at all.
template <class Visit>
bool EachEntry(const std::wstring& folder, IoError& error, Visit visit) {
  WIN32_FIND_DATAW fd;
  Search search(FindFirstFileExW(Child(folder, u"*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                                 FIND_FIRST_EX_LARGE_FETCH));
  if (!search.ok()) {
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND || Fail(error, code);
  }
  do {
    if (std::wcscmp(fd.cFileName, L".") != 0 && std::wcscmp(fd.cFileName, L"..") != 0) visit(fd);
  } while (FindNextFileW(search.get(), &fd));
  const DWORD code = GetLastError();
  return code == ERROR_NO_MORE_FILES || Fail(error, code);
}

}  // namespace

bool IsMountEntry(std::uint32_t attributes, std::uint32_t tag) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (tag == IO_REPARSE_TAG_MOUNT_POINT || tag == 0);
}

class TreeRemover {
 public:
  explicit TreeRemover(TreeRemoval& removal) : r_(removal) {}

  bool Remove(const Folder& parent, const std::u16string& name) {
    const std::u16string path = parent.PathOf(name);
    IoError error;
    Look look;
    // The tree is walked by its paths: only while the folder's path still leads to the folder opened.
    if (parent.native_.empty()) return Refused(path, error = {ERROR_INVALID_HANDLE});
    if (const DWORD invalid = NameError(name)) return Refused(path, error = {static_cast<int>(invalid)});
    const std::wstring native = Child(W(parent.native_), name);
    if (!NamesHere(H(parent.handle_), W(parent.native_), error) || !LookAt(native, look, error)) {
      return Refused(path, error);
    }
    if (IsMount(look)) return Stay(path, TreeRemoval::Why::MountPoint);
    if (!look.IsRealFolder()) {
      if (r_.KeepFile && r_.KeepFile(name)) return Stay(path, TreeRemoval::Why::KeptFile);
      if (r_.CheckOnly) return true;
      if (r_.ToTrash) return Trashed(parent, name, path);
      if (!RemoveEntry(native, look, error)) return Refused(path, error);
      ++r_.Removed;
      return true;
    }
    std::pair<std::uint64_t, std::uint64_t> id;
    if (!IdentityOf(native, id.first, id.second, error)) return Refused(path, error);
    if (IsKept(id)) return Stay(path, TreeRemoval::Why::Kept);
    // Only a folder on the same volume can be one to keep: a tree elsewhere is not searched for one.
    for (const auto& kept : r_.Keep) check_ids_ = check_ids_ || kept.first == id.first;
    if (r_.ToTrash && !Unheld(Sub(native, path))) return false;
    if (check_ids_ || r_.KeepFile || r_.ToTrash) {
      TreeRemoval::Why why = TreeRemoval::Why::Failed;
      if (!Scan(native, path, why, error)) return Stay(path, why, error);
      if (told_) return false;
    }
    if (r_.CheckOnly) return true;
    if (r_.ToTrash) return Trashed(parent, name, path);
    if (!EmptyLocked(Sub(native, path))) return false;
    if (!RemoveEmptiedFolder(native, look.attributes, error)) return Refused(path, error);
    ++r_.Removed;
    return true;
  }

 private:
  static bool IsMount(const Look& look) { return IsMountEntry(look.attributes, look.tag); }
  static Look LookOf(const WIN32_FIND_DATAW& fd) {
    Look look;
    look.attributes = fd.dwFileAttributes;
    look.tag = fd.dwReserved0;
    return look;
  }
  // A folder of the tree, opened by its path but never through a link, for its lock is taken on its
  // opening: one that will not open so (swapped for a link meanwhile) has none, and is refused.
  static Folder Sub(const std::wstring& native, const std::u16string& path) {
    Folder folder;
    Handle h(OpenEntry(native, FILE_READ_ATTRIBUTES, false));
    FILE_ATTRIBUTE_TAG_INFO tag{};
    IoError ignored;
    if (h.ok() && TagOf(h.get(), tag, ignored) && (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        !IsLinkEntry(tag.FileAttributes, tag.ReparseTag)) {
      folder.handle_ = Value(h.release());
    }
    folder.native_ = U(native);
    folder.path_ = path;
    return folder;
  }

  bool IsKept(const std::pair<std::uint64_t, std::uint64_t>& id) const {
    return std::find(r_.Keep.begin(), r_.Keep.end(), id) != r_.Keep.end();
  }
  // Whether a folder is one to keep; false, with the reason recorded, when it cannot be told.
  bool Kept(const std::wstring& native, const std::u16string& path, bool& kept) {
    std::pair<std::uint64_t, std::uint64_t> id;
    IoError error;
    if (!IdentityOf(native, id.first, id.second, error)) return Refused(path, error);
    kept = IsKept(id);
    return true;
  }

  // Records what stayed; always false, the tree's answer.
  bool Stay(const std::u16string& path, TreeRemoval::Why why, const IoError& error = {}) {
    r_.Stayed.push_back({path, why, error});
    return false;
  }
  bool Refused(const std::u16string& path, IoError& error) {
    if (!error) Fail(error);
    return Stay(path, TreeRemoval::Why::Failed, error);
  }

  bool Trashed(const Folder& parent, const std::u16string& name, const std::u16string& path) {
    IoError error;
    if (!parent.Trash(name, error)) return Refused(path, error);
    ++r_.Removed;
    return true;
  }

  // Records where a cause of a whole tree's stay lies.
  void Told(const std::u16string& path, TreeRemoval::Why why, const IoError& error = {}) {
    told_ = true;
    Stay(path, why, error);
  }

  // Whether no other run holds a folder. Its lock is given back at once: the shell moves no folder
  // that a handle inside it holds open, this run's own included. Recorded (Told) otherwise.
  bool Unheld(const Folder& folder) {
    FolderLock lock;
    IoError error;
    if (lock.Acquire(folder, error)) return true;
    Told(folder.Path(), error ? TreeRemoval::Why::Failed : TreeRemoval::Why::Held, error);
    return false;
  }

  // Whether the tree below a folder may go: it holds no folder nor file to keep. What a junction
  // or a mounted volume names is not searched, for it is never entered. A tree bound for the trash,
  // which would take it along, stays whole for it too, and for a folder another run holds: each is
  // recorded where it lies, told_ is set, and the search goes on for all of them.
  bool Scan(const std::wstring& folder, const std::u16string& shown, TreeRemoval::Why& why, IoError& error) {
    bool ok = true;
    const bool listed = EachEntry(folder, error, [&](const WIN32_FIND_DATAW& fd) {
      const Look look = LookOf(fd);
      if (!ok) return;
      if (IsMount(look)) {
        if (r_.ToTrash) Told(JoinPath(shown, U(fd.cFileName)), TreeRemoval::Why::MountPoint);
        return;
      }
      if (!look.IsRealFolder()) {
        if (r_.KeepFile && r_.KeepFile(U(fd.cFileName))) {
          why = TreeRemoval::Why::HoldsKeptFile;
          ok = false;
        }
        return;
      }
      const std::wstring path = Child(folder, U(fd.cFileName));
      const std::u16string sub_shown = r_.ToTrash ? JoinPath(shown, U(fd.cFileName)) : shown;
      std::pair<std::uint64_t, std::uint64_t> id;
      if (check_ids_ && !IdentityOf(path, id.first, id.second, error)) {
        ok = false;
      } else if (check_ids_ && IsKept(id)) {
        why = TreeRemoval::Why::HoldsKept;
        ok = false;
      } else {
        // A held folder is not searched further: it stays whatever it holds.
        ok = (r_.ToTrash && !Unheld(Sub(path, sub_shown))) || Scan(path, sub_shown, why, error);
      }
    });
    return listed && ok;
  }

  // Empties a folder under its lock, taken as any run takes it; a folder another run holds is left.
  bool EmptyLocked(const Folder& folder) {
    FolderLock lock;
    IoError error;
    if (!lock.Acquire(folder, error)) {
      return Stay(folder.Path(), error ? TreeRemoval::Why::Failed : TreeRemoval::Why::Held, error);
    }
    return Empty(folder);
  }

  // Removes everything inside a folder; true when it is empty.
  bool Empty(const Folder& folder) {
    const std::wstring native = W(folder.native_);
    bool ok = true;
    IoError error;
    const bool listed = EachEntry(native, error, [&](const WIN32_FIND_DATAW& fd) {
      const std::u16string name = U(fd.cFileName);
      const std::wstring path = Child(native, name);
      const Look look = LookOf(fd);
      IoError failed;
      if (IsMount(look)) {
        ok = Stay(folder.PathOf(name), TreeRemoval::Why::MountPoint);
      } else if (!look.IsRealFolder()) {
        if (r_.KeepFile && r_.KeepFile(name)) {
          ok = Stay(folder.PathOf(name), TreeRemoval::Why::KeptFile);
        } else if (RemoveEntry(path, look, failed)) {
          ++r_.Removed;
        } else {
          ok = Refused(folder.PathOf(name), failed);
        }
      } else {
        bool kept = false;
        if (check_ids_ && !Kept(path, folder.PathOf(name), kept)) {
          ok = false;
        } else if (kept) {
          ok = Stay(folder.PathOf(name), TreeRemoval::Why::Kept);
        } else if (!EmptyLocked(Sub(path, folder.PathOf(name)))) {
          ok = false;
        } else if (RemoveEmptiedFolder(path, look.attributes, failed)) {
          ++r_.Removed;
        } else {
          ok = Refused(folder.PathOf(name), failed);
        }
      }
    });
    return listed ? ok : Refused(folder.Path(), error);
  }

  TreeRemoval& r_;
  bool check_ids_ = false;
  bool told_ = false;  // a scan recorded where the cause of a stay lies
};

bool Folder::RemoveTree(const std::u16string& name, TreeRemoval& removal, bool) const {
  return TreeRemover(removal).Remove(*this, name);
}


}  // namespace platform
