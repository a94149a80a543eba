// Open folders and the files made in them.
#include "toolkit/platform/win32.h"
#include <winternl.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_common.h"
#include "toolkit/platform/fs_win.h"

// The system's directory listing of an open folder (ntdll; Windows' own headers leave it to the
// driver kit).
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PVOID apc_routine, PVOID apc_context,
                                               PIO_STATUS_BLOCK io, PVOID buffer, ULONG length,
                                               FILE_INFORMATION_CLASS information_class, BOOLEAN single_entry,
                                               PUNICODE_STRING file_name, BOOLEAN restart_scan);

namespace platform {
namespace {

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

}  // namespace

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


}  // namespace platform
