// What the Windows files of the file-system layer share. Names are UTF-16 here and go to the wide
// Win32 calls as they are. A path is used in its long form ("\\?\C:\..." or "\\?\UNC\server\share\..."):
// no length limit applies, and a stored name reaches the file system unchanged (no trailing dot or
// blank trimmed). A Folder holds an opening of its folder, and its entries are opened relative to
// that opening by their names: a folder renamed or moved while a run works in it is still the one
// the run opened, as on POSIX.
#pragma once

#include "toolkit/platform/win32.h"
#include <winternl.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "toolkit/platform/fs.h"

namespace platform {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

inline std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
inline std::u16string U(const wchar_t* s) { return std::u16string(reinterpret_cast<const char16_t*>(s)); }
inline std::u16string U(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

inline HANDLE H(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }
inline std::intptr_t Value(HANDLE h) { return reinterpret_cast<std::intptr_t>(h); }

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

inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
inline constexpr DWORD kKnownAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                          FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE;
// The attributes a program may set besides the four the programs know; an entry keeps them.
inline constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY;
// What a link refused as a link reports: the name is one the system would have to resolve.
inline constexpr DWORD kIsLinkError = ERROR_CANT_RESOLVE_FILENAME;
// What a folder read as a file reports (ERROR_DIRECTORY_NOT_SUPPORTED, which older headers lack).
inline constexpr DWORD kIsFolderError = 336;

// What a folder moved away reports where the system can only name entries by a path (Wine): the
// path no longer leads to the folder the run opened. (Bit 29 marks a code of the program's own,
// which no system call gives.)
inline constexpr DWORD kFolderMovedError = 0x20000000 | 1;

// Codes the system's own calls answer with.
inline constexpr NTSTATUS Status(unsigned long code) { return static_cast<NTSTATUS>(code); }
inline constexpr NTSTATUS kStatusBufferOverflow = Status(0x80000005);
inline constexpr NTSTATUS kStatusNoMoreFiles = Status(0x80000006);
inline constexpr NTSTATUS kStatusNotImplemented = Status(0xC0000002);
inline constexpr NTSTATUS kStatusInvalidParameter = Status(0xC000000D);
inline constexpr NTSTATUS kStatusNoSuchFile = Status(0xC000000F);
inline constexpr NTSTATUS kStatusBufferTooSmall = Status(0xC0000023);
inline constexpr NTSTATUS kStatusObjectTypeMismatch = Status(0xC0000024);
inline constexpr NTSTATUS kStatusPathSyntaxBad = Status(0xC000003B);
inline constexpr NTSTATUS kStatusNotADirectory = Status(0xC0000103);

// Times: 100-nanosecond units since 1601 here, nanoseconds since 1970 in the interface.
inline constexpr std::int64_t kEpochDifference = 116444736000000000LL;

bool Fail(IoError& error, DWORD code = GetLastError());

bool FailStatus(IoError& error, NTSTATUS status);

// A symbolic link, a junction or a mount point: an entry that names another. Other reparse points
// (cloud placeholders, deduplicated files) are the files and folders they stand for.
bool IsLinkEntry(DWORD attributes, DWORD tag);

// An entry's own attributes and reparse tag, no link followed.
struct Look {
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
  DWORD tag = 0;
  bool IsLink() const { return IsLinkEntry(attributes, tag); }
  bool IsRealFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !IsLink(); }
};

// Times: to and from the system's units.
std::int64_t Nanos(const FILETIME& ft);
std::int64_t Nanos(const LARGE_INTEGER& units);
std::int64_t Units(std::int64_t ns);
FILETIME FileTime(std::int64_t ns);

// What a listing's record tells of an entry (no volume or file index: Device and Id stay 0). A
// reparse point's record carries its tag where other records carry the size of extended attributes.
void FillInfo(const FILE_FULL_DIR_INFORMATION& record, bool follow, FileInfo& info);

// Paths and names.
// Why a text can be no name of one entry of a folder (a separator, a stream, a wildcard, a control
// character, or too long), 0 when it can be one.
DWORD NameError(const std::u16string& name);
// A path with a name longer than any file system takes: no answer about it is "absent".
bool HasTooLongName(const std::wstring& path);
// A path that a directory search would take as a pattern (the "?" of a long form's prefix aside).
bool HasWildcard(const std::wstring& path);
bool IsDriveLetter(char16_t c);
// Where the long form begins: "\\?\" or "\\.\" in front of a path means no rewriting at all.
bool IsVerbatim(const std::u16string& path);
// The long form of a path: absolute, and prefixed so that neither the length limit nor the
// rewriting of names applies any further.
std::wstring LongPath(const std::u16string& path);
std::wstring Child(const std::wstring& folder, const std::u16string& name);
// The system's own form of a long path: "\??\C:\..." for "\\?\C:\...".
std::wstring NtPath(const std::wstring& path);

// Looks, reads and writes by path or through an opening.
bool LookAt(const std::wstring& path, Look& look, IoError& error);
// Opens an entry for a look or for its times; links followed or not.
HANDLE OpenEntry(const std::wstring& path, DWORD access, bool follow);
// A look through an opening of an entry; `follow` says whether the opening followed a link.
bool InfoOfOpened(HANDLE h, FileInfo& info, bool follow, IoError& error);
bool InfoOf(const std::wstring& path, FileInfo& info, bool follow, IoError& error);
// The attributes of what a path names, links followed; false when it cannot be reached.
bool FollowedAttributes(const std::wstring& path, DWORD& attributes);
bool SetTimesOf(HANDLE h, const FileTimes& times, IoError& error);
bool WriteAll(HANDLE h, std::string_view bytes, IoError& error);
// Reads a whole file from an open handle whose size is `size`.
bool ReadAll(HANDLE h, std::int64_t size, std::string& bytes, IoError& error);
// Reads a whole file through an opening for reading, with a look at it; a file larger than `limit`
// bytes (when one is given) is refused unread.
bool ReadOpened(HANDLE h, std::string& bytes, FileInfo& info, IoError& error, std::int64_t limit = -1);
bool ReadFileAt(const std::wstring& path, std::string& bytes, FileInfo& info, IoError& error, std::int64_t limit = -1);
// Deletes one entry that is not a real folder: a file (read-only too), or a link as a link.
bool RemoveEntry(const std::wstring& path, const Look& look, IoError& error);
// Removes a folder that the system just emptied. A file deleted while another program (a virus
// scanner, the indexer) still had it open leaves its name until that program lets go: a few short
// waits let it.
bool RemoveEmptiedFolder(const std::wstring& path, DWORD attributes, IoError& error);
// The volume and the index that name a file or folder, links followed.
bool IdentityOf(const std::wstring& path, std::uint64_t& device, std::uint64_t& id, IoError& error);

// Entries of an open folder, opened by their names relative to its opening.
// Opens `name` relative to the opening `root` (a folder, or a file for one of its streams); an
// empty name opens what `root` is once more.
NTSTATUS OpenAt(HANDLE root, std::wstring_view name, ACCESS_MASK access, ULONG share, ULONG disposition, ULONG options,
                Handle& h);
// Opens an entry of the open folder by its name; false, with the reason, for a folder that is not
// open or a text that can be no name of one of its entries.
bool OpenIn(HANDLE folder, const std::u16string& name, ACCESS_MASK access, ULONG share, ULONG options, Handle& h,
            IoError& error, ULONG disposition = FILE_OPEN);
bool TagOf(HANDLE h, FILE_ATTRIBUTE_TAG_INFO& tag, IoError& error);
// Sets the attributes of an opened entry, its times left as they are.
bool SetAttributesOf(HANDLE h, DWORD attributes, IoError& error);
// Marks an opened entry (opened for deleting) to go when its last opening closes. A read-only one
// loses that attribute first, and gets it back when it will not go.
bool DeleteOpened(HANDLE folder, const std::u16string& name, HANDLE h, DWORD attributes, IoError& error);
// The volume and the index that name an opened file or folder.
bool IdentityOfOpened(HANDLE h, std::uint64_t& device, std::uint64_t& id, IoError& error);
// False, with the reason, where naming or deleting an entry through the folder's opening would act
// on another folder.
bool NamesHere(HANDLE folder, const std::wstring& path, IoError& error);
// Gives an opened file a second name (`link`) or a new one, replacing a file there, in the open
// folder. Where the system names nothing relative to an open folder (Wine), the folder's path
// serves while it still leads to that folder; a folder made at the old path is never touched.
bool NameIn(HANDLE folder, const std::wstring& folder_path, HANDLE file, const std::u16string& name, bool link,
            IoError& error);
// Whether another program holds an entry open for its content: such a file can be neither deleted
// nor replaced, and the system answers a replacement with "access denied".
bool InUse(HANDLE folder, const std::u16string& name);

// What Windows' own replacement of a file keeps of the file it replaces, copied onto the file that
// takes its place: its named data streams (a download's zone mark, a tagging program's data) and its
// access control list. False, with the reason, when that cannot be done: the replacement would
// lose them.
bool CarryOver(HANDLE old_file, HANDLE new_file, IoError& error);

}  // namespace platform
