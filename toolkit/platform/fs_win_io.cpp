// Looks at entries, whole reads and writes, and the removal of single entries, by path or through
// an opening.
#include "toolkit/platform/win32.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_win.h"

namespace platform {
namespace {

// What a handle's information and a directory search's entry both tell; the search has no volume
// or file index, so Device and Id stay 0 there.
template <class Win32Info>
void FillInfo(const Win32Info& w, FileInfo& info) {
  info = FileInfo{};
  info.IsFolder = (w.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info.Attributes = static_cast<int>(w.dwFileAttributes & kKnownAttributes);
  info.Size = info.IsFolder ? 0 : (std::int64_t(w.nFileSizeHigh) << 32 | w.nFileSizeLow);
  info.Times.HasCreation = true;
  info.Times.Creation = Nanos(w.ftCreationTime);
  info.Times.Access = Nanos(w.ftLastAccessTime);
  info.Times.Write = Nanos(w.ftLastWriteTime);
  if constexpr (std::is_same_v<Win32Info, BY_HANDLE_FILE_INFORMATION>) {
    info.Device = w.dwVolumeSerialNumber;
    info.Id = (std::uint64_t(w.nFileIndexHigh) << 32) | w.nFileIndexLow;
    info.Links = w.nNumberOfLinks;
  }
}

// Clears a read-only attribute so that an entry can go; false when there was none to clear.
bool ClearReadOnly(const std::wstring& path, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) return false;
  const DWORD rest = attributes & (kKnownAttributes | kKeptAttributes) & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY);
  return SetFileAttributesW(path.c_str(), rest != 0 ? rest : FILE_ATTRIBUTE_NORMAL) != 0;
}

}  // namespace

// A symbolic link, a junction or a mount point: an entry that names another. Other reparse points
// (cloud placeholders, deduplicated files) are the files and folders they stand for.
bool IsLinkEntry(DWORD attributes, DWORD tag) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && (tag == 0 || IsReparseTagNameSurrogate(tag));
}

std::int64_t Nanos(const FILETIME& ft) {
  const std::int64_t units = (std::int64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return (units - kEpochDifference) * 100;
}

std::int64_t Units(std::int64_t ns) {
  std::int64_t units = ns / 100;
  if (ns % 100 < 0) --units;  // rounded down, as the POSIX side's seconds are
  return units + kEpochDifference;
}

FILETIME FileTime(std::int64_t ns) {
  const std::uint64_t units = static_cast<std::uint64_t>(Units(ns));
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(units & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(units >> 32);
  return ft;
}

std::int64_t Nanos(const LARGE_INTEGER& units) { return (units.QuadPart - kEpochDifference) * 100; }

// What a listing's record tells of an entry (no volume or file index: Device and Id stay 0). A
// reparse point's record carries its tag where other records carry the size of extended attributes.
void FillInfo(const FILE_FULL_DIR_INFORMATION& record, bool follow, FileInfo& info) {
  info = FileInfo{};
  info.IsFolder = (record.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info.IsLink = !follow && IsLinkEntry(record.FileAttributes, record.EaSize);
  info.Attributes = static_cast<int>(record.FileAttributes & kKnownAttributes);
  info.Size = info.IsFolder ? 0 : record.EndOfFile.QuadPart;
  info.Times = {true, Nanos(record.CreationTime), Nanos(record.LastAccessTime), Nanos(record.LastWriteTime)};
}

bool LookAt(const std::wstring& path, Look& look, IoError& error) {
  look.attributes = GetFileAttributesW(path.c_str());
  look.tag = 0;
  if (look.attributes == INVALID_FILE_ATTRIBUTES) return Fail(error);
  if (look.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    // Only a directory search tells the tag without opening the entry.
    WIN32_FIND_DATAW fd;
    Search search(HasWildcard(path) ? INVALID_HANDLE_VALUE
                                    : FindFirstFileExW(path.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0));
    if (search.ok()) look.tag = fd.dwReserved0;
  }
  return true;
}

// Opens an entry for a look or for its times; links followed or not.
HANDLE OpenEntry(const std::wstring& path, DWORD access, bool follow) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  return CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr);
}

// A look through an opening of an entry; `follow` says whether the opening followed a link.
bool InfoOfOpened(HANDLE h, FileInfo& info, bool follow, IoError& error) {
  BY_HANDLE_FILE_INFORMATION fi;
  if (!GetFileInformationByHandle(h, &fi)) return Fail(error);
  FillInfo(fi, info);
  if (!follow && (fi.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag)) {
      info.IsLink = IsLinkEntry(tag.FileAttributes, tag.ReparseTag);
    } else {
      info.IsLink = true;  // a reparse point that will not tell what it is: never followed
    }
  }
  return true;
}

bool InfoOf(const std::wstring& path, FileInfo& info, bool follow, IoError& error) {
  Handle h(OpenEntry(path, FILE_READ_ATTRIBUTES, follow));
  if (!h.ok()) {
    const DWORD code = GetLastError();
    if (code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION) return Fail(error, code);
    // An entry that may not be opened (a system file in use) still has its directory entry.
    WIN32_FIND_DATAW fd;
    Search search(HasWildcard(path) ? INVALID_HANDLE_VALUE
                                    : FindFirstFileExW(path.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0));
    if (!search.ok()) return Fail(error, code);
    FillInfo(fd, info);
    info.IsLink = !follow && IsLinkEntry(fd.dwFileAttributes, fd.dwReserved0);
    return true;
  }
  return InfoOfOpened(h.get(), info, follow, error);
}

