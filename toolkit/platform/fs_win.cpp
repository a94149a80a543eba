// Windows implementation of the file-system layer. Names are UTF-16 here and go to the wide Win32
// calls as they are. A path is used in its long form ("\\?\C:\..." or "\\?\UNC\server\share\..."):
// no length limit applies, and a stored name reaches the file system unchanged (no trailing dot or
// blank trimmed). A Folder holds an opening of its folder, and its entries are opened relative to
// that opening by their names: a folder renamed or moved while a run works in it is still the one
// the run opened, as on POSIX.
#include "toolkit/platform/win32.h"
#include <winternl.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <type_traits>
#include <utility>

#include "toolkit/clsFileString.h"
#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_common.h"
#include "toolkit/platform/text.h"

// The system's directory listing of an open folder (ntdll; Windows' own headers leave it to the
// driver kit).
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PVOID apc_routine, PVOID apc_context,
                                               PIO_STATUS_BLOCK io, PVOID buffer, ULONG length,
                                               FILE_INFORMATION_CLASS information_class, BOOLEAN single_entry,
                                               PUNICODE_STRING file_name, BOOLEAN restart_scan);

namespace platform {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
std::u16string U(const wchar_t* s) { return std::u16string(reinterpret_cast<const char16_t*>(s)); }
std::u16string U(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

HANDLE H(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }
std::intptr_t Value(HANDLE h) { return reinterpret_cast<std::intptr_t>(h); }

// An owned handle: closed when it goes.
class Handle {
 public:
  explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  ~Handle() {
    if (ok()) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  HANDLE release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }
  void reset(HANDLE h) {
    if (ok()) CloseHandle(h_);
    h_ = h;
  }
  bool ok() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }

 private:
  HANDLE h_;
};

class Search {
 public:
  explicit Search(HANDLE h) : h_(h) {}
  ~Search() {
    if (h_ != INVALID_HANDLE_VALUE) FindClose(h_);
  }
  Search(const Search&) = delete;
  Search& operator=(const Search&) = delete;
  HANDLE get() const { return h_; }
  bool ok() const { return h_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE h_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kKnownAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE;
// The attributes a program may set besides the four the programs know; an entry keeps them.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY;
// What a link refused as a link reports: the name is one the system would have to resolve.
constexpr DWORD kIsLinkError = ERROR_CANT_RESOLVE_FILENAME;
// What a folder read as a file reports (ERROR_DIRECTORY_NOT_SUPPORTED, which older headers lack).
constexpr DWORD kIsFolderError = 336;

bool Fail(IoError& error, DWORD code = GetLastError()) {
  error.Code = code != 0 ? static_cast<int>(code) : ERROR_GEN_FAILURE;
  return false;
}

// A symbolic link, a junction or a mount point: an entry that names another. Other reparse points
// (cloud placeholders, deduplicated files) are the files and folders they stand for.
bool IsLinkEntry(DWORD attributes, DWORD tag) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && (tag == 0 || IsReparseTagNameSurrogate(tag));
}

// Times: 100-nanosecond units since 1601 here, nanoseconds since 1970 in the interface.
constexpr std::int64_t kEpochDifference = 116444736000000000LL;

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

// The longest name a Windows file system takes (NTFS, FAT, exFAT, ReFS alike).
constexpr std::size_t kMaxName = 255;

// Why a text can be no name of one entry of a folder (a separator, a stream, a wildcard, a control
// character, or too long), 0 when it can be one.
DWORD NameError(const std::u16string& name) {
  if (name.empty() || name == u"." || name == u"..") return ERROR_INVALID_NAME;
  for (const char16_t c : name) {
    if (c < 32 || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos) return ERROR_INVALID_NAME;
  }
  return name.size() > kMaxName ? ERROR_FILENAME_EXCED_RANGE : 0;
}

// A path with a name longer than any file system takes: no answer about it is "absent".
bool HasTooLongName(const std::wstring& path) {
  std::size_t run = 0;
  for (const wchar_t c : path) {
    run = c == L'\\' ? 0 : run + 1;
    if (run > kMaxName) return true;
  }
  return false;
}

// A path that a directory search would take as a pattern (the "?" of a long form's prefix aside).
bool HasWildcard(const std::wstring& path) {
  const std::size_t from = path.compare(0, 4, L"\\\\?\\") == 0 ? 4 : 0;
  return path.find_first_of(L"*?<>\"", from) != std::wstring::npos;
}

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// Where the long form begins: "\\?\" or "\\.\" in front of a path means no rewriting at all.
bool IsVerbatim(const std::u16string& path) {
  return path.size() >= 4 && path[0] == u'\\' && path[1] == u'\\' && (path[2] == u'?' || path[2] == u'.') &&
         path[3] == u'\\';
}

// The long form of a path: absolute, and prefixed so that neither the length limit nor the
// rewriting of names applies any further.
std::wstring LongPath(const std::u16string& path) {
  if (IsVerbatim(path)) return W(path);
  const std::u16string full = AbsolutePath(path);
  if (full.size() >= 2 && full[0] == u'\\' && full[1] == u'\\') return L"\\\\?\\UNC\\" + W(full.substr(2));
  if (full.size() >= 2 && full[1] == u':') return L"\\\\?\\" + W(full);
  return W(full);
}

std::wstring Child(const std::wstring& folder, const std::u16string& name) {
  std::wstring out = folder;
  if (out.empty() || out.back() != L'\\') out += L'\\';
  return out + W(name);
}

// An entry's own attributes and reparse tag, no link followed.
struct Look {
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
  DWORD tag = 0;
  bool IsLink() const { return IsLinkEntry(attributes, tag); }
  bool IsRealFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !IsLink(); }
};

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
bool ReadOpened(HANDLE h, std::string& bytes, FileInfo& info, IoError& error, std::int64_t limit = -1) {
  // Only files on a disk are read: never a device or a pipe planted at the name.
  if (GetFileType(h) != FILE_TYPE_DISK) return Fail(error, ERROR_INVALID_FUNCTION);
  BY_HANDLE_FILE_INFORMATION fi;
  if (!GetFileInformationByHandle(h, &fi)) return Fail(error);
  FillInfo(fi, info);
  if (info.IsFolder) return Fail(error, kIsFolderError);
  if (limit >= 0 && info.Size > limit) return Fail(error, ERROR_FILE_TOO_LARGE);
  return ReadAll(h, info.Size, bytes, error);
}

bool ReadFileAt(const std::wstring& path, std::string& bytes, FileInfo& info, IoError& error, std::int64_t limit = -1) {
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

// Clears a read-only attribute so that an entry can go; false when there was none to clear.
bool ClearReadOnly(const std::wstring& path, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) return false;
  const DWORD rest = attributes & (kKnownAttributes | kKeptAttributes) & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY);
  return SetFileAttributesW(path.c_str(), rest != 0 ? rest : FILE_ATTRIBUTE_NORMAL) != 0;
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

// The volume and the index that name a file or folder, links followed.
bool IdentityOf(const std::wstring& path, std::uint64_t& device, std::uint64_t& id, IoError& error) {
  Handle h(OpenEntry(path, FILE_READ_ATTRIBUTES, true));
  BY_HANDLE_FILE_INFORMATION fi;
  if (!h.ok() || !GetFileInformationByHandle(h.get(), &fi)) return Fail(error);
  device = fi.dwVolumeSerialNumber;
  id = (std::uint64_t(fi.nFileIndexHigh) << 32) | fi.nFileIndexLow;
  return true;
}

// The locks this process holds, by folder: two parts of one run may lock the same folder.
struct HeldLock {
  HANDLE handle = INVALID_HANDLE_VALUE;
  HANDLE holder = nullptr;  // what tells another run who holds the folder
  int count = 0;
};
std::mutex& LocksMutex() {
  static std::mutex m;
  return m;
}
std::map<std::pair<std::uint64_t, std::uint64_t>, HeldLock>& HeldLocks() {
  static std::map<std::pair<std::uint64_t, std::uint64_t>, HeldLock> locks;
  return locks;
}

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

// ---- Entries of an open folder ------------------------------------------------------------------
// Every entry of a Folder is opened by its name relative to the folder's own opening (NtCreateFile
// with a root folder), never through a path built again.

constexpr NTSTATUS Status(unsigned long code) { return static_cast<NTSTATUS>(code); }
constexpr NTSTATUS kStatusBufferOverflow = Status(0x80000005);
constexpr NTSTATUS kStatusNoMoreFiles = Status(0x80000006);
constexpr NTSTATUS kStatusNotImplemented = Status(0xC0000002);
constexpr NTSTATUS kStatusInvalidParameter = Status(0xC000000D);
constexpr NTSTATUS kStatusNoSuchFile = Status(0xC000000F);
constexpr NTSTATUS kStatusBufferTooSmall = Status(0xC0000023);
constexpr NTSTATUS kStatusObjectTypeMismatch = Status(0xC0000024);
constexpr NTSTATUS kStatusPathSyntaxBad = Status(0xC000003B);
constexpr NTSTATUS kStatusNotADirectory = Status(0xC0000103);
// What a folder moved away reports where the system can only name entries by a path (Wine): the
// path no longer leads to the folder the run opened. (Bit 29 marks a code of the program's own,
// which no system call gives.)
constexpr DWORD kFolderMovedError = 0x20000000 | 1;

bool FailStatus(IoError& error, NTSTATUS status) {
  return Fail(error, status == kStatusNotADirectory ? ERROR_DIRECTORY : RtlNtStatusToDosError(status));
}

// Opens `name` relative to the opening `root` (a folder, or a file for one of its streams); an
// empty name opens what `root` is once more.
NTSTATUS OpenAt(HANDLE root, std::wstring_view name, ACCESS_MASK access, ULONG share, ULONG disposition, ULONG options,
                Handle& h) {
  UNICODE_STRING text;
  text.Buffer = const_cast<wchar_t*>(name.data());
  text.Length = text.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, root, nullptr);
  IO_STATUS_BLOCK io{};
  HANDLE opened = INVALID_HANDLE_VALUE;
  const NTSTATUS status = NtCreateFile(&opened, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
                                       share, disposition, options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
  h.reset(NT_SUCCESS(status) ? opened : INVALID_HANDLE_VALUE);
  return status;
}

// Opens an entry of the open folder by its name; false, with the reason, for a folder that is not
// open or a text that can be no name of one of its entries.
bool OpenIn(HANDLE folder, const std::u16string& name, ACCESS_MASK access, ULONG share, ULONG options, Handle& h,
            IoError& error, ULONG disposition = FILE_OPEN) {
  if (folder == INVALID_HANDLE_VALUE) return Fail(error, ERROR_INVALID_HANDLE);
  if (const DWORD invalid = NameError(name)) return Fail(error, invalid);
  const NTSTATUS status = OpenAt(folder, W(name), access, share, disposition, options, h);
  return NT_SUCCESS(status) || FailStatus(error, status);
}

bool TagOf(HANDLE h, FILE_ATTRIBUTE_TAG_INFO& tag, IoError& error) {
  return GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag) || Fail(error);
}

