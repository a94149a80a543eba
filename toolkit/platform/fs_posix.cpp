// POSIX implementation of the file-system layer. Names are bytes here; a name is carried as UTF-8
// text when it is UTF-8 as a whole, else with escape units for its bytes beyond ASCII
// (DecodeNativeName), so a name in any encoding survives unchanged.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_common.h"
#include "toolkit/platform/fs_posix.h"
#include "toolkit/text/codecs.h"

namespace platform {
namespace {

std::string Native(const std::u16string& path) { return text::ToUtf8(path); }
std::u16string FromNative(std::string_view path) { return text::DecodeNativePath(path); }

// An owned file descriptor: closed when it goes.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  void reset(int fd) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

bool IsHiddenName(const std::u16string& name) {
  return !name.empty() && name[0] == u'.' && name != u"." && name != u"..";
}

int AttributesOf(const struct stat& st, const std::u16string& name) {
  int attrs = kAttrNormal;
  if (S_ISDIR(st.st_mode)) attrs |= kAttrDirectory;
  if ((st.st_mode & S_IWUSR) == 0) attrs |= kAttrReadOnly;
  if (IsHiddenName(name)) attrs |= kAttrHidden;
  return attrs;
}

std::int64_t Nanos(const struct timespec& ts) { return std::int64_t(ts.tv_sec) * 1000000000LL + ts.tv_nsec; }

struct timespec Timespec(std::int64_t ns) {
  struct timespec ts {};
  ts.tv_sec = static_cast<time_t>(ns / 1000000000LL);
  ts.tv_nsec = static_cast<long>(ns % 1000000000LL);
  if (ts.tv_nsec < 0) {
    ts.tv_nsec += 1000000000L;
    ts.tv_sec -= 1;
  }
  return ts;
}

void FillInfo(const struct stat& st, const std::u16string& name, FileInfo& info) {
  info.IsFolder = S_ISDIR(st.st_mode);
  info.IsLink = S_ISLNK(st.st_mode);
  info.Attributes = AttributesOf(st, name);
  info.Size = info.IsFolder ? 0 : std::int64_t(st.st_size);
  info.Times.HasCreation = false;
  info.Times.Creation = 0;
  info.Times.Access = Nanos(st.st_atim);
  info.Times.Write = Nanos(st.st_mtim);
  info.Mode = st.st_mode & 07777;
  info.Owner = st.st_uid;
  info.Group = st.st_gid;
  info.Device = st.st_dev;
  info.Id = st.st_ino;
  info.Links = static_cast<std::uint32_t>(st.st_nlink);
  info.Change = Nanos(st.st_ctim);
}

bool Fail(IoError& error) {
  error.Code = errno != 0 ? errno : EIO;
  return false;
}

bool WriteAll(int fd, std::string_view bytes, IoError& error) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (put == 0) errno = EIO;
      return Fail(error);
    }
    done += static_cast<std::size_t>(put);
  }
  return true;
}