// The attributes of what a path names, links followed; false when it cannot be reached.
bool FollowedAttributes(const std::wstring& path, DWORD& attributes) {
  attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return true;
  Handle h(OpenEntry(path, FILE_READ_ATTRIBUTES, true));
  BY_HANDLE_FILE_INFORMATION fi;
  if (!h.ok() || !GetFileInformationByHandle(h.get(), &fi)) return false;
  attributes = fi.dwFileAttributes;
  return true;
}

bool SetTimesOf(HANDLE h, const FileTimes& times, IoError& error) {
  const FILETIME creation = FileTime(times.Creation), access = FileTime(times.Access), write = FileTime(times.Write);
  return SetFileTime(h, times.HasCreation ? &creation : nullptr, &access, &write) || Fail(error);
}

bool WriteAll(HANDLE h, std::string_view bytes, IoError& error) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD put = 0;
    if (!WriteFile(h, bytes.data(), chunk, &put, nullptr)) return Fail(error);
    if (put == 0) return Fail(error, ERROR_WRITE_FAULT);
    bytes.remove_prefix(put);
  }
  return true;
}

// Reads a whole file from an open handle whose size is `size`.
bool ReadAll(HANDLE h, std::int64_t size, std::string& bytes, IoError& error) {
  // One byte of room more than the size tells a file that grew meanwhile; the usual file costs one
  // read.
  bytes.resize(static_cast<std::size_t>(size) + 1);
  std::size_t done = 0;
  for (;;) {
    if (done == bytes.size()) bytes.resize(bytes.size() * 2);
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(h, bytes.data() + done, chunk, &got, nullptr)) {
      bytes.clear();
      return Fail(error);
    }
    if (got == 0) break;
    done += got;
    if (done < bytes.size() && done == static_cast<std::size_t>(size)) break;
  }
  bytes.resize(done);
  return true;
}

// Reads a whole file through an opening for reading, with a look at it; a file larger than `limit`
// bytes (when one is given) is refused unread.
bool ReadOpened(HANDLE h, std::string& bytes, FileInfo& info, IoError& error, std::int64_t limit) {
  // Only files on a disk are read: never a device or a pipe planted at the name.
  if (GetFileType(h) != FILE_TYPE_DISK) return Fail(error, ERROR_INVALID_FUNCTION);
  BY_HANDLE_FILE_INFORMATION fi;
  if (!GetFileInformationByHandle(h, &fi)) return Fail(error);
  FillInfo(fi, info);
  if (info.IsFolder) return Fail(error, kIsFolderError);
  if (limit >= 0 && info.Size > limit) return Fail(error, ERROR_FILE_TOO_LARGE);
  return ReadAll(h, info.Size, bytes, error);
}

bool ReadFileAt(const std::wstring& path, std::string& bytes, FileInfo& info, IoError& error, std::int64_t limit) {
  bytes.clear();
  Handle h(CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!h.ok()) {
    const DWORD code = GetLastError();
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return Fail(error, code == ERROR_ACCESS_DENIED && folder ? kIsFolderError : code);
  }
  return ReadOpened(h.get(), bytes, info, error, limit);
}

// Deletes one entry that is not a real folder: a file (read-only too), or a link as a link.
bool RemoveEntry(const std::wstring& path, const Look& look, IoError& error) {
  // A link to a folder is itself a folder entry here, and it goes as one; what it names stays.
  const bool folder_entry = (look.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (folder_entry && !look.IsLink()) return Fail(error, ERROR_ACCESS_DENIED);
  auto remove = [&] { return folder_entry ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str()); };
  if (remove()) return true;
  const DWORD code = GetLastError();
  if (code != ERROR_ACCESS_DENIED || !ClearReadOnly(path, look.attributes)) return Fail(error, code);
  if (remove()) return true;
  const DWORD again = GetLastError();
  SetFileAttributesW(path.c_str(), look.attributes & (kKnownAttributes | kKeptAttributes) & ~FILE_ATTRIBUTE_DIRECTORY);
  return Fail(error, again);
}

// Removes a folder that the system just emptied. A file deleted while another program (a virus
// scanner, the indexer) still had it open leaves its name until that program lets go: a few short
// waits let it.
bool RemoveEmptiedFolder(const std::wstring& path, DWORD attributes, IoError& error) {
  ClearReadOnly(path, attributes);
  for (int attempt = 0;; ++attempt) {
    if (RemoveDirectoryW(path.c_str())) return true;
    const DWORD code = GetLastError();
    if (code != ERROR_DIR_NOT_EMPTY || attempt == 5) return Fail(error, code);
    Sleep(10u << attempt);
  }
}

// The volume and the index that name a file or folder, links followed.
bool IdentityOf(const std::wstring& path, std::uint64_t& device, std::uint64_t& id, IoError& error) {
  Handle h(OpenEntry(path, FILE_READ_ATTRIBUTES, true));
  BY_HANDLE_FILE_INFORMATION fi;
  if (!h.ok() || !GetFileInformationByHandle(h.get(), &fi)) return Fail(error);
  device = fi.dwVolumeSerialNumber;
  id = (std::uint64_t(fi.nFileIndexHigh) << 32) | fi.nFileIndexLow;
  return true;
}

}  // namespace platform