// Calls visit(record, name) for each entry of an open folder but "." and ".." (for the one named
// `only`, when given, found as the system finds names); false, with the reason, when the folder
// cannot be listed to its end.
template <class Visit>
bool EachEntryIn(HANDLE folder, IoError& error, Visit visit, const std::u16string* only = nullptr) {
  Handle list;
  NTSTATUS status = OpenAt(folder, L"", FILE_LIST_DIRECTORY, kShareAll, FILE_OPEN, FILE_DIRECTORY_FILE, list);
  if (!NT_SUCCESS(status)) return FailStatus(error, status);
  std::wstring pattern = only != nullptr ? W(*only) : std::wstring();
  UNICODE_STRING mask;
  mask.Buffer = pattern.data();
  mask.Length = mask.MaximumLength = static_cast<USHORT>(pattern.size() * sizeof(wchar_t));
  std::vector<std::uint64_t> buffer(8192);  // 64 KiB, aligned as the records are
  for (BOOLEAN first = TRUE;; first = FALSE) {
    IO_STATUS_BLOCK io{};
    status = NtQueryDirectoryFile(list.get(), nullptr, nullptr, nullptr, &io, buffer.data(),
                                  static_cast<ULONG>(buffer.size() * sizeof(buffer[0])), FileFullDirectoryInformation,
                                  FALSE, first && only != nullptr ? &mask : nullptr, first);
    // A drive's root has no "." and "..": an empty one finds nothing at all.
    if (status == kStatusNoMoreFiles || (first && status == kStatusNoSuchFile)) return true;
    if (!NT_SUCCESS(status)) return FailStatus(error, status);
    for (const char* at = reinterpret_cast<const char*>(buffer.data());;) {
      const auto& record = *reinterpret_cast<const FILE_FULL_DIR_INFORMATION*>(at);
      const std::wstring_view name(record.FileName, record.FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") visit(record, name);
      if (record.NextEntryOffset == 0) break;
      at += record.NextEntryOffset;
    }
  }
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

// Sets the attributes of an opened entry, its times left as they are.
bool SetAttributesOf(HANDLE h, DWORD attributes, IoError& error) {
  FILE_BASIC_INFO basic{};
  attributes &= (kKnownAttributes | kKeptAttributes) & ~DWORD(FILE_ATTRIBUTE_DIRECTORY);
  basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic) || Fail(error);
}

// Changes the attributes of an entry, never through a link; `change` maps the present ones to the
// wanted ones.
template <class Change>
bool ChangeAttributesIn(HANDLE folder, const std::u16string& name, Change change, IoError& error) {
  Handle h;
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!OpenIn(folder, name, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll, FILE_OPEN_REPARSE_POINT, h, error) ||
      !TagOf(h.get(), tag, error)) {
    return false;
  }
  if (IsLinkEntry(tag.FileAttributes, tag.ReparseTag)) return Fail(error, kIsLinkError);
  const DWORD wanted = change(tag.FileAttributes);
  return wanted == tag.FileAttributes || SetAttributesOf(h.get(), wanted, error);
}