// Reads a whole regular file from an open descriptor whose look is `st`.
bool ReadAll(int fd, const struct stat& st, std::string& bytes, IoError& error) {
  // One byte of room more than the size tells a file that grew meanwhile; a short read of a regular
  // file is its end, so the usual file costs one read.
  bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
  std::size_t done = 0;
  for (;;) {
    if (done == bytes.size()) bytes.resize(bytes.size() * 2);
    const ssize_t got = read(fd, bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      bytes.clear();
      return Fail(error);
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
    if (done < bytes.size() && done == static_cast<std::size_t>(st.st_size)) break;
  }
  bytes.resize(done);
  return true;
}

// The entries of an open folder, as the kernel gives them: name and kind, no look at any of them.
struct RawEntry {
  std::string name;
  unsigned char type;
};

struct linux_dirent64 {
  ino64_t d_ino;
  off64_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[];
};

bool ReadEntries(int fd, std::vector<RawEntry>& out, IoError& error) {
  out.clear();
  if (lseek(fd, 0, SEEK_SET) < 0) return Fail(error);
  std::vector<char> buffer(256 * 1024);
  for (;;) {
    const long got = syscall(SYS_getdents64, fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return Fail(error);
    if (got == 0) return true;
    for (long at = 0; at < got;) {
      const auto* d = reinterpret_cast<const linux_dirent64*>(buffer.data() + at);
      at += d->d_reclen;
      if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
      out.push_back({d->d_name, d->d_type});
    }
  }
}

// Where an open folder lies: its identity and the mount it belongs to.
struct Place {
  std::uint64_t device = 0, id = 0, mount = 0;
  bool has_mount = false;
  bool mount_root = false;  // the top of a mount
};

// The mount of an open descriptor as /proc tells it, for systems whose statx does not.
bool MountFromProc(int fd, std::uint64_t& mount) {
  const std::string path = "/proc/self/fdinfo/" + std::to_string(fd);
  Fd info(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  char buffer[512];
  const ssize_t got = info.ok() ? read(info.get(), buffer, sizeof buffer - 1) : -1;
  if (got <= 0) return false;
  buffer[got] = '\0';
  const char* at = std::strstr(buffer, "mnt_id:");
  return at != nullptr && std::sscanf(at, "mnt_id: %" SCNu64, &mount) == 1;
}

// The mount as statx told it, else as /proc tells it.
bool MountOf(int fd, const struct statx& sx, std::uint64_t& mount) {
  mount = sx.stx_mnt_id;
  return (sx.stx_mask & STATX_MNT_ID) != 0 || MountFromProc(fd, mount);
}

bool PlaceOf(int fd, Place& place, IoError& error) {
  struct statx sx {};
  if (statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_INO | STATX_MNT_ID, &sx) != 0) return Fail(error);
  place.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
  place.id = sx.stx_ino;
  place.has_mount = MountOf(fd, sx, place.mount);
  place.mount_root = (sx.stx_attributes_mask & sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
  return true;
}

// Whether `inner`, reached from a folder at `outer`, lies on another file system or mount: a bind
// mount of the same file system has the same device, so the mounts are compared too.
bool Crosses(const Place& outer, const Place& inner) {
  return inner.mount_root || inner.device != outer.device ||
         (outer.has_mount && inner.has_mount && inner.mount != outer.mount);
}

// The locks this process holds, by folder: two parts of one run may lock the same folder.
struct HeldLock {
  int fd = -1;
  int count = 0;
};
std::map<std::pair<std::uint64_t, std::uint64_t>, HeldLock>& HeldLocks() {
  static std::map<std::pair<std::uint64_t, std::uint64_t>, HeldLock> locks;
  return locks;
}

// The program and process that hold a whole-file lock of the folder `st` describes, as Linux tells
// in /proc/locks ("1: FLOCK  ADVISORY  WRITE 1234 fd:00:5678 0 EOF"); empty where it does not.
std::u16string LockHolder(const struct stat& st) {
  FILE* locks = fopen("/proc/locks", "re");
  if (locks == nullptr) return std::u16string();
  long pid = 0;
  char line[256];
  while (pid == 0 && fgets(line, sizeof line, locks) != nullptr) {
    char kind[16];
    long holder = 0;
    unsigned device_major = 0, device_minor = 0;
    unsigned long long inode = 0;
    // A lock waited for is listed with " -> " before it: it holds nothing.
    if (std::strstr(line, "->") == nullptr &&
        sscanf(line, "%*d: %15s %*s %*s %ld %x:%x:%llu", kind, &holder, &device_major, &device_minor, &inode) == 5 &&
        std::strcmp(kind, "FLOCK") == 0 && device_major == major(st.st_dev) && device_minor == minor(st.st_dev) &&
        inode == st.st_ino) {
      pid = holder;
    }
  }
  fclose(locks);
  if (pid <= 0) return std::u16string();
  // The program's file name, else (another user's process) the name the kernel keeps, cut to 15 bytes.
  char path[64], target[PATH_MAX];
  std::string name;
  snprintf(path, sizeof path, "/proc/%ld/exe", pid);
  const ssize_t n = readlink(path, target, sizeof target - 1);
  if (n > 0) {
    name.assign(target, static_cast<std::size_t>(n));
    name = name.substr(name.rfind('/') + 1);
    if (const std::size_t deleted = name.find(" (deleted)"); deleted != std::string::npos) name.resize(deleted);
  } else {
    snprintf(path, sizeof path, "/proc/%ld/comm", pid);
    if (FILE* comm = fopen(path, "re")) {
      if (fgets(target, sizeof target, comm) != nullptr) name = target;
      fclose(comm);
    }
    while (!name.empty() && name.back() == '\n') name.pop_back();
  }
  return name.empty() ? std::u16string() : HolderText(text::DecodeUtf8(name), static_cast<std::uint64_t>(pid));
}

}  // namespace

bool MountIdOf(int fd, std::uint64_t& mount) {
  struct statx sx {};
  return statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &sx) == 0 && MountOf(fd, sx, mount);
}

bool IoError::NotFound() const { return Code == ENOENT || Code == ENOTDIR; }
bool IoError::AlreadyExists() const { return Code == EEXIST; }

std::u16string ErrorText(const IoError& error) {
  switch (error.Code) {
    case 0: return std::u16string();
    case ENOENT:
    case ENOTDIR: return u"見つかりません";
    case EACCES:
    case EPERM: return u"アクセスが拒否されました";
    case EIO: return u"入出力エラー";
    case ENOSPC:
    case EDQUOT: return u"ディスクの空きがありません";
    case EROFS: return u"読み取り専用のファイルシステムです";
    case ENAMETOOLONG: return u"名前が長すぎます";
    case EEXIST: return u"同じ名前があります";
    case EBUSY:
    case ETXTBSY: return u"使用中です";
    case ELOOP: return u"シンボリックリンクです";
    case ENOTEMPTY: return u"フォルダが空ではありません";
    case EISDIR: return u"フォルダです";
    case EINVAL: return u"通常のファイルではありません";
    case EXDEV: return u"別のファイルシステムです";
    case EMLINK: return u"リンクが多すぎます";
    case EFBIG:
    case EOVERFLOW: return u"ファイルが大きすぎます";
    case EMFILE:
    case ENFILE: return u"開いているファイルが多すぎます";
    case ENOMEM: return u"メモリが足りません";
    case EAGAIN: return u"一時的に使えません";
    case EINTR: return u"中断されました";
    case ESTALE:
    case ENOTCONN:
    case ECONNRESET:
    case ECONNABORTED:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH: return u"接続が切れました";
    case ETIMEDOUT: return u"時間切れです";
    case ENOTSUP: return u"この操作には対応していません";
    case EBADF: return u"無効なファイルハンドルです";
    case ENXIO:
    case ENODEV: return u"デバイスがありません";
    case ENOLCK: return u"ロックできません";
    default: break;
  }
  // The system's own text is English: never shown inside a Japanese message.
  return u"不明なエラー (" + text::DecodeUtf8(std::to_string(error.Code)) + u")";
}

// ---- File ------------------------------------------------------------------------------------

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

// ---- Folder ----------------------------------------------------------------------------------

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

// ---- FolderLock ------------------------------------------------------------------------------

FolderLock::~FolderLock() {
  if (!held_) return;
  auto& locks = HeldLocks();
  const auto it = locks.find({device_, id_});
  if (it == locks.end()) return;
  if (--it->second.count == 0) {
    if (it->second.fd >= 0) close(it->second.fd);  // closing the description releases the lock
    locks.erase(it);
  }
}

bool FolderLock::Acquire(const Folder& folder, IoError& error) {
  if (held_) return true;
  struct stat st {};
  if (fstat(static_cast<int>(folder.handle_), &st) != 0) return Fail(error);
  auto& locks = HeldLocks();
  const std::pair<std::uint64_t, std::uint64_t> key{st.st_dev, st.st_ino};
  auto it = locks.find(key);
  if (it == locks.end()) {
    // An opening of its own, so that the lock lives as long as the run wants it, whatever happens
    // to the folder object it was asked for.
    Fd fd(openat(static_cast<int>(folder.handle_), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.ok()) return Fail(error);
    HeldLock held;
    if (flock(fd.get(), LOCK_EX | LOCK_NB) == 0) {
      held.fd = fd.release();
    } else if (errno == EWOULDBLOCK || errno == EINTR) {
      holder_ = LockHolder(st);
      return false;  // another run has it
    }
    // Else the file system keeps no locks: the run goes on without one (held.fd stays -1).
    it = locks.emplace(key, held).first;
  }
  ++it->second.count;
  device_ = key.first;
  id_ = key.second;
  held_ = true;
  exclusive_ = it->second.fd >= 0;
  return true;
}

// ---- Tree deletion ---------------------------------------------------------------------------

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

// ---- Paths -----------------------------------------------------------------------------------

char16_t PathSeparator() { return u'/'; }
bool IsSeparator(char16_t c) { return c == u'/'; }

std::u16string JoinPath(const std::u16string& folder, const std::u16string& name) {
  if (!folder.empty() && folder.back() == u'/') return folder + name;
  return folder + u'/' + name;
}

std::u16string RootOf(const std::u16string& path) {
  return (!path.empty() && path[0] == u'/') ? std::u16string(u"/") : std::u16string();
}

bool FileExists(const std::u16string& path) {
  struct stat st {};
  return !path.empty() && stat(Native(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FolderExists(const std::u16string& path) {
  struct stat st {};
  return !path.empty() && stat(Native(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathExists(const std::u16string& path) {
  struct stat st {};
  return !path.empty() && lstat(Native(path).c_str(), &st) == 0;
}

bool PathInfo(const std::u16string& path, FileInfo& info, IoError& error) {
  struct stat st {};
  if (path.empty()) {
    error.Code = ENOENT;
    return false;
  }
  if (stat(Native(path).c_str(), &st) != 0) return Fail(error);
  FillInfo(st, LastName(path), info);
  return true;
}

int GetAttributes(const std::u16string& path) {
  if (path.empty()) return -1;
  const std::string native = Native(path);
  struct stat st {};
  if (stat(native.c_str(), &st) != 0 && lstat(native.c_str(), &st) != 0) return -1;
  return AttributesOf(st, LastName(path));
}

bool SetAttributes(const std::u16string& path, int attributes) {
  const std::string native = Native(path);
  struct stat st {};
  // A link has no permissions of its own here, and changing those of what it points to could touch
  // a file outside the folder tree: a link's attributes are left as they are.
  if (path.empty() || lstat(native.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) return false;
  mode_t mode = st.st_mode & 07777;
  if (attributes & kAttrReadOnly) {
    mode &= ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  return mode == (st.st_mode & 07777) || chmod(native.c_str(), mode) == 0;
}

bool GetFileTimes(const std::u16string& path, FileTimes& times) {
  struct stat st {};
  if (path.empty() || stat(Native(path).c_str(), &st) != 0) return false;
  times.HasCreation = false;
  times.Creation = 0;
  times.Access = Nanos(st.st_atim);
  times.Write = Nanos(st.st_mtim);
  return true;
}

bool SetFileTimes(const std::u16string& path, const FileTimes& times) {
  const struct timespec ts[2] = {Timespec(times.Access), Timespec(times.Write)};
  return !path.empty() && utimensat(AT_FDCWD, Native(path).c_str(), ts, 0) == 0;
}

bool SameFile(const std::u16string& a, const std::u16string& b) {
  struct stat sa {}, sb {};
  if (a.empty() || b.empty()) return false;
  if (stat(Native(a).c_str(), &sa) != 0 || stat(Native(b).c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool RemoveFile(const std::u16string& path) {
  const std::string native = Native(path);
  struct stat st {};
  if (path.empty() || lstat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return unlink(native.c_str()) == 0;
}

bool RemoveTree(const std::u16string& path) {
  const std::u16string full = path.empty() ? path : AbsolutePath(path);
  IoError error;
  const Folder parent = Folder::Open(ParentFolder(full), error);
  TreeRemoval removal;
  return parent.IsOpen() && !LastName(full).empty() && parent.RemoveTree(LastName(full), removal);
}

bool CreateFolder(const std::u16string& path) { return !path.empty() && mkdir(Native(path).c_str(), 0777) == 0; }

bool ReadWholeFile(const std::u16string& path, std::string& bytes) {
  IoError error;
  return ReadWholeFile(path, bytes, error, -1);
}

bool ReadWholeFile(const std::u16string& path, std::string& bytes, IoError& error, std::int64_t limit) {
  bytes.clear();
  if (path.empty()) {
    error.Code = ENOENT;
    return false;
  }
  Fd fd(open(Native(path).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat st {};
  if (!fd.ok() || fstat(fd.get(), &st) != 0) return Fail(error);
  if (!S_ISREG(st.st_mode)) {
    error.Code = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  if (limit >= 0 && st.st_size > limit) {
    error.Code = EFBIG;
    return false;
  }
  return ReadAll(fd.get(), st, bytes, error);
}

bool WriteWholeFile(const std::u16string& path, const std::string& bytes) {
  if (path.empty()) return false;
  // No link is followed: a link planted at the name must not redirect the write elsewhere. Nor is
  // anything but a regular file written: a pipe at the name would wait for a reader for ever.
  Fd fd(open(Native(path).c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0666));
  struct stat st {};
  IoError error;
  return fd.ok() && fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && ftruncate(fd.get(), 0) == 0 &&
         WriteAll(fd.get(), bytes, error) && fsync(fd.get()) == 0 && close(fd.release()) == 0;
}

std::u16string CurrentDirectory() {
  std::string buffer(PATH_MAX, '\0');
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return std::u16string();
    buffer.resize(buffer.size() * 2);
  }
  return FromNative(buffer.c_str());
}

std::u16string AbsolutePath(const std::u16string& path) {
  std::u16string full = path;
  if (full.empty() || full[0] != u'/') full = JoinPath(CurrentDirectory(), full);
  std::vector<std::u16string> parts;
  std::size_t up_to = 0;  // the parts up to the last ".." are the system's to resolve
  std::size_t i = 0;
  while (i <= full.size()) {
    std::size_t j = full.find(u'/', i);
    if (j == std::u16string::npos) j = full.size();
    std::u16string part = full.substr(i, j - i);
    if (!part.empty() && part != u".") parts.push_back(std::move(part));
    if (!parts.empty() && parts.back() == u"..") up_to = parts.size();
    i = j + 1;
  }
  std::u16string out;
  for (std::size_t k = 0; k < parts.size(); ++k) {
    out += u'/' + parts[k];
    if (k + 1 != up_to) continue;
    // ".." is the parent of what the path before it names, a link followed; a path whose folders are
    // not all there names nothing.
    char* real = realpath(Native(out).c_str(), nullptr);
    if (real == nullptr) return std::u16string();
    out = FromNative(real);
    std::free(real);
    if (out == u"/") out.clear();
  }
  return out.empty() ? std::u16string(u"/") : out;
}

std::u16string ParentFolder(const std::u16string& path) {
  std::size_t end = path.size();
  while (end > 1 && path[end - 1] == u'/') --end;
  if (end <= 1) return std::u16string();  // the root, or nothing
  const std::size_t slash = path.rfind(u'/', end - 1);
  if (slash == std::u16string::npos) return std::u16string();
  std::size_t cut = slash;
  while (cut > 0 && path[cut - 1] == u'/') --cut;
  return cut == 0 ? std::u16string(u"/") : path.substr(0, cut);
}

std::u16string LastName(const std::u16string& path) {
  std::size_t end = path.size();
  while (end > 1 && path[end - 1] == u'/') --end;
  const std::size_t slash = end == 0 ? std::u16string::npos : path.rfind(u'/', end - 1);
  const std::size_t start = slash == std::u16string::npos ? 0 : slash + 1;
  return start >= end ? std::u16string() : path.substr(start, end - start);
}

std::u16string StoredName(const std::u16string& path) {
  struct stat st {};
  // Names are exact here: an entry that is there is stored under the bytes the path gives, which
  // read back in the one form every listing gives them.
  return !path.empty() && lstat(Native(path).c_str(), &st) == 0 ? text::DecodeNativeName(Native(LastName(path)))
                                                                : std::u16string();
}

std::u16string ShortcutTarget(const std::u16string&) { return std::u16string(); }

std::string NativeBytes(const std::u16string& name) { return text::ToUtf8(name); }

namespace {
std::u16string ExecutablePath() {
  std::string buffer(PATH_MAX, '\0');
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return std::u16string();
    if (static_cast<std::size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(n));
      return FromNative(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}
}  // namespace

std::u16string ExecutableFolder() {
  const std::u16string exe = ExecutablePath();
  const std::size_t slash = exe.rfind(u'/');
  if (slash == std::u16string::npos) return CurrentDirectory();
  return slash == 0 ? std::u16string(u"/") : exe.substr(0, slash);
}

std::u16string ExecutableName() { return LastName(ExecutablePath()); }

}  // namespace platform
