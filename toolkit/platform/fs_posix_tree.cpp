// Deleting a folder tree, or moving it to the trash, without crossing into another mount, through a
// link, or past a folder or file to keep.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_posix.h"

namespace platform {

class TreeRemover {
 public:
  explicit TreeRemover(TreeRemoval& removal) : r_(removal) {}

  bool Remove(const Folder& parent, const std::u16string& name, bool folder) {
    const int dirfd = static_cast<int>(parent.handle_);
    const std::string native = Native(name);
    const std::u16string path = parent.PathOf(name);
    IoError error;
    if (!folder) {
      struct stat st {};
      if (fstatat(dirfd, native.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return Refused(path, error);
      if (!S_ISDIR(st.st_mode)) {
        if (r_.KeepFile && r_.KeepFile(name)) return Stay(path, TreeRemoval::Why::KeptFile);
        if (r_.CheckOnly) return true;
        if (r_.ToTrash) return Trashed(parent, name, path);
        if (unlinkat(dirfd, native.c_str(), 0) != 0) return Refused(path, error);
        ++r_.Removed;
        return true;
      }
    }
    const bool rules = r_.KeepFile || !r_.Keep.empty();
    // A tree bound for the trash keeps its permissions: it is to come back as it was.
    Folder root = Open(dirfd, native, path, !rules && !r_.CheckOnly && !r_.ToTrash, error);
    Place home, here;
    if (!root.IsOpen() || !PlaceOf(dirfd, home, error) || !PlaceOf(Handle(root), here, error)) {
      return Refused(path, error);
    }
    if (Crosses(home, here)) return Stay(path, TreeRemoval::Why::MountPoint);
    if (IsKept(here)) return Stay(path, TreeRemoval::Why::Kept);
    tree_ = here;
    // Only a folder on the same device can be one to keep: a tree elsewhere is not searched for one.
    for (const auto& kept : r_.Keep) check_ids_ = check_ids_ || kept.first == here.device;
    // A tree that moves as one is held for as long as it moves, as a run holds a folder it changes.
    FolderLock lock;
    if (r_.ToTrash && !lock.Acquire(root, error)) {
      return Stay(path, error ? TreeRemoval::Why::Failed : TreeRemoval::Why::Held, error);
    }
    if (check_ids_ || r_.KeepFile || r_.ToTrash) {
      TreeRemoval::Why why = TreeRemoval::Why::Failed;
      if (!Scan(Handle(root), path, why, error)) return Stay(path, why, error);
      if (told_) return false;
    }
    if (r_.CheckOnly) return true;
    if (r_.ToTrash) return Trashed(parent, name, path);
    if (!EmptyLocked(root)) return false;
    root = Folder();  // closed before the folder goes, as below
    if (unlinkat(dirfd, native.c_str(), AT_REMOVEDIR) != 0) return Refused(path, error);
    ++r_.Removed;
    return true;
  }

 private:
  static int Handle(const Folder& folder) { return static_cast<int>(folder.handle_); }

  // A subfolder, never through a link. A folder that may not be read is made readable when
  // `open_up`: it is going anyway.
  static Folder Open(int dirfd, const std::string& name, const std::u16string& path, bool open_up, IoError& error) {
    Folder folder;
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = openat(dirfd, name.c_str(), kFlags);
    if (fd < 0 && errno == EACCES && open_up && fchmodat(dirfd, name.c_str(), S_IRWXU, AT_SYMLINK_NOFOLLOW) == 0) {
      fd = openat(dirfd, name.c_str(), kFlags);
    }
    if (fd < 0) {
      Fail(error);
      return folder;
    }
    folder.handle_ = fd;
    folder.path_ = path;
    return folder;
  }

  bool IsKept(const Place& place) const {
    return std::find(r_.Keep.begin(), r_.Keep.end(), std::make_pair(place.device, place.id)) != r_.Keep.end();
  }

  // Records what stayed; always false, the tree's answer.
  bool Stay(const std::u16string& path, TreeRemoval::Why why, const IoError& error = {}) {
    r_.Stayed.push_back({path, why, error});
    return false;
  }
  // Records a failure of the system; errno tells why when `error` does not yet.
  bool Refused(const std::u16string& path, IoError& error) {
    if (!error) Fail(error);
    return Stay(path, TreeRemoval::Why::Failed, error);
  }

  // Records where a cause of a whole tree's stay lies.
  void Told(const std::u16string& path, TreeRemoval::Why why, const IoError& error = {}) {
    told_ = true;
    Stay(path, why, error);
  }

  bool Trashed(const Folder& parent, const std::u16string& name, const std::u16string& path) {
    IoError error;
    if (!parent.Trash(name, error)) return Refused(path, error);
    ++r_.Removed;
    return true;
  }

  // The kind of an entry the listing did not tell; false when it has gone.
  static bool Kind(int dirfd, RawEntry& entry, IoError& error) {
    if (entry.type != DT_UNKNOWN) return true;
    struct stat st {};
    if (fstatat(dirfd, entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno != ENOENT && Fail(error);
    entry.type = S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
    return true;
  }

  // Whether the tree below an open folder may go: it holds no folder nor file to keep. What lies
  // on another mount is not searched, for it is never entered. A tree bound for the trash, which
  // would take it along, stays whole for it too, and for a folder another run holds: each is
  // recorded where it lies, told_ is set, and the search goes on for all of them.
  bool Scan(int fd, const std::u16string& path, TreeRemoval::Why& why, IoError& error) {
    std::vector<RawEntry> entries;
    if (!ReadEntries(fd, entries, error)) return false;
    for (RawEntry& e : entries) {
      if (!Kind(fd, e, error)) {
        if (error) return false;
        continue;
      }
      if (e.type != DT_DIR) {
        if (!r_.KeepFile || !r_.KeepFile(FromNative(e.name.c_str()))) continue;
        why = TreeRemoval::Why::HoldsKeptFile;
        return false;
      }
      const Folder sub = Open(fd, e.name, r_.ToTrash ? JoinPath(path, FromNative(e.name)) : path, false, error);
      Place place;
      if (!sub.IsOpen() && error.Code == ENOENT) {
        error = {};
        continue;
      }
      if (!sub.IsOpen() || !PlaceOf(Handle(sub), place, error)) return false;
      if (Crosses(tree_, place)) {
        if (r_.ToTrash) Told(sub.Path(), TreeRemoval::Why::MountPoint);
        continue;
      }
      if (check_ids_ && IsKept(place)) {
        why = TreeRemoval::Why::HoldsKept;
        return false;
      }
      if (r_.ToTrash) {
        FolderLock lock;
        IoError held;
        if (!lock.Acquire(sub, held)) {
          Told(sub.Path(), held ? TreeRemoval::Why::Failed : TreeRemoval::Why::Held, held);
          continue;
        }
      }
      if (!Scan(Handle(sub), sub.Path(), why, error)) return false;
    }
    return true;
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

  // Removes everything inside an open folder; true when it is empty. The kinds come from the
  // listing; a look is taken only when the listing does not tell.
  bool Empty(const Folder& folder) {
    const int dirfd = Handle(folder);
    std::vector<RawEntry> entries;
    IoError error;
    if (!ReadEntries(dirfd, entries, error)) {
      // A folder that may not be read is made readable: it is going anyway.
      if (error.Code != EACCES || fchmod(dirfd, 0700) != 0 || !ReadEntries(dirfd, entries, error)) {
        return Refused(folder.Path(), error);
      }
    }
    bool ok = true;
    bool opened_up = false;
    // Deletes an entry; a folder without write permission keeps its entries until it gets one.
    auto remove = [&](const char* name, int flags) {
      if (unlinkat(dirfd, name, flags) == 0) return true;
      if (errno != EACCES || opened_up) return false;
      opened_up = true;
      return fchmod(dirfd, 0700) == 0 && unlinkat(dirfd, name, flags) == 0;
    };
    for (RawEntry& e : entries) {
      error = {};
      if (!Kind(dirfd, e, error)) {
        if (error) ok = Refused(folder.PathOf(FromNative(e.name.c_str())), error);
        continue;
      }
      const char* name = e.name.c_str();
      if (e.type != DT_DIR) {
        if (r_.KeepFile && r_.KeepFile(FromNative(name))) {
          ok = Stay(folder.PathOf(FromNative(name)), TreeRemoval::Why::KeptFile);
        } else if (remove(name, 0)) {
          ++r_.Removed;
        } else {
          ok = Refused(folder.PathOf(FromNative(name)), error);
        }
        continue;
      }
      const std::u16string path = folder.PathOf(FromNative(name));
      Folder sub = Open(dirfd, name, path, true, error);
      Place place;
      if (!sub.IsOpen() || !PlaceOf(Handle(sub), place, error)) {
        ok = Refused(path, error);
        continue;
      }
      if (Crosses(tree_, place)) {
        ok = Stay(path, TreeRemoval::Why::MountPoint);
        continue;
      }
      if (IsKept(place)) {
        ok = Stay(path, TreeRemoval::Why::Kept);
        continue;
      }
      const bool emptied = EmptyLocked(sub);
      // Closed before the folder goes: a folder removed while still open is freed only at its last
      // close, which costs the file system far more than a removal of a closed one.
      sub = Folder();
      if (!emptied) {
        ok = false;
      } else if (remove(name, AT_REMOVEDIR)) {
        ++r_.Removed;
      } else {
        ok = Refused(path, error);
      }
    }
    return ok;
  }

  TreeRemoval& r_;
  Place tree_;
  bool check_ids_ = false;
  bool told_ = false;  // a scan recorded where the cause of a stay lies
};

bool Folder::RemoveTree(const std::u16string& name, TreeRemoval& removal, bool folder) const {
  return TreeRemover(removal).Remove(*this, name, folder);
}

}  // namespace platform
