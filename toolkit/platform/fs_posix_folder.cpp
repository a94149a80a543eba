// Open folders and the files made in them: every call relative to an open folder's descriptor.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_common.h"
#include "toolkit/platform/fs_posix.h"
#include "toolkit/text/Codecs.h"

namespace platform {

void File::Discard() {
  if (handle_ < 0) return;
  close(static_cast<int>(handle_));
  handle_ = -1;
  unlinkat(static_cast<int>(folder_), Native(name_).c_str(), 0);
}

bool File::Write(std::string_view bytes, IoError& error) {
  if (handle_ < 0) {
    error.Code = EBADF;
    return false;
  }
  return WriteAll(static_cast<int>(handle_), bytes, error);
}

bool File::Finish(const FileInfo& like, bool durable, IoError& error) {
  if (handle_ < 0) {
    error.Code = EBADF;
    return false;
  }
  const int fd = static_cast<int>(handle_);
  // The owner first: a change of owner may clear bits that the permissions then set again. Where
  // the run may not give the file away, the group alone is tried, then nothing.
  static const uid_t self = geteuid();
  static const gid_t group = getegid();
  if (like.Owner != self || like.Group != group) {
    if (fchown(fd, like.Owner, like.Group) != 0) (void)fchown(fd, static_cast<uid_t>(-1), like.Group);
  }
  const mode_t mode = static_cast<mode_t>((like.Mode & 07777) | S_IWUSR);
  const struct timespec ts[2] = {Timespec(like.Times.Access), Timespec(like.Times.Write)};
  bool ok = mode == mode_ || fchmod(fd, mode) == 0 || Fail(error);
  ok = ok && (futimens(fd, ts) == 0 || Fail(error));
  ok = ok && (!durable || fsync(fd) == 0 || Fail(error));
  const int closed = close(fd);
  handle_ = -1;
  if (ok && closed != 0) ok = Fail(error);
  if (!ok) unlinkat(static_cast<int>(folder_), Native(name_).c_str(), 0);
  return ok;
}

Folder::~Folder() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
}

Folder::Folder(Folder&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), native_(std::move(other.native_)), path_(std::move(other.path_)) {}

Folder& Folder::operator=(Folder&& other) noexcept {
  if (this != &other) {
    if (handle_ >= 0) close(static_cast<int>(handle_));
    handle_ = std::exchange(other.handle_, -1);
    native_ = std::move(other.native_);
    path_ = std::move(other.path_);
  }
  return *this;
}

