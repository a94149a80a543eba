// Windows implementation of the file-system layer. Names are UTF-16 here and go to the wide Win32
// calls as they are. A Folder keeps the long form of its path ("\\?\C:\..." or
// "\\?\UNC\server\share\..."), and every operation on an entry goes through it: no length limit
// applies, and a stored name reaches the file system unchanged (no trailing dot or blank trimmed).
#include "toolkit/platform/win32.h"

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

// The long path of an entry of an open folder; false, with the reason, for a folder that is not
// open (its entries would otherwise be looked for at the root of the current drive) or a text that
// can be no name of one of its entries.
bool EntryPath(const std::u16string& folder, const std::u16string& name, std::wstring& path, IoError& error) {
  if (folder.empty()) return Fail(error, ERROR_INVALID_HANDLE);
  if (const DWORD invalid = NameError(name)) return Fail(error, invalid);
  path = Child(W(folder), name);
  return true;
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
  BY_HANDLE_FILE_INFORMATION fi;
  if (!GetFileInformationByHandle(h.get(), &fi)) return Fail(error);
  FillInfo(fi, info);
  if (!follow && (fi.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (GetFileInformationByHandleEx(h.get(), FileAttributeTagInfo, &tag, sizeof tag)) {
      info.IsLink = IsLinkEntry(tag.FileAttributes, tag.ReparseTag);
    } else {
      info.IsLink = true;  // a reparse point that will not tell what it is: never followed
    }
  }
  return true;
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

// Reads a whole file; a file larger than `limit` bytes (when one is given) is refused unread.
bool ReadFileAt(const std::wstring& path, std::string& bytes, FileInfo& info, IoError& error, std::int64_t limit = -1) {
  bytes.clear();
  Handle h(CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!h.ok()) {
    const DWORD code = GetLastError();
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return Fail(error, code == ERROR_ACCESS_DENIED && folder ? kIsFolderError : code);
  }
  // Only files on a disk are read: never a device or a pipe planted at the name.
  if (GetFileType(h.get()) != FILE_TYPE_DISK) return Fail(error, ERROR_INVALID_FUNCTION);
  BY_HANDLE_FILE_INFORMATION fi;
  if (!GetFileInformationByHandle(h.get(), &fi)) return Fail(error);
  FillInfo(fi, info);
  if (info.IsFolder) return Fail(error, kIsFolderError);
  if (limit >= 0 && info.Size > limit) return Fail(error, ERROR_FILE_TOO_LARGE);
  return ReadAll(h.get(), info.Size, bytes, error);
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
// handle_ is the file's handle, path_ the long form of its path.

void File::Discard() {
  if (handle_ < 0) return;
  CloseHandle(H(handle_));
  handle_ = -1;
  DeleteFileW(W(path_).c_str());
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
  const BOOL closed = CloseHandle(h);
  handle_ = -1;
  if (ok && !closed) ok = Fail(error);
  if (!ok) DeleteFileW(W(path_).c_str());
  return ok;
}

// ---- Folder ----------------------------------------------------------------------------------

Folder::~Folder() = default;

Folder::Folder(Folder&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), native_(std::move(other.native_)), path_(std::move(other.path_)) {
  other.native_.clear();
}

Folder& Folder::operator=(Folder&& other) noexcept {
  if (this != &other) {
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
  DWORD attributes = 0;
  if (!FollowedAttributes(native, attributes)) {
    Fail(error);
    return folder;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    Fail(error, ERROR_DIRECTORY);
    return folder;
  }
  folder.native_ = U(native);
  folder.path_ = path;
  return folder;
}

Folder Folder::OpenSub(const std::u16string& name, IoError& error) const {
  Folder folder;
  std::wstring native;
  Look look;
  if (!EntryPath(native_, name, native, error) || !LookAt(native, look, error)) return folder;
  if (look.IsLink()) {
    Fail(error, kIsLinkError);
    return folder;
  }
  if ((look.attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    Fail(error, ERROR_DIRECTORY);
    return folder;
  }
  folder.native_ = U(native);
  folder.path_ = PathOf(name);
  return folder;
}

std::u16string Folder::PathOf(const std::u16string& name) const { return JoinPath(path_, name); }

bool Folder::List(std::vector<DirEntry>& entries, IoError& error, Order order) const {
  entries.clear();
  if (native_.empty()) return Fail(error, ERROR_INVALID_HANDLE);
  const std::wstring folder = W(native_);
  IoError untold;
  const bool listed = EachEntry(folder, error, [&](const WIN32_FIND_DATAW& fd) {
    DirEntry entry;
    entry.Name = U(fd.cFileName);
    DWORD attributes = fd.dwFileAttributes;
    entry.IsLink = IsLinkEntry(attributes, fd.dwReserved0);
    if (entry.IsLink) {
      // Only a link costs a look: its attributes are those of what it points to.
      DWORD target = 0;
      IoError looked;
      if (FollowedAttributes(Child(folder, entry.Name), target)) {
        attributes = target;
      } else if (Fail(looked); looked.NotFound() || looked.Code == ERROR_CANT_RESOLVE_FILENAME) {
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
  std::wstring path;
  return EntryPath(native_, name, path, error) && InfoOf(path, info, follow, error);
}

bool Folder::Read(const std::u16string& name, std::string& bytes, FileInfo& info, IoError& error) const {
  bytes.clear();
  std::wstring path;
  return EntryPath(native_, name, path, error) && ReadFileAt(path, bytes, info, error);
}

bool Folder::Create(const std::u16string& name, File& file, IoError& error, std::uint32_t) const {
  std::wstring path;
  if (!EntryPath(native_, name, path, error)) return false;
  // CREATE_NEW: nothing that exists is opened, a link at the name included. Others may read the
  // file meanwhile, never write it.
  const HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Fail(error);
  file = File();
  file.handle_ = Value(h);
  file.name_ = name;
  file.path_ = U(path);
  return true;
}

KeepResult Folder::Keep(const std::u16string& name, const std::u16string& copy, IoError& error) const {
  std::wstring from, to;
  if (!EntryPath(native_, name, from, error) || !EntryPath(native_, copy, to, error)) return KeepResult::Failed;
  if (CreateHardLinkW(to.c_str(), from.c_str(), nullptr)) return KeepResult::Made;
  IoError link_error;
  Fail(link_error);
  if (link_error.AlreadyExists()) return KeepResult::Exists;
  if (link_error.NotFound()) {
    error = link_error;
    return KeepResult::Failed;
  }
  // No links on this file system (FAT, exFAT, some shares): a copy that never replaces a file,
  // given the file's own times.
  FileInfo info;
  if (!InfoOf(from, info, true, error)) return KeepResult::Failed;
  if (!CopyFileExW(from.c_str(), to.c_str(), nullptr, nullptr, nullptr, COPY_FILE_FAIL_IF_EXISTS)) {
    Fail(error);
    return error.AlreadyExists() ? KeepResult::Exists : KeepResult::Failed;
  }
  {
    Handle h(OpenEntry(to, FILE_WRITE_ATTRIBUTES, false));
    if (h.ok() ? SetTimesOf(h.get(), info.Times, error) : Fail(error)) return KeepResult::Made;
  }
  DeleteFileW(to.c_str());
  return KeepResult::Failed;
}

bool Folder::Rename(const std::u16string& from, const std::u16string& to, IoError& error) const {
  std::wstring old_path, new_path;
  return EntryPath(native_, from, old_path, error) && EntryPath(native_, to, new_path, error) &&
         (MoveFileExW(old_path.c_str(), new_path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ||
          Fail(error));
}

bool Folder::Remove(const std::u16string& name, IoError& error) const {
  std::wstring path;
  Look look;
  return EntryPath(native_, name, path, error) && LookAt(path, look, error) && RemoveEntry(path, look, error);
}


bool Folder::SetTimes(const std::u16string& name, const FileTimes& times, IoError& error) const {
  std::wstring path;
  if (!EntryPath(native_, name, path, error)) return false;
  Handle h(OpenEntry(path, FILE_WRITE_ATTRIBUTES, false));
  return h.ok() ? SetTimesOf(h.get(), times, error) : Fail(error);
}

bool Folder::MakeWritable(const std::u16string& name, const FileInfo& info, IoError& error) const {
  if ((info.Attributes & kAttrReadOnly) == 0) return true;
  // A link's attributes belong to the file it points to, which may lie outside the folder tree.
  if (info.IsLink) return Fail(error, kIsLinkError);
  std::wstring path;
  Look look;
  if (!EntryPath(native_, name, path, error) || !LookAt(path, look, error)) return false;
  if (look.IsLink()) return Fail(error, kIsLinkError);
  return (look.attributes & FILE_ATTRIBUTE_READONLY) == 0 || ClearReadOnly(path, look.attributes) || Fail(error);
}

bool Folder::SameAs(const Folder& other) const {
  std::uint64_t a_device = 0, a_id = 0, b_device = 0, b_id = 0;
  IoError ignored;
  return IdentityOf(W(native_), a_device, a_id, ignored) && IdentityOf(W(other.native_), b_device, b_id, ignored) &&
         a_device == b_device && a_id == b_id;
}

// ---- FolderLock ------------------------------------------------------------------------------
// The lock is an opening of the folder with the right to add files, shared with readers and
// deleters but not with another such opening: a second run's opening fails, on this machine and
// through a network share alike, while listing the folder, creating, changing, renaming and deleting
// its entries stay open to everyone. The system closes it when a run dies.

FolderLock::~FolderLock() {
  if (!held_) return;
  const std::lock_guard<std::mutex> guard(LocksMutex());
  auto& locks = HeldLocks();
  const auto it = locks.find({device_, id_});
  if (it == locks.end()) return;
  if (--it->second.count == 0) {
    if (it->second.handle != INVALID_HANDLE_VALUE) CloseHandle(it->second.handle);
    locks.erase(it);
  }
}

bool FolderLock::Acquire(const Folder& folder, IoError& error) {
  if (held_) return true;
  const std::wstring path = W(folder.native_);
  std::pair<std::uint64_t, std::uint64_t> key;
  if (!IdentityOf(path, key.first, key.second, error)) return false;
  const std::lock_guard<std::mutex> guard(LocksMutex());
  auto& locks = HeldLocks();
  auto it = locks.find(key);
  if (it == locks.end()) {
    HeldLock held;
    held.handle = CreateFileW(path.c_str(), FILE_ADD_FILE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (held.handle == INVALID_HANDLE_VALUE) {
      const DWORD code = GetLastError();
      if (code == ERROR_SHARING_VIOLATION) return false;  // another run has it
      // Else the folder refuses this kind of opening (no right to add files, a medium that is read
      // only): the run goes on without a lock.
    }
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
    std::wstring native;
    IoError error;
    Look look;
    if (!EntryPath(parent.native_, name, native, error) || !LookAt(native, look, error)) return Refused(path, error);
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
  static Folder Sub(const std::wstring& native, const std::u16string& path) {
    Folder folder;
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

bool RenameReplace(const std::u16string& from, const std::u16string& to) {
  return !from.empty() && !to.empty() &&
         MoveFileExW(LongPath(from).c_str(), LongPath(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
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

bool ChangeDirectory(const std::u16string& path) { return !path.empty() && SetCurrentDirectoryW(W(path).c_str()); }

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
  if (name.size() > 4 && clsFileString().FileStrComp(name.substr(name.size() - 4), u".exe", 1) == 0) {
    name.resize(name.size() - 4);
  }
  return name;
}

}  // namespace platform
