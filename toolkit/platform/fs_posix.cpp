// POSIX implementation of the file-system layer. Names are bytes here; they are carried as UTF-8
// with escape units for bytes that are not UTF-8, so a name in any encoding survives unchanged.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/fs.h"
#include "platform/text.h"

namespace platform {
namespace {

std::string Native(const std::u16string& path) { return ToUtf8(path); }
std::u16string FromNative(const char* name) { return DecodeUtf8(name); }

inline char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

bool EqualsFolded(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

// Name order of the Windows file system: ASCII letters folded first, exact spelling breaks ties.
bool NameLess(const std::u16string& a, const std::u16string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = FoldAscii(a[i]), y = FoldAscii(b[i]);
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::u16string BaseName(const std::u16string& path) {
  std::size_t end = path.size();
  while (end > 1 && path[end - 1] == u'/') --end;
  const std::size_t slash = path.rfind(u'/', end == 0 ? 0 : end - 1);
  const std::size_t start = slash == std::u16string::npos ? 0 : slash + 1;
  return path.substr(start, end - start);
}

int AttributesOf(const struct stat& st, const std::u16string& name) {
  int attrs = kAttrNormal;
  if (S_ISDIR(st.st_mode)) attrs |= kAttrDirectory;
  if ((st.st_mode & S_IWUSR) == 0) attrs |= kAttrReadOnly;
  if (!name.empty() && name[0] == u'.' && name != u"." && name != u"..") attrs |= kAttrHidden;
  return attrs;
}

std::int64_t Nanos(const struct timespec& ts) {
  return std::int64_t(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

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

// Writes all bytes, flushes them to the disk when asked and closes the file; false when any step
// failed.
bool WriteAllAndClose(int fd, const std::string& bytes, bool durable = true) {
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    ok = put > 0;
    if (ok) done += static_cast<std::size_t>(put);
  }
  ok = ok && (!durable || fsync(fd) == 0);
  return close(fd) == 0 && ok;
}

// Removes everything inside the open folder `dirfd`, never following a link. True when all went.
bool RemoveContents(int dirfd) {
  const int listfd = dup(dirfd);
  if (listfd < 0) return false;
  DIR* dir = fdopendir(listfd);
  if (dir == nullptr) {
    close(listfd);
    return false;
  }
  std::vector<std::string> names;
  while (const dirent* e = readdir(dir)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.emplace_back(e->d_name);
  }
  closedir(dir);

  bool ok = true;
  for (const std::string& name : names) {
    struct stat st {};
    if (fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      ok = false;
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      // A read-only folder must become writable before its entries can go.
      if ((st.st_mode & S_IRWXU) != S_IRWXU) fchmodat(dirfd, name.c_str(), st.st_mode | S_IRWXU, 0);
      const int sub = openat(dirfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub < 0) {
        ok = false;
        continue;
      }
      const bool inner = RemoveContents(sub);
      close(sub);
      if (!inner || unlinkat(dirfd, name.c_str(), AT_REMOVEDIR) != 0) ok = false;
    } else if (unlinkat(dirfd, name.c_str(), 0) != 0) {
      ok = false;
    }
  }
  return ok;
}

}  // namespace

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

bool ListFolder(const std::u16string& folder, std::vector<DirEntry>& entries) {
  entries.clear();
  if (folder.empty()) return false;
  const int fd = open(Native(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  DIR* dir = fdopendir(fd);
  if (dir == nullptr) {
    close(fd);
    return false;
  }
  while (const dirent* e = readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    struct stat lst {}, st {};
    if (fstatat(fd, e->d_name, &lst, AT_SYMLINK_NOFOLLOW) != 0) continue;
    const bool link = S_ISLNK(lst.st_mode);
    // A link is described by what it points to; a dangling one is listed so it can be removed.
    const bool dangling = link && fstatat(fd, e->d_name, &st, 0) != 0;
    if (!link || dangling) st = lst;
    // Pipes, sockets and devices are nothing these programs could read or should touch.
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode)) continue;
    DirEntry entry;
    entry.Name = FromNative(e->d_name);
    entry.Attributes = AttributesOf(st, entry.Name);
    entry.IsLink = link;
    entry.Dangling = dangling;
    entry.Size = S_ISDIR(st.st_mode) ? 0 : std::int64_t(st.st_size);
    entries.push_back(std::move(entry));
  }
  closedir(dir);
  std::sort(entries.begin(), entries.end(),
            [](const DirEntry& a, const DirEntry& b) { return NameLess(a.Name, b.Name); });
  return true;
}

int GetAttributes(const std::u16string& path) {
  if (path.empty()) return -1;
  const std::string native = Native(path);
  struct stat st {};
  if (stat(native.c_str(), &st) != 0 && lstat(native.c_str(), &st) != 0) return -1;
  return AttributesOf(st, BaseName(path));
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

std::int64_t FileSize(const std::u16string& path) {
  struct stat st {};
  if (path.empty() || stat(Native(path).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return std::int64_t(st.st_size);
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

bool MoveNoReplace(const std::u16string& from, const std::u16string& to) {
  if (from.empty() || to.empty()) return false;
  const std::string src = Native(from), dst = Native(to);
  if (renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  // File systems without the no-replace rename: a new link fails on any existing name.
  struct stat st {};
  if (lstat(src.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  if (link(src.c_str(), dst.c_str()) != 0) return false;
  if (unlink(src.c_str()) != 0) {
    unlink(dst.c_str());
    return false;
  }
  return true;
}

KeepResult KeepCopyNoReplace(const std::u16string& file, const std::u16string& copy) {
  if (file.empty() || copy.empty()) return KeepResult::Failed;
  const std::string src = Native(file), dst = Native(copy);
  if (link(src.c_str(), dst.c_str()) == 0) return KeepResult::Made;
  if (errno == EEXIST) return KeepResult::Exists;
  if (errno != EPERM && errno != EXDEV && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EMLINK) {
    return KeepResult::Failed;
  }
  // No links on this file system: an exclusive new file, so an existing name is never written.
  std::string bytes;
  FileTimes times;
  if (!ReadFile(file, bytes) || !GetFileTimes(file, times)) return KeepResult::Failed;
  const int fd = open(dst.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) return errno == EEXIST ? KeepResult::Exists : KeepResult::Failed;
  if (!WriteAllAndClose(fd, bytes)) {
    unlink(dst.c_str());
    return KeepResult::Failed;
  }
  SetFileTimes(copy, times);
  return KeepResult::Made;
}

bool RenameReplace(const std::u16string& from, const std::u16string& to) {
  return !from.empty() && !to.empty() && rename(Native(from).c_str(), Native(to).c_str()) == 0;
}

bool DeleteFile(const std::u16string& path) {
  const std::string native = Native(path);
  struct stat st {};
  if (path.empty() || lstat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return unlink(native.c_str()) == 0;
}

bool DeleteTree(const std::u16string& path) {
  const std::string native = Native(path);
  struct stat st {};
  if (path.empty() || lstat(native.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) return unlink(native.c_str()) == 0;
  if ((st.st_mode & S_IRWXU) != S_IRWXU) chmod(native.c_str(), st.st_mode | S_IRWXU);
  const int fd = open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  const bool inner = RemoveContents(fd);
  close(fd);
  return inner && rmdir(native.c_str()) == 0;
}

bool CreateFolder(const std::u16string& path) {
  return !path.empty() && mkdir(Native(path).c_str(), 0777) == 0;
}

bool ReadFile(const std::u16string& path, std::string& bytes) {
  bytes.clear();
  if (path.empty()) return false;
  // Non-blocking open so that a pipe never hangs the run; only regular files are read.
  const int fd = open(Native(path).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (ok) {
    // Read straight into the buffer; one byte of room more tells a file that grew meanwhile.
    std::size_t done = 0;
    bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
    for (;;) {
      if (done == bytes.size()) bytes.resize(bytes.size() * 2);
      const ssize_t got = read(fd, bytes.data() + done, bytes.size() - done);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) ok = false;
      if (got <= 0) break;
      done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
  }
  close(fd);
  if (!ok) bytes.clear();
  return ok;
}

bool WriteFile(const std::u16string& path, const std::string& bytes, bool durable) {
  if (path.empty()) return false;
  // No link is followed: a link planted at the name must not redirect the write elsewhere.
  const int fd = open(Native(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  return fd >= 0 && WriteAllAndClose(fd, bytes, durable);
}

void SyncFileSystem(const std::u16string& path) {
  const int fd = open(Native(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    sync();
    return;
  }
  if (syncfs(fd) != 0) sync();
  close(fd);
}

std::u16string CurrentDirectory() {
  std::string buffer(PATH_MAX, '\0');
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return std::u16string();
    buffer.resize(buffer.size() * 2);
  }
  return FromNative(buffer.c_str());
}

bool SetCurrentDirectory(const std::u16string& path) {
  return !path.empty() && chdir(Native(path).c_str()) == 0;
}

std::u16string AbsolutePath(const std::u16string& path) {
  std::u16string full = path;
  if (full.empty() || full[0] != u'/') full = JoinPath(CurrentDirectory(), full);
  std::vector<std::u16string> parts;
  std::size_t i = 0;
  while (i <= full.size()) {
    std::size_t j = full.find(u'/', i);
    if (j == std::u16string::npos) j = full.size();
    const std::u16string part = full.substr(i, j - i);
    if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != u".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  std::u16string out;
  for (const auto& part : parts) out += u'/' + part;
  return out.empty() ? std::u16string(u"/") : out;
}

std::u16string StoredName(const std::u16string& folder, const std::u16string& name) {
  if (name.empty() || name.find(u'/') != std::u16string::npos) return std::u16string();
  struct stat st {};
  if (lstat(Native(JoinPath(folder, name)).c_str(), &st) == 0) return name;
  std::vector<DirEntry> entries;
  if (!ListFolder(folder, entries)) return std::u16string();
  for (const DirEntry& e : entries) {  // already in name order
    if (EqualsFolded(e.Name, name)) return e.Name;
  }
  return std::u16string();
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

std::u16string ShortcutTarget(const std::u16string&) { return std::u16string(); }

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

std::u16string ExecutableName() { return BaseName(ExecutablePath()); }

}  // namespace platform