// Marks an opened entry (opened for deleting) to go when its last opening closes. A read-only one
// loses that attribute first, and gets it back when it will not go.
bool DeleteOpened(HANDLE folder, const std::u16string& name, HANDLE h, DWORD attributes, IoError& error) {
  FILE_DISPOSITION_INFO gone{TRUE};
  if (SetFileInformationByHandle(h, FileDispositionInfo, &gone, sizeof gone)) return true;
  const DWORD code = GetLastError();
  if (code != ERROR_ACCESS_DENIED || (attributes & FILE_ATTRIBUTE_READONLY) == 0) return Fail(error, code);
  Handle writer;
  IoError ignored;
  if (!OpenIn(folder, name, FILE_WRITE_ATTRIBUTES, kShareAll, FILE_OPEN_REPARSE_POINT, writer, ignored) ||
      !SetAttributesOf(writer.get(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY), ignored)) {
    return Fail(error, code);
  }
  if (SetFileInformationByHandle(h, FileDispositionInfo, &gone, sizeof gone)) return true;
  const DWORD again = GetLastError();
  SetAttributesOf(writer.get(), attributes, ignored);
  return Fail(error, again);
}

// The volume and the index that name an opened file or folder.
bool IdentityOfOpened(HANDLE h, std::uint64_t& device, std::uint64_t& id, IoError& error) {
  BY_HANDLE_FILE_INFORMATION fi;
  if (!GetFileInformationByHandle(h, &fi)) return Fail(error);
  device = fi.dwVolumeSerialNumber;
  id = (std::uint64_t(fi.nFileIndexHigh) << 32) | fi.nFileIndexLow;
  return true;
}

// Whether the long path an open folder was opened by still leads to it.
bool StillAt(HANDLE folder, const std::wstring& path) {
  std::uint64_t a_device = 0, a_id = 0, b_device = 0, b_id = 0;
  IoError ignored;
  return IdentityOfOpened(folder, a_device, a_id, ignored) && IdentityOf(path, b_device, b_id, ignored) &&
         a_device == b_device && a_id == b_id;
}

