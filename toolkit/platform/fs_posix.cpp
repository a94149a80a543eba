// POSIX implementation of the file-system layer. Names are bytes here; they are carried as UTF-8
// with escape units for bytes that are not UTF-8, so a name in any encoding survives unchanged.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <utility>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_common.h"
#include "toolkit/platform/text.h"

namespace platform {
namespace {

std::string Native(const std::u16string& path) { return ToUtf8(path); }
std::u16string FromNative(const char* name) { return DecodeUtf8(name); }

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

// Removes everything inside the open folder `dirfd`, never following a link. The kinds come from
// the listing; a look is taken only when the listing does not tell.
bool RemoveContents(int dirfd, IoError& error) {
  std::vector<RawEntry> entries;
  if (!ReadEntries(dirfd, entries, error)) {
    // A folder that may not be read is made readable: it is going anyway.
    if (error.Code != EACCES || fchmod(dirfd, 0700) != 0 || !ReadEntries(dirfd, entries, error)) return false;
    error = {};
  }
  bool ok = true;
  bool opened_up = false;
  for (const RawEntry& e : entries) {
    const char* name = e.name.c_str();
    bool folder = e.type == DT_DIR;
    if (!folder) {
      if (unlinkat(dirfd, name, 0) == 0) continue;
      if (errno == EACCES && !opened_up) {
        // A folder without write permission keeps its entries until it gets one.
        opened_up = true;
        if (fchmod(dirfd, 0700) == 0 && unlinkat(dirfd, name, 0) == 0) continue;
      }
      if (errno != EISDIR && errno != EPERM) {
        ok = Fail(error);
        continue;
      }
      struct stat st {};
      folder = fstatat(dirfd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
      if (!folder) {
        ok = Fail(error);
        continue;
      }
    }
    Fd sub(openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!sub.ok() && errno == EACCES && fchmodat(dirfd, name, 0700, AT_SYMLINK_NOFOLLOW) == 0) {
      sub.reset(openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    if (!sub.ok()) {
      ok = Fail(error);
      continue;
    }
    const bool emptied = RemoveContents(sub.get(), error);
    // Closed before the folder goes: a folder removed while still open is freed only at its last
    // close, which costs the file system far more than a removal of a closed one.
    sub.reset(-1);
    if (!emptied) {
      ok = false;
      continue;
    }
    if (unlinkat(dirfd, name, AT_REMOVEDIR) == 0) continue;
    if (errno == EACCES && !opened_up) {
      opened_up = true;
      if (fchmod(dirfd, 0700) == 0 && unlinkat(dirfd, name, AT_REMOVEDIR) == 0) continue;
    }
    ok = Fail(error);
  }
  return ok;
}

bool RemoveTreeAt(int dirfd, const char* name, IoError& error, bool folder = false) {
  if (!folder && unlinkat(dirfd, name, 0) == 0) return true;
  if (!folder && errno != EISDIR && errno != EPERM) return Fail(error);
  // Opened as a folder and never through a link: anything else is refused by the opening itself.
  Fd sub(openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!sub.ok() && errno == EACCES && fchmodat(dirfd, name, S_IRWXU, AT_SYMLINK_NOFOLLOW) == 0) {
    sub.reset(openat(dirfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  }
  if (!sub.ok()) return Fail(error);
  const bool emptied = RemoveContents(sub.get(), error);
  sub.reset(-1);  // closed before the folder goes, as above
  if (!emptied) return false;
  return unlinkat(dirfd, name, AT_REMOVEDIR) == 0 || Fail(error);
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
  return name.empty() ? std::u16string() : HolderText(DecodeUtf8(name), static_cast<std::uint64_t>(pid));
}

}  // namespace

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
    default: return DecodeUtf8(std::strerror(error.Code));
  }
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
      struct stat lst {}, st {};
      if (fstatat(fd, e.name.c_str(), &lst, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
      entry.IsLink = S_ISLNK(lst.st_mode);
      if (entry.IsLink) {
        entry.Dangling = fstatat(fd, e.name.c_str(), &st, 0) != 0;
        if (entry.Dangling) st = lst;
      } else {
        st = lst;
      }
      type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : S_ISLNK(st.st_mode) ? DT_LNK : DT_FIFO;
    }
    // Pipes, sockets and devices are nothing these programs could read or should touch.
    if (type != DT_DIR && type != DT_REG && type != DT_LNK) continue;
    entry.Name = FromNative(e.name.c_str());
    if (type == DT_DIR) entry.Attributes |= kAttrDirectory;
    if (IsHiddenName(entry.Name)) entry.Attributes |= kAttrHidden;
    entries.push_back(std::move(entry));
  }
  if (order == Order::ByName) {
    SortByName(entries);
  }
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

bool Folder::RemoveTree(const std::u16string& name, IoError& error, bool folder) const {
  return RemoveTreeAt(static_cast<int>(handle_), Native(name).c_str(), error, folder);
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

void Folder::Sync() const {
  if (handle_ < 0 || syncfs(static_cast<int>(handle_)) != 0) sync();
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

bool RenameReplace(const std::u16string& from, const std::u16string& to) {
  return !from.empty() && !to.empty() && rename(Native(from).c_str(), Native(to).c_str()) == 0;
}

bool RemoveFile(const std::u16string& path) {
  const std::string native = Native(path);
  struct stat st {};
  if (path.empty() || lstat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return unlink(native.c_str()) == 0;
}

bool RemoveTree(const std::u16string& path) {
  if (path.empty()) return false;
  IoError error;
  return RemoveTreeAt(AT_FDCWD, Native(path).c_str(), error);
}

bool CreateFolder(const std::u16string& path) { return !path.empty() && mkdir(Native(path).c_str(), 0777) == 0; }

bool ReadWholeFile(const std::u16string& path, std::string& bytes) {
  bytes.clear();
  if (path.empty()) return false;
  Fd fd(open(Native(path).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat st {};
  IoError error;
  return fd.ok() && fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && ReadAll(fd.get(), st, bytes, error);
}

bool WriteWholeFile(const std::u16string& path, const std::string& bytes) {
  if (path.empty()) return false;
  // No link is followed: a link planted at the name must not redirect the write elsewhere.
  Fd fd(open(Native(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
  IoError error;
  return fd.ok() && WriteAll(fd.get(), bytes, error) && fsync(fd.get()) == 0 && close(fd.release()) == 0;
}

std::u16string CurrentDirectory() {
  std::string buffer(PATH_MAX, '\0');
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return std::u16string();
    buffer.resize(buffer.size() * 2);
  }
  return FromNative(buffer.c_str());
}

bool ChangeDirectory(const std::u16string& path) { return !path.empty() && chdir(Native(path).c_str()) == 0; }

std::u16string AbsolutePath(const std::u16string& path) {
  std::u16string full = path;
  if (full.empty() || full[0] != u'/') full = JoinPath(CurrentDirectory(), full);
  std::vector<std::u16string> parts;
  std::size_t i = 0;
  while (i <= full.size()) {
    std::size_t j = full.find(u'/', i);
    if (j == std::u16string::npos) j = full.size();
    std::u16string part = full.substr(i, j - i);
    if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != u".") {
      parts.push_back(std::move(part));
    }
    i = j + 1;
  }
  std::u16string out;
  for (const auto& part : parts) out += u'/' + part;
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
  // Names are exact here: an entry that is there is stored as the path spells it.
  return !path.empty() && lstat(Native(path).c_str(), &st) == 0 ? LastName(path) : std::u16string();
}

std::u16string ShortcutTarget(const std::u16string&) { return std::u16string(); }

std::string NativeBytes(const std::u16string& name) { return ToUtf8(name); }

namespace {
std::u16string ExecutablePath() {
  std::string buffer(PATH_MAX, '\0');
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return std::u16string();
    if (static_cast<std::size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(n));
      return DecodeUtf8(buffer);
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
