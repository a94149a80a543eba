// Every entry of a Folder is opened by its name relative to the folder's own opening (NtCreateFile
// with a root folder), never through a path built again.
#include "toolkit/platform/win32.h"

#include <cstring>
#include <vector>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_win.h"

namespace platform {
namespace {

// Wine keeps, for every opening, the path it was opened by, and names and deletes entries by that
// path: once a folder has moved, what is named or deleted through its opening would land at its old
// path, in whatever folder is there now.
bool NamesByPath() {
  static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

}  // namespace

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
            IoError& error, ULONG disposition) {
  if (folder == INVALID_HANDLE_VALUE) return Fail(error, ERROR_INVALID_HANDLE);
  if (const DWORD invalid = NameError(name)) return Fail(error, invalid);
  const NTSTATUS status = OpenAt(folder, W(name), access, share, disposition, options, h);
  return NT_SUCCESS(status) || FailStatus(error, status);
}

bool TagOf(HANDLE h, FILE_ATTRIBUTE_TAG_INFO& tag, IoError& error) {
  return GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag) || Fail(error);
}

// Sets the attributes of an opened entry, its times left as they are.
bool SetAttributesOf(HANDLE h, DWORD attributes, IoError& error) {
  FILE_BASIC_INFO basic{};
  attributes &= (kKnownAttributes | kKeptAttributes) & ~DWORD(FILE_ATTRIBUTE_DIRECTORY);
  basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic) || Fail(error);
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

// False, with the reason, where naming or deleting an entry through the folder's opening would act
// on another folder.
bool NamesHere(HANDLE folder, const std::wstring& path, IoError& error) {
  return !NamesByPath() || StillAt(folder, path) || Fail(error, kFolderMovedError);
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

}  // namespace platform