// Wine keeps, for every opening, the path it was opened by, and names and deletes entries by that
// path: once a folder has moved, what is named or deleted through its opening would land at its old
// path, in whatever folder is there now.
bool NamesByPath() {
  static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

// False, with the reason, where naming or deleting an entry through the folder's opening would act
// on another folder.
bool NamesHere(HANDLE folder, const std::wstring& path, IoError& error) {
  return !NamesByPath() || StillAt(folder, path) || Fail(error, kFolderMovedError);
}

// The system's own form of a long path: "\??\C:\..." for "\\?\C:\...".
std::wstring NtPath(const std::wstring& path) {
  const bool prefixed = path.size() >= 4 && path[0] == L'\\' && path[1] == L'\\' && (path[2] == L'?' || path[2] == L'.') &&
                        path[3] == L'\\';
  return L"\\??\\" + (prefixed ? path.substr(4) : path);
}

static_assert(offsetof(FILE_LINK_INFORMATION, FileName) == offsetof(FILE_RENAME_INFORMATION, FileName) &&
                  offsetof(FILE_LINK_INFORMATION, RootDirectory) == offsetof(FILE_RENAME_INFORMATION, RootDirectory),
              "a link and a rename are asked for alike");

// Gives an opened file a second name (`link`) or a new one, replacing a file there, in the open
// folder. Where the system names nothing relative to an open folder (Wine), the folder's path
// serves while it still leads to that folder; a folder made at the old path is never touched.
bool NameIn(HANDLE folder, const std::wstring& folder_path, HANDLE file, const std::u16string& name, bool link,
            IoError& error) {
  auto set = [&](HANDLE root, const std::wstring& text) {
    std::vector<std::uint64_t> buffer((sizeof(FILE_RENAME_INFORMATION) + text.size() * sizeof(wchar_t)) / 8 + 1);
    auto* info = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
    info->ReplaceIfExists = link ? FALSE : TRUE;
    info->RootDirectory = root;
    info->FileNameLength = static_cast<ULONG>(text.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, text.data(), info->FileNameLength);
    IO_STATUS_BLOCK io{};
    return NtSetInformationFile(file, &io, info, static_cast<ULONG>(buffer.size() * sizeof(buffer[0])),
                                link ? FileLinkInformation : FileRenameInformation);
  };
  if (const DWORD invalid = NameError(name)) return Fail(error, invalid);
  if (!NamesHere(folder, folder_path, error)) return false;
  NTSTATUS status = set(folder, W(name));
  if (status == kStatusObjectTypeMismatch || status == kStatusPathSyntaxBad || status == kStatusNotImplemented ||
      status == kStatusInvalidParameter) {
    if (!StillAt(folder, folder_path)) return Fail(error, kFolderMovedError);
    status = set(nullptr, NtPath(Child(folder_path, name)));
  }
  return NT_SUCCESS(status) || FailStatus(error, status);
}

// Whether another program holds an entry open for its content: such a file can be neither deleted
// nor replaced, and the system answers a replacement with "access denied".
bool InUse(HANDLE folder, const std::u16string& name) {
  Handle h;
  IoError error;
  return !OpenIn(folder, name, FILE_READ_DATA, 0, FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, h, error) &&
         error.Code == ERROR_SHARING_VIOLATION;
}

// Reads a whole stream or file through an opening for reading.
bool ReadWhole(HANDLE h, std::string& bytes, IoError& error) {
  LARGE_INTEGER size{};
  return (GetFileSizeEx(h, &size) || Fail(error)) && ReadAll(h, size.QuadPart, bytes, error);
}

// What Windows' own replacement of a file keeps of the file it replaces, copied onto the file that
// takes its place: its named data streams (a download's zone mark, a tagging program's data) and its
// access control list. False, with the reason, when that cannot be done: the replacement would
// lose them.
bool CarryOver(HANDLE old_file, HANDLE new_file, IoError& error) {
  std::vector<std::uint64_t> records(512);
  for (;;) {
    IO_STATUS_BLOCK io{};
    const NTSTATUS status = NtQueryInformationFile(old_file, &io, records.data(),
                                                   static_cast<ULONG>(records.size() * sizeof(records[0])),
                                                   FileStreamInformation);
    if ((status == kStatusBufferOverflow || status == kStatusBufferTooSmall) && records.size() < (1u << 20)) {
      records.resize(records.size() * 2);
      continue;
    }
    if (!NT_SUCCESS(status)) break;  // a file system without streams
    for (const std::u16string& stream : NamedStreams(records.data(), io.Information)) {
      // A stream is opened relative to its file's opening by its own name (":name:$DATA").
      Handle in, out;
      std::string bytes;
      NTSTATUS opened = OpenAt(old_file, W(stream), GENERIC_READ, kShareAll, FILE_OPEN,
                               FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY, in);
      if (!NT_SUCCESS(opened)) return FailStatus(error, opened);
      if (!ReadWhole(in.get(), bytes, error)) return false;
      opened = OpenAt(new_file, W(stream), GENERIC_WRITE, 0, FILE_OVERWRITE_IF, FILE_NON_DIRECTORY_FILE, out);
      if (!NT_SUCCESS(opened)) return FailStatus(error, opened);
      if (!WriteAll(out.get(), bytes, error)) return false;
    }
    break;
  }
  DWORD flags = 0;
  if (!GetVolumeInformationByHandleW(old_file, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) ||
      (flags & FILE_PERSISTENT_ACLS) == 0) {
    return true;  // no access control lists here (FAT, exFAT)
  }
  // The list as it stands, inherited entries and protection from inheritance included.
  std::vector<std::uint64_t> descriptor(64);
  DWORD needed = 0;
  while (!GetKernelObjectSecurity(old_file, DACL_SECURITY_INFORMATION, descriptor.data(),
                                  static_cast<DWORD>(descriptor.size() * sizeof(descriptor[0])), &needed)) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= descriptor.size() * sizeof(descriptor[0])) {
      return Fail(error);
    }
    descriptor.resize(needed / sizeof(descriptor[0]) + 1);
  }
  Handle dac;
  const NTSTATUS opened = OpenAt(new_file, L"", WRITE_DAC, kShareAll, FILE_OPEN, 0, dac);
  if (!NT_SUCCESS(opened)) return FailStatus(error, opened);
  return SetKernelObjectSecurity(dac.get(), DACL_SECURITY_INFORMATION, descriptor.data()) || Fail(error);
}

}  // namespace