Folder Folder::Open(const std::u16string& path, IoError& error) {
  Folder folder;
  if (path.empty()) {
    error.Code = ENOENT;
    return folder;
  }
  const int fd = open(Native(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    Fail(error);
    return folder;
  }
  folder.handle_ = fd;
  folder.path_ = path;
  return folder;
}

Folder Folder::OpenSub(const std::u16string& name, IoError& error) const {
  Folder folder;
  const int fd = openat(static_cast<int>(handle_), Native(name).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    Fail(error);
    return folder;
  }
  folder.handle_ = fd;
  folder.path_ = PathOf(name);
  return folder;
}

std::u16string Folder::PathOf(const std::u16string& name) const { return JoinPath(path_, name); }

bool Folder::List(std::vector<DirEntry>& entries, IoError& error, Order order) const {
  entries.clear();
  const int fd = static_cast<int>(handle_);
  std::vector<RawEntry> raw;
  if (!ReadEntries(fd, raw, error)) return false;
  entries.reserve(raw.size());
  for (RawEntry& e : raw) {
    DirEntry entry;
    unsigned char type = e.type;
    if (type == DT_LNK || type == DT_UNKNOWN) {
      // Only a link, or a file system that does not tell kinds, costs a look.
      // A look that fails for another reason than a missing name leaves the listing untold: an entry
      // quietly left out (a sound set behind a link) would make work look like none.
      struct stat lst {}, st {};
      if (fstatat(fd, e.name.c_str(), &lst, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) continue;  // gone meanwhile
        entries.clear();
        return Fail(error);
      }
      entry.IsLink = S_ISLNK(lst.st_mode);
      if (entry.IsLink) {
        entry.Dangling = fstatat(fd, e.name.c_str(), &st, 0) != 0;
        if (entry.Dangling && errno != ENOENT && errno != ENOTDIR && errno != ELOOP) {
          entries.clear();
          return Fail(error);
        }
        if (entry.Dangling) st = lst;
      } else {
        st = lst;
      }
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : S_ISLNK(st.st_mode) ? DT_LNK : DT_FIFO;
    }
    // Pipes, sockets and devices are nothing these programs could read or should touch.
    if (type != DT_DIR && type != DT_REG && type != DT_LNK) continue;
    entry.Name = text::DecodeNativeName(e.name);
    if (type == DT_DIR) entry.Attributes |= kAttrDirectory;
    if (IsHiddenName(entry.Name)) entry.Attributes |= kAttrHidden;
    entries.push_back(std::move(entry));
  }
  if (order == Order::ByName) {
    SortByName(entries);
  }
  return true;
}

bool Folder::SelfInfo(FileInfo& info, IoError& error) const {
  struct stat st {};
  if (fstat(static_cast<int>(handle_), &st) != 0) return Fail(error);
  FillInfo(st, LastName(path_), info);
  return true;
}

bool Folder::Info(const std::u16string& name, FileInfo& info, bool follow, IoError& error) const {
  struct stat st {};
  if (fstatat(static_cast<int>(handle_), Native(name).c_str(), &st, follow ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
    return Fail(error);
  }
  FillInfo(st, name, info);
  return true;
}

bool Folder::Read(const std::u16string& name, std::string& bytes, FileInfo& info, IoError& error) const {
  bytes.clear();
  // Non-blocking so that a pipe planted at the name never hangs the run; only regular files are read.
  Fd fd(openat(static_cast<int>(handle_), Native(name).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd.ok()) return Fail(error);
  struct stat st {};
  if (fstat(fd.get(), &st) != 0) return Fail(error);
  if (!S_ISREG(st.st_mode)) {
    error.Code = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  FillInfo(st, name, info);
  if (!ReadAll(fd.get(), st, bytes, error)) return false;
  return close(fd.release()) == 0 || Fail(error);
}

bool Folder::Create(const std::u16string& name, File& file, IoError& error, std::uint32_t mode) const {
  // The mask of this process cuts the bits a new file is made with: read once.
  static const mode_t mask = [] {
    const mode_t m = umask(0);
    umask(m);
    return m;
  }();
  const mode_t bits = static_cast<mode_t>(mode & 0777);
  const int fd = openat(static_cast<int>(handle_), Native(name).c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, bits);
  if (fd < 0) return Fail(error);
  file = File();
  file.handle_ = fd;
  file.mode_ = bits & ~mask;
  file.folder_ = handle_;
  file.name_ = name;
  file.path_ = PathOf(name);
  return true;
}

KeepResult Folder::Keep(const std::u16string& name, const std::u16string& copy, IoError& error) const {
  const int fd = static_cast<int>(handle_);
  const std::string from = Native(name), to = Native(copy);
  if (linkat(fd, from.c_str(), fd, to.c_str(), 0) == 0) return KeepResult::Made;
  if (errno == EEXIST) return KeepResult::Exists;
  if (errno != EPERM && errno != EXDEV && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EMLINK) {
    Fail(error);
    return KeepResult::Failed;
  }
  // No links on this file system: an exclusive new file, so an existing name is never written.
  std::string bytes;
  FileInfo info;
  if (!Read(name, bytes, info, error)) return KeepResult::Failed;
  File file;
  if (!Create(copy, file, error)) return error.Code == EEXIST ? KeepResult::Exists : KeepResult::Failed;
  if (!file.Write(bytes, error) || !file.Finish(info, true, error)) return KeepResult::Failed;
  return KeepResult::Made;
}

bool Folder::Rename(const std::u16string& from, const std::u16string& to, IoError& error) const {
  const int fd = static_cast<int>(handle_);
  return renameat(fd, Native(from).c_str(), fd, Native(to).c_str()) == 0 || Fail(error);
}

bool Folder::Remove(const std::u16string& name, IoError& error) const {
  return unlinkat(static_cast<int>(handle_), Native(name).c_str(), 0) == 0 || Fail(error);
}

bool Folder::SetTimes(const std::u16string& name, const FileTimes& times, IoError& error) const {
  const struct timespec ts[2] = {Timespec(times.Access), Timespec(times.Write)};
  return utimensat(static_cast<int>(handle_), Native(name).c_str(), ts, AT_SYMLINK_NOFOLLOW) == 0 || Fail(error);
}

bool Folder::MakeWritable(const std::u16string& name, const FileInfo& info, IoError& error) const {
  if ((info.Attributes & kAttrReadOnly) == 0) return true;
  // A link has no permissions of its own here, and changing those of what it points to could touch
  // a file outside the folder tree.
  if (info.IsLink) {
    error.Code = ELOOP;
    return false;
  }
  // Not through a link whatever the look said: the system refuses to change a link's mode.
  return fchmodat(static_cast<int>(handle_), Native(name).c_str(), static_cast<mode_t>(info.Mode | S_IWUSR),
                  AT_SYMLINK_NOFOLLOW) == 0 ||
         Fail(error);
}

bool Folder::MakeNormal(const std::u16string& name, const FileInfo& info, IoError& error) const {
  // Hidden is a name beginning with "." here, and system and archive are never set.
  return MakeWritable(name, info, error);
}

bool Folder::SameAs(const Folder& other) const {
  struct stat a {}, b {};
  if (fstat(static_cast<int>(handle_), &a) != 0 || fstat(static_cast<int>(other.handle_), &b) != 0) return false;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace platform
