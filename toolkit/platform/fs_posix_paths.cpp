// Calls by path: path helpers, existence, attributes, times, whole files, the current folder.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_posix.h"
#include "toolkit/text/Codecs.h"

namespace platform {

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

std::u16string StoredNameAt(const std::u16string &path) {
  struct stat st {};
  // Names are exact here: an entry that is there is stored under the bytes the path gives, which
  // read back in the one form every listing gives them.
  return !path.empty() && lstat(Native(path).c_str(), &st) == 0 ? text::DecodeNativeName(Native(LastName(path)))
                                                                : std::u16string();
}

std::u16string ShortcutTarget(const std::u16string&) { return std::u16string(); }

std::string NativeBytes(const std::u16string& name) { return text::ToUtf8(name); }

}  // namespace platform