bool IoError::NotFound() const {
  // A file where a folder was expected on the way ("a.bms\x") is an absent name too; a server that
  // does not answer (ERROR_BAD_NETPATH) is no answer.
  return Code == ERROR_FILE_NOT_FOUND || Code == ERROR_PATH_NOT_FOUND || Code == ERROR_INVALID_DRIVE ||
         Code == ERROR_DIRECTORY;
}
bool IoError::AlreadyExists() const { return Code == ERROR_FILE_EXISTS || Code == ERROR_ALREADY_EXISTS; }

std::u16string ErrorText(const IoError& error) {
  switch (error.Code) {
    case 0: return std::u16string();
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_DIRECTORY:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return u"見つかりません";
    case ERROR_ACCESS_DENIED: return u"アクセスが拒否されました";
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
    case ERROR_GEN_FAILURE: return u"入出力エラー";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return u"ディスクの空きがありません";
    case ERROR_WRITE_PROTECT: return u"読み取り専用のファイルシステムです";
    case ERROR_FILENAME_EXCED_RANGE: return u"名前が長すぎます";
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return u"同じ名前があります";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_BUSY: return u"使用中です";
    case kIsLinkError: return u"シンボリックリンクです";
    case ERROR_DIR_NOT_EMPTY: return u"フォルダが空ではありません";
    case kIsFolderError: return u"フォルダです";
    case ERROR_NOT_SAME_DEVICE: return u"別のドライブです";
    case ERROR_FILE_TOO_LARGE: return u"ファイルが大きすぎます";
    case ERROR_TOO_MANY_OPEN_FILES: return u"開いているファイルが多すぎます";
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return u"メモリが足りません";
    case ERROR_NOT_READY: return u"ドライブの準備ができていません";
    case ERROR_INVALID_NAME: return u"名前が正しくありません";
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED: return u"この操作には対応していません";
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR: return u"接続が切れました";
    case ERROR_CANCELLED: return u"中断されました";
    case kFolderMovedError: return u"フォルダが移動されました";
    default: break;
  }
  // The system's text where it is Japanese (a text all ASCII is in another language), else the code.
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, static_cast<DWORD>(error.Code), MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN),
                                 reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string out = n > 0 ? U(text) : std::u16string();
  if (text != nullptr) LocalFree(text);
  while (!out.empty() && (out.back() == u'\r' || out.back() == u'\n' || out.back() == u' ' || out.back() == u'.' ||
                          out.back() == u'。')) {
    out.pop_back();
  }
  if (std::all_of(out.begin(), out.end(), [](char16_t c) { return c < 0x80; })) {
    out = u"不明なエラー (" + DecodeUtf8(std::to_string(error.Code)) + u")";
  }
  return out;
}

// ---- File ------------------------------------------------------------------------------------
// handle_ is the file's handle, opened for deleting too, so that a file given up goes through its
// own opening; folder_ the opening of its folder (which outlives it); path_ the long form of its
// path.

void File::Discard() {
  if (handle_ < 0) return;
  FILE_DISPOSITION_INFO gone{TRUE};
  IoError ignored;
  if (NamesHere(H(folder_), W(ParentFolder(path_)), ignored)) {
    SetFileInformationByHandle(H(handle_), FileDispositionInfo, &gone, sizeof gone);
  }
  CloseHandle(H(handle_));
  handle_ = -1;
}

bool File::Write(std::string_view bytes, IoError& error) {
  if (handle_ < 0) return Fail(error, ERROR_INVALID_HANDLE);
  return WriteAll(H(handle_), bytes, error);
}

bool File::Finish(const FileInfo& like, bool durable, IoError& error) {
  if (handle_ < 0) return Fail(error, ERROR_INVALID_HANDLE);
  const HANDLE h = H(handle_);
  // The model's attributes without read-only (as a time copy leaves a file) and all three of its
  // times, in one call.
  FILE_BASIC_INFO basic{};
  if (like.Times.HasCreation) basic.CreationTime.QuadPart = Units(like.Times.Creation);
  basic.LastAccessTime.QuadPart = Units(like.Times.Access);
  basic.LastWriteTime.QuadPart = Units(like.Times.Write);
  const DWORD attributes =
      static_cast<DWORD>(like.Attributes) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
  basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
  bool ok = SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic) || Fail(error);
  ok = ok && (!durable || FlushFileBuffers(h) || Fail(error));
  if (!ok) {
    Discard();
    return false;
  }
  handle_ = -1;
  if (CloseHandle(h)) return true;
  Fail(error);
  // A file that will not close is given up as any other failure, where its folder is still there.
  IoError ignored;
  if (NamesHere(H(folder_), W(ParentFolder(path_)), ignored)) DeleteFileW(W(path_).c_str());
  return false;
}

// ---- Folder ----------------------------------------------------------------------------------
// handle_ is the folder's opening (for its attributes only: it keeps nobody from anything), native_
// the long form of the path it was opened by.

Folder::~Folder() {
  if (handle_ >= 0) CloseHandle(H(handle_));
}

Folder::Folder(Folder&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), native_(std::move(other.native_)), path_(std::move(other.path_)) {
  other.native_.clear();
}

Folder& Folder::operator=(Folder&& other) noexcept {
  if (this != &other) {
    if (handle_ >= 0) CloseHandle(H(handle_));
    handle_ = std::exchange(other.handle_, -1);
    native_ = std::move(other.native_);
    path_ = std::move(other.path_);
    other.native_.clear();
  }
  return *this;
}

