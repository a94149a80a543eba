// Calls by path: path helpers, existence, attributes, times, whole files, the current folder and
// the program's own.
#include "toolkit/platform/win32.h"

#include <string>
#include <vector>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_win.h"
#include "toolkit/text/Compare.h"
#include "toolkit/text/Codecs.h"

namespace platform {
namespace {

std::u16string ModulePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::u16string();
    if (n < buffer.size()) {
      buffer.resize(n);
      return U(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

char16_t PathSeparator() { return u'\\'; }
bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

std::u16string JoinPath(const std::u16string& folder, const std::u16string& name) {
  if (!folder.empty() && IsSeparator(folder.back())) return folder + name;
  return folder + u'\\' + name;
}

std::u16string RootOf(const std::u16string& path) {
  if (IsVerbatim(path)) {
    // "\\?\C:" or "\\?\UNC\server\share".
    const std::u16string rest = path.substr(4);
    if (rest.size() >= 2 && IsDriveLetter(rest[0]) && rest[1] == u':') return path.substr(0, 6);
    if (rest.size() >= 4 && (rest.compare(0, 4, u"UNC\\") == 0)) {
      const std::size_t server_end = path.find(u'\\', 8);
      if (server_end == std::u16string::npos || server_end == 8) return std::u16string();
      const std::size_t share_end = path.find(u'\\', server_end + 1);
      if (share_end == server_end + 1) return std::u16string();
      return path.substr(0, share_end);
    }
    return std::u16string();
  }
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == u':') return path.substr(0, 2);
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    // "\\server\share", either separator anywhere.
    std::size_t i = 2;
    while (i < path.size() && !IsSeparator(path[i])) ++i;
    if (i == 2 || i >= path.size()) return std::u16string();
    std::size_t j = i + 1;
    while (j < path.size() && !IsSeparator(path[j])) ++j;
    if (j == i + 1) return std::u16string();
    return path.substr(0, j);
  }
  return std::u16string();
}

bool FileExists(const std::u16string& path) {
  DWORD attributes = 0;
  return !path.empty() && FollowedAttributes(LongPath(path), attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::u16string& path) {
  DWORD attributes = 0;
  return !path.empty() && FollowedAttributes(LongPath(path), attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PathExists(const std::u16string& path) {
  return !path.empty() && GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool PathInfo(const std::u16string& path, FileInfo& info, IoError& error) {
  if (path.empty()) return Fail(error, ERROR_PATH_NOT_FOUND);
  const std::wstring native = LongPath(path);
  if (HasTooLongName(native)) return Fail(error, ERROR_FILENAME_EXCED_RANGE);
  return InfoOf(native, info, true, error);
}

int GetAttributes(const std::u16string& path) {
  if (path.empty()) return -1;
  const std::wstring native = LongPath(path);
  DWORD attributes = 0;
  if (!FollowedAttributes(native, attributes)) {
    // A dangling link: its own attributes.
    attributes = GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return -1;
  }
  return static_cast<int>(attributes & kKnownAttributes);
}

bool SetAttributes(const std::u16string& path, int attributes) {
  if (path.empty()) return false;
  const std::wstring native = LongPath(path);
  Look look;
  IoError ignored;
  // A link's attributes are never set: what it points to may lie outside the folder tree.
  if (!LookAt(native, look, ignored) || look.IsLink()) return false;
  const DWORD wanted = (static_cast<DWORD>(attributes) & kKnownAttributes & ~DWORD(FILE_ATTRIBUTE_DIRECTORY)) |
                       (look.attributes & kKeptAttributes);
  return SetFileAttributesW(native.c_str(), wanted != 0 ? wanted : FILE_ATTRIBUTE_NORMAL) != 0;
}

bool GetFileTimes(const std::u16string& path, FileTimes& times) {
  FileInfo info;
  IoError ignored;
  if (path.empty() || !InfoOf(LongPath(path), info, true, ignored)) return false;
  times = info.Times;
  return true;
}

bool SetFileTimes(const std::u16string& path, const FileTimes& times) {
  if (path.empty()) return false;
  Handle h(OpenEntry(LongPath(path), FILE_WRITE_ATTRIBUTES, true));
  IoError ignored;
  return h.ok() && SetTimesOf(h.get(), times, ignored);
}

bool SameFile(const std::u16string& a, const std::u16string& b) {
  std::uint64_t a_device = 0, a_id = 0, b_device = 0, b_id = 0;
  IoError ignored;
  return !a.empty() && !b.empty() && IdentityOf(LongPath(a), a_device, a_id, ignored) &&
         IdentityOf(LongPath(b), b_device, b_id, ignored) && a_device == b_device && a_id == b_id;
}

bool RemoveFile(const std::u16string& path) {
  if (path.empty()) return false;
  const std::wstring native = LongPath(path);
  Look look;
  IoError ignored;
  return LookAt(native, look, ignored) && RemoveEntry(native, look, ignored);
}

bool RemoveTree(const std::u16string& path) {
  IoError error;
  const Folder parent = Folder::Open(ParentFolder(path), error);
  TreeRemoval removal;
  return parent.IsOpen() && !LastName(path).empty() && parent.RemoveTree(LastName(path), removal);
}

bool CreateFolder(const std::u16string& path) {
  return !path.empty() && CreateDirectoryW(LongPath(path).c_str(), nullptr);
}

bool ReadWholeFile(const std::u16string& path, std::string& bytes) {
  IoError ignored;
  return ReadWholeFile(path, bytes, ignored, -1);
}

bool ReadWholeFile(const std::u16string& path, std::string& bytes, IoError& error, std::int64_t limit) {
  bytes.clear();
  FileInfo info;
  if (path.empty()) return Fail(error, ERROR_PATH_NOT_FOUND);
  return ReadFileAt(LongPath(path), bytes, info, error, limit);
}

bool WriteWholeFile(const std::u16string& path, const std::string& bytes) {
  if (path.empty()) return false;
  const std::wstring native = LongPath(path);
  // No link is followed: a link planted at the name must not redirect the write elsewhere.
  Look look;
  IoError error;
  if (LookAt(native, look, error)) {
    if (look.IsLink() || (look.attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  } else if (!error.NotFound()) {
    return false;
  }
  // OPEN_ALWAYS and a cut to nothing: a hidden or system file keeps its attributes, where
  // CREATE_ALWAYS would refuse it.
  Handle h(CreateFileW(native.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  return h.ok() && SetEndOfFile(h.get()) && WriteAll(h.get(), bytes, error) && FlushFileBuffers(h.get()) &&
         CloseHandle(h.release());
}

std::u16string CurrentDirectory() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (n == 0) return std::u16string();
    if (n < buffer.size()) {
      buffer.resize(n);
      return U(buffer);
    }
    buffer.resize(n);
  }
}

std::u16string AbsolutePath(const std::u16string& path) {
  if (path.empty()) return CurrentDirectory();
  if (IsVerbatim(path)) return path;
  // The system takes ".." on the text; a folder before one must be there all the same, or the path
  // names nothing.
  for (std::size_t i = 0; i < path.size();) {
    std::size_t j = i;
    while (j < path.size() && !IsSeparator(path[j])) ++j;
    if (j - i == 2 && path[i] == u'.' && path[i + 1] == u'.' && i > 0 && !FolderExists(path.substr(0, i))) {
      return std::u16string();
    }
    i = j + 1;
  }
  // The system's own rules: the current folder (of the drive, for "C:x"), "." and "..", "/" as
  // "\", separators doubled up taken as one, trailing dots and blanks of a name dropped.
  const std::wstring in = W(path);
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFullPathNameW(in.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (n == 0) return std::u16string();
    if (n < buffer.size()) {
      buffer.resize(n);
      break;
    }
    buffer.resize(n);
  }
  std::u16string full = U(buffer);
  // No trailing separator, except the one of a drive's root.
  const std::size_t root = RootOf(full).size();
  while (full.size() > root + 1 && IsSeparator(full.back())) full.pop_back();
  return full;
}

std::u16string ParentFolder(const std::u16string& path) {
  const std::size_t root = RootOf(path).size();
  std::size_t end = path.size();
  while (end > root && IsSeparator(path[end - 1])) --end;
  if (end <= root) return std::u16string();  // a root, or nothing
  std::size_t cut = end;
  while (cut > root && !IsSeparator(path[cut - 1])) --cut;
  if (cut == 0) return std::u16string();  // a bare name
  while (cut > root && IsSeparator(path[cut - 1])) --cut;
  if (cut <= root) {
    // Right below the root: the root with its separator ("C:\", "\\server\share\"); a drive's
    // current folder ("C:" of "C:x") as it stands.
    if (root == 0) return path.substr(0, 1);
    return IsSeparator(path[root]) ? path.substr(0, root) + u'\\' : path.substr(0, root);
  }
  return path.substr(0, cut);
}

std::u16string LastName(const std::u16string& path) {
  const std::size_t root = RootOf(path).size();
  std::size_t end = path.size();
  while (end > root && IsSeparator(path[end - 1])) --end;
  std::size_t start = end;
  while (start > root && !IsSeparator(path[start - 1])) --start;
  return start >= end ? std::u16string() : path.substr(start, end - start);
}

std::u16string StoredNameAt(const std::u16string &path) {
  if (path.empty()) return std::u16string();
  const std::wstring native = LongPath(path);
  if (HasWildcard(native)) return std::u16string();  // no name holds one
  WIN32_FIND_DATAW fd;
  Search search(FindFirstFileExW(native.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0));
  return search.ok() ? U(fd.cFileName) : std::u16string();
}

// Names are UTF-16 on Windows and carry no bytes; a chart's bytes meet them as UTF-8, so that a
// UTF-8 chart finds its files here as it does on POSIX.
std::string NativeBytes(const std::u16string& name) { return text::ToUtf8(name); }

std::u16string ExecutableFolder() {
  const std::u16string exe = ModulePath();
  const std::u16string parent = ParentFolder(exe);
  return parent.empty() ? CurrentDirectory() : parent;
}

std::u16string ExecutableName() {
  std::u16string name = LastName(ModulePath());
  if (name.size() > 4 && text::Equal(name.substr(name.size() - 4), u".exe", text::CaseMode::Text)) {
    name.resize(name.size() - 4);
  }
  return name;
}


}  // namespace platform