Folder Folder::Open(const std::u16string& path, IoError& error) {
  Folder folder;
  if (path.empty()) {
    Fail(error, ERROR_PATH_NOT_FOUND);
    return folder;
  }
  const std::wstring native = LongPath(path);
  if (HasTooLongName(native)) {
    Fail(error, ERROR_FILENAME_EXCED_RANGE);
    return folder;
  }
  // A link in the path is followed: it is the user's own choice.
  Handle h(OpenEntry(native, FILE_READ_ATTRIBUTES, true));
  BY_HANDLE_FILE_INFORMATION fi;
  if (!h.ok() || !GetFileInformationByHandle(h.get(), &fi)) {
    Fail(error);
    return folder;
  }
  if ((fi.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    Fail(error, ERROR_DIRECTORY);
    return folder;
  }
  folder.handle_ = Value(h.release());
  folder.native_ = U(native);
  folder.path_ = path;
  return folder;
}

Folder Folder::OpenSub(const std::u16string& name, IoError& error) const {
  Folder folder;
  Handle h;
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!OpenIn(H(handle_), name, FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN_REPARSE_POINT, h, error) ||
      !TagOf(h.get(), tag, error)) {
    return folder;
  }
  if (IsLinkEntry(tag.FileAttributes, tag.ReparseTag)) {
    Fail(error, kIsLinkError);
    return folder;
  }
  if ((tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    Fail(error, ERROR_DIRECTORY);
    return folder;
  }
  folder.handle_ = Value(h.release());
  folder.native_ = U(Child(W(native_), name));
  folder.path_ = PathOf(name);
  return folder;
}

std::u16string Folder::PathOf(const std::u16string& name) const { return JoinPath(path_, name); }

bool Folder::List(std::vector<DirEntry>& entries, IoError& error, Order order) const {
  entries.clear();
  const HANDLE folder = H(handle_);
  if (handle_ < 0) return Fail(error, ERROR_INVALID_HANDLE);
  IoError untold;
  const bool listed = EachEntryIn(folder, error, [&](const FILE_FULL_DIR_INFORMATION& record, std::wstring_view name) {
    DirEntry entry;
    entry.Name.assign(name.begin(), name.end());
    DWORD attributes = record.FileAttributes;
    entry.IsLink = IsLinkEntry(attributes, record.EaSize);
    if (entry.IsLink) {
      // Only a link costs a look: its attributes are those of what it points to.
      Handle target;
      IoError looked;
      BY_HANDLE_FILE_INFORMATION fi;
      if (OpenIn(folder, entry.Name, FILE_READ_ATTRIBUTES, kShareAll, 0, target, looked) &&
          (GetFileInformationByHandle(target.get(), &fi) || Fail(looked))) {
        attributes = fi.dwFileAttributes;
      } else if (looked.NotFound() || looked.Code == ERROR_CANT_RESOLVE_FILENAME) {
        entry.Dangling = true;
        attributes &= ~DWORD(FILE_ATTRIBUTE_DIRECTORY);  // nothing there that could be entered
      } else {
        // A link that cannot be followed for another reason leaves the listing untold: an entry
        // taken for dangling (a sound set behind a link) would make work look like none.
        untold = looked;
      }
    }
    entry.Attributes = static_cast<int>(attributes & kKnownAttributes);
    entries.push_back(std::move(entry));
  });
  if (listed && untold) error = untold;
  if (!listed || untold) {
    entries.clear();
    return false;
  }
  if (order == Order::ByName) {
    SortByName(entries);
  }
  return true;
}

bool Folder::SelfInfo(FileInfo& info, IoError& error) const {
  return native_.empty() ? Fail(error, ERROR_INVALID_HANDLE) : InfoOf(W(native_), info, true, error);
}

bool Folder::Info(const std::u16string& name, FileInfo& info, bool follow, IoError& error) const {
  Handle h;
  if (OpenIn(H(handle_), name, FILE_READ_ATTRIBUTES, kShareAll, follow ? 0 : FILE_OPEN_REPARSE_POINT, h, error)) {
    return InfoOfOpened(h.get(), info, follow, error);
  }
  if (error.Code != ERROR_ACCESS_DENIED && error.Code != ERROR_SHARING_VIOLATION) return false;
  // An entry that may not be opened (a system file in use) still has its record in the listing.
  bool found = false;
  IoError ignored;
  (void)EachEntryIn(H(handle_), ignored, [&](const FILE_FULL_DIR_INFORMATION& record, std::wstring_view) {
    FillInfo(record, follow, info);
    found = true;
  }, &name);
  return found;
}

bool Folder::Read(const std::u16string& name, std::string& bytes, FileInfo& info, IoError& error) const {
  bytes.clear();
  Handle h;
  return OpenIn(H(handle_), name, GENERIC_READ, kShareAll, FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY, h, error) &&
         ReadOpened(h.get(), bytes, info, error);
}

bool Folder::Create(const std::u16string& name, File& file, IoError& error, std::uint32_t) const {
  // A new entry only: nothing that exists is opened, a link at the name included. Others may read
  // the file meanwhile, never write it.
  Handle h;
  if (!NamesHere(H(handle_), W(native_), error) ||
      !OpenIn(H(handle_), name, GENERIC_WRITE | DELETE, FILE_SHARE_READ, FILE_NON_DIRECTORY_FILE, h, error, FILE_CREATE)) {
    return false;
  }
  file = File();
  file.handle_ = Value(h.release());
  file.folder_ = handle_;
  file.name_ = name;
  file.path_ = U(Child(W(native_), name));
  return true;
}

KeepResult Folder::Keep(const std::u16string& name, const std::u16string& copy, IoError& error) const {
  const HANDLE folder = H(handle_);
  // The file is held against every other opening while it gets its second name. One that another
  // program holds open could not be replaced afterwards, so it gets none ("in use").
  Handle file;
  if (!OpenIn(folder, name, FILE_READ_DATA | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0,
              FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, file, error)) {
    return KeepResult::Failed;
  }
  IoError link_error;
  if (NameIn(folder, W(native_), file.get(), copy, true, link_error)) return KeepResult::Made;
  if (link_error.AlreadyExists()) return KeepResult::Exists;
  if (link_error.NotFound() || link_error.Code == kFolderMovedError || link_error.Code == ERROR_INVALID_NAME) {
    error = link_error;
    return KeepResult::Failed;
  }
  // No links on this file system (FAT, exFAT, some shares): a copy that never replaces a file,
  // with the file's own attributes and times.
  FileInfo info;
  std::string bytes;
  Handle out;
  if (!InfoOfOpened(file.get(), info, false, error) || !ReadAll(file.get(), info.Size, bytes, error)) {
    return KeepResult::Failed;
  }
  if (!OpenIn(folder, copy, GENERIC_WRITE | DELETE, 0, FILE_NON_DIRECTORY_FILE, out, error, FILE_CREATE)) {
    return error.AlreadyExists() ? KeepResult::Exists : KeepResult::Failed;
  }
  if (WriteAll(out.get(), bytes, error) && SetTimesOf(out.get(), info.Times, error) &&
      SetAttributesOf(out.get(), static_cast<DWORD>(info.Attributes), error)) {
    return KeepResult::Made;
  }
  FILE_DISPOSITION_INFO gone{TRUE};
  SetFileInformationByHandle(out.get(), FileDispositionInfo, &gone, sizeof gone);
  return KeepResult::Failed;
}

bool Folder::Rename(const std::u16string& from, const std::u16string& to, IoError& error) const {
  const HANDLE folder = H(handle_);
  Handle file;
  if (!OpenIn(folder, from, DELETE | FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN_REPARSE_POINT, file, error)) return false;
  {
    // The file replaced first passes on what Windows' own replacement keeps; it is let go before
    // the replacement, which no opening of it may outlive.
    Handle old;
    IoError look;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (OpenIn(folder, to, READ_CONTROL | FILE_READ_ATTRIBUTES, kShareAll, FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT,
               old, look)) {
      if (TagOf(old.get(), tag, error) && !IsLinkEntry(tag.FileAttributes, tag.ReparseTag) &&
          !CarryOver(old.get(), file.get(), error)) {
        return false;
      }
    } else if (!look.NotFound() && look.Code != ERROR_ACCESS_DENIED) {
      // (Access denied: a folder at the name, which the replacement refuses below.)
      error = look;
      return false;
    }
  }
  if (NameIn(folder, W(native_), file.get(), to, false, error)) return true;
  if (error.Code == ERROR_ACCESS_DENIED && InUse(folder, to)) error.Code = ERROR_SHARING_VIOLATION;
  return false;
}

bool Folder::Remove(const std::u16string& name, IoError& error) const {
  const HANDLE folder = H(handle_);
  if (!NamesHere(folder, W(native_), error)) return false;
  Handle h;
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!OpenIn(folder, name, DELETE | FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN_REPARSE_POINT, h, error) ||
      !TagOf(h.get(), tag, error)) {
    return false;
  }
  // A link to a folder is itself a folder entry here, and it goes as one; what it names stays.
  if ((tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !IsLinkEntry(tag.FileAttributes, tag.ReparseTag)) {
    return Fail(error, ERROR_ACCESS_DENIED);
  }
  return DeleteOpened(folder, name, h.get(), tag.FileAttributes, error);
}


bool Folder::SetTimes(const std::u16string& name, const FileTimes& times, IoError& error) const {
  Handle h;
  return OpenIn(H(handle_), name, FILE_WRITE_ATTRIBUTES, kShareAll, FILE_OPEN_REPARSE_POINT, h, error) &&
         SetTimesOf(h.get(), times, error);
}

bool Folder::MakeWritable(const std::u16string& name, const FileInfo& info, IoError& error) const {
  if ((info.Attributes & kAttrReadOnly) == 0) return true;
  // A link's attributes belong to the file it points to, which may lie outside the folder tree.
  if (info.IsLink) return Fail(error, kIsLinkError);
  return ChangeAttributesIn(H(handle_), name, [](DWORD a) { return a & ~DWORD(FILE_ATTRIBUTE_READONLY); }, error);
}

bool Folder::MakeNormal(const std::u16string& name, const FileInfo& info, IoError& error) const {
  if ((info.Attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive)) == 0) return true;
  if (info.IsLink) return Fail(error, kIsLinkError);
  return ChangeAttributesIn(H(handle_), name, [](DWORD a) { return a & kKeptAttributes; }, error);
}

bool Folder::SameAs(const Folder& other) const {
  std::uint64_t a_device = 0, a_id = 0, b_device = 0, b_id = 0;
  IoError ignored;
  return handle_ >= 0 && other.handle_ >= 0 && IdentityOfOpened(H(handle_), a_device, a_id, ignored) &&
         IdentityOfOpened(H(other.handle_), b_device, b_id, ignored) && a_device == b_device && a_id == b_id;
}

// ---- FolderLock ------------------------------------------------------------------------------
// The lock is a named object of the system, named after the folder's volume and index: only
// another run of these programs makes one of that name, on this machine, whoever runs it. Every
// other program may open, list and change the folder as it likes. The system drops the object when
// the run holding it ends, however it ends.

namespace {

std::wstring LockName(const wchar_t* space, std::uint64_t device, std::uint64_t id, const wchar_t* part = L"") {
  wchar_t name[128];
  swprintf(name, sizeof name / sizeof name[0], L"%ls\\ChartTools.FolderLock.%08llx.%016llx%ls", space,
           static_cast<unsigned long long>(device), static_cast<unsigned long long>(id), part);
  return name;
}

// Beside the lock, a few bytes of shared memory name the run that holds it: machine-wide where the
// user may make such names, else for the session.
struct HolderRecord {
  DWORD process;
  wchar_t program[120];
};

HANDLE TellHolder(std::uint64_t device, std::uint64_t id) {
  for (const wchar_t* space : {L"Global", L"Local"}) {
    const HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(HolderRecord),
                                              LockName(space, device, id, L".holder").c_str());
    if (mapping == nullptr) continue;
    if (auto* record = static_cast<HolderRecord*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(HolderRecord)))) {
      record->process = GetCurrentProcessId();
      const std::u16string program = ExecutableName().substr(0, 119);
      std::memcpy(record->program, program.c_str(), (program.size() + 1) * sizeof(wchar_t));
      UnmapViewOfFile(record);
    }
    return mapping;
  }
  return nullptr;
}

std::u16string ReadHolder(std::uint64_t device, std::uint64_t id) {
  std::u16string holder;
  for (const wchar_t* space : {L"Global", L"Local"}) {
    const HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, LockName(space, device, id, L".holder").c_str());
    if (mapping == nullptr) continue;
    if (const auto* record = static_cast<const HolderRecord*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0))) {
      const std::size_t length = wcsnlen(record->program, 120);
      if (record->process != 0 && length > 0) {
        holder = HolderText(std::u16string(record->program, record->program + length), record->process);
      }
      UnmapViewOfFile(record);
    }
    CloseHandle(mapping);
    if (!holder.empty()) break;
  }
  return holder;
}

}  // namespace

FolderLock::~FolderLock() {
  if (!held_) return;
  const std::lock_guard<std::mutex> guard(LocksMutex());
  auto& locks = HeldLocks();
  const auto it = locks.find({device_, id_});
  if (it == locks.end()) return;
  if (--it->second.count == 0) {
    if (it->second.holder != nullptr) CloseHandle(it->second.holder);
    if (it->second.handle != INVALID_HANDLE_VALUE) CloseHandle(it->second.handle);
    locks.erase(it);
  }
}

bool FolderLock::Acquire(const Folder& folder, IoError& error) {
  if (held_) return true;
  if (folder.handle_ < 0) return Fail(error, ERROR_INVALID_HANDLE);
  std::pair<std::uint64_t, std::uint64_t> key;
  if (!IdentityOfOpened(H(folder.handle_), key.first, key.second, error)) return false;
  const std::lock_guard<std::mutex> guard(LocksMutex());
  auto& locks = HeldLocks();
  auto it = locks.find(key);
  if (it == locks.end()) {
    HeldLock held;
    // Machine-wide, so that two users' runs meet too; a session that has no such names gets its own.
    for (const wchar_t* space : {L"Global", L"Local"}) {
      const HANDLE object = CreateMutexW(nullptr, FALSE, LockName(space, key.first, key.second).c_str());
      const DWORD code = GetLastError();
      if ((object != nullptr && code == ERROR_ALREADY_EXISTS) || (object == nullptr && code == ERROR_ACCESS_DENIED)) {
        // Another run has it (another user's, when this one may not even open its object).
        if (object != nullptr) CloseHandle(object);
        holder_ = ReadHolder(key.first, key.second);
        return false;
      }
      if (object != nullptr) {
        held.handle = object;
        held.holder = TellHolder(key.first, key.second);
        break;
      }
    }
    // Else the system makes no named objects here: the run goes on without a lock.
    it = locks.emplace(key, held).first;
  }
  ++it->second.count;
  device_ = key.first;
  id_ = key.second;
  held_ = true;
  exclusive_ = it->second.handle != INVALID_HANDLE_VALUE;
  return true;
}

// ---- Tree deletion ---------------------------------------------------------------------------

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

// ---- Streams ---------------------------------------------------------------------------------

std::vector<std::u16string> NamedStreams(const void* records, std::size_t size) {
  std::vector<std::u16string> names;
  const char* const start = static_cast<const char*>(records);
  const std::size_t head = offsetof(FILE_STREAM_INFORMATION, StreamName);
  for (std::size_t at = 0; at + head <= size;) {
    FILE_STREAM_INFORMATION record;
    std::memcpy(&record, start + at, head);
    const std::size_t length = std::min<std::size_t>(record.StreamNameLength, size - at - head) / sizeof(char16_t);
    std::u16string name(length, u'\0');
    std::memcpy(name.data(), start + at + head, length * sizeof(char16_t));
    // The file's own data is "::$DATA"; a named stream of data is ":name:$DATA".
    if (name.size() > 6 && name[0] == u':' && name != u"::$DATA" && name.compare(name.size() - 6, 6, u":$DATA") == 0) {
      names.push_back(std::move(name));
    }
    if (record.NextEntryOffset == 0) break;
    at += record.NextEntryOffset;
  }
  return names;
}

// ---- Paths -----------------------------------------------------------------------------------

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

std::u16string StoredName(const std::u16string& path) {
  if (path.empty()) return std::u16string();
  const std::wstring native = LongPath(path);
  if (HasWildcard(native)) return std::u16string();  // no name holds one
  WIN32_FIND_DATAW fd;
  Search search(FindFirstFileExW(native.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr, 0));
  return search.ok() ? U(fd.cFileName) : std::u16string();
}

// Names are UTF-16 on Windows and carry no bytes; a chart's bytes meet them as UTF-8, so that a
// UTF-8 chart finds its files here as it does on POSIX.
std::string NativeBytes(const std::u16string& name) { return ToUtf8(name); }

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
