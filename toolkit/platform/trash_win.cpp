// The Recycle Bin. The shell moves an entry there only by its ordinary path, so an entry whose path
// is longer than such a path may be cannot go, nor can one whose path the shell would read as another
// (a name ending in a dot or a blank, or a device name such as "con"); neither can one on a volume
// without a Recycle Bin (a network share, most removable drives): those stay where they are, and the
// caller is told why.
#include "toolkit/platform/win32.h"

#include <shellapi.h>

#include <string>

#include "toolkit/platform/fs.h"

namespace platform {
namespace {

bool Failed(IoError& error, DWORD code) {
  error.Code = static_cast<int>(code != 0 ? code : ERROR_GEN_FAILURE);
  return false;
}

// "\\?\C:\a" as "C:\a", "\\?\UNC\server\share\a" as "\\server\share\a".
std::wstring OrdinaryPath(const std::u16string& native) {
  std::wstring path(native.begin(), native.end());
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
  if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

// The root a path's volume is known by to the Recycle Bin: "C:\" or "\\server\share\".
std::wstring RootOf(const std::wstring& path) {
  if (path.rfind(L"\\\\", 0) == 0) {
    const std::size_t share = path.find(L'\\', 2);
    const std::size_t end = share == std::wstring::npos ? share : path.find(L'\\', share + 1);
    return (end == std::wstring::npos ? path : path.substr(0, end)) + L"\\";
  }
  return path.substr(0, 3);
}

// Whether an ordinary path's names mean what they say: the system drops a dot or a blank at the end
// of a name, and takes a device's name (with any extension) for the device.
bool MeansItself(const std::wstring& path) {
  static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
  for (std::size_t start = RootOf(path).size(); start < path.size();) {
    std::size_t end = path.find(L'\\', start);
    if (end == std::wstring::npos) end = path.size();
    const std::wstring name = path.substr(start, end - start);
    if (!name.empty() && (name.back() == L'.' || name.back() == L' ')) return false;
    std::wstring stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') stem.pop_back();
    for (wchar_t& c : stem) c = (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
    for (const wchar_t* device : kDevices) {
      if (stem == device) return false;
    }
    if (stem.size() == 4 && (stem.rfind(L"COM", 0) == 0 || stem.rfind(L"LPT", 0) == 0) && stem[3] >= L'0' &&
        stem[3] <= L'9') {
      return false;
    }
    start = end + 1;
  }
  return true;
}

// The shell's own result codes (older than the system's error numbers), as system errors.
DWORD ShellError(int result) {
  switch (result) {
    case 0x75: return ERROR_CANCELLED;              // DE_OPCANCELLED
    case 0x78: return ERROR_ACCESS_DENIED;          // DE_ACCESSDENIEDSRC
    case 0x79:                                      // DE_PATHTOODEEP
    case 0x81:                                      // DE_FILENAMETOOLONG
    case 0xB7: return ERROR_FILENAME_EXCED_RANGE;   // DE_ERROR_MAX
    case 0x7C:                                      // DE_INVALIDFILES
    case 0x402: return ERROR_PATH_NOT_FOUND;        // an unknown path
    case 0x85: return ERROR_FILE_TOO_LARGE;         // DE_FILE_TOO_LARGE
    default: break;
  }
  // The other shell codes lie between 0x71 and 0x86, or carry 0x10000 (an error at the destination).
  return (result >= 0x71 && result <= 0x86) || result >= 0x10000 ? ERROR_GEN_FAILURE : static_cast<DWORD>(result);
}

}  // namespace

bool Folder::Trash(const std::u16string& name, IoError& error) const {
  if (native_.empty()) return Failed(error, ERROR_INVALID_HANDLE);
  std::wstring path = OrdinaryPath(native_);
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  path.append(name.begin(), name.end());
  if (path.size() >= MAX_PATH) return Failed(error, ERROR_FILENAME_EXCED_RANGE);
  if (!MeansItself(path)) return Failed(error, ERROR_INVALID_NAME);
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return Failed(error, GetLastError());
  // A volume without a Recycle Bin would have the shell delete for good: refused before it is asked.
  SHQUERYRBINFO bin{};
  bin.cbSize = sizeof bin;
  if (FAILED(SHQueryRecycleBinW(RootOf(path).c_str(), &bin))) return Failed(error, ERROR_NOT_SUPPORTED);
  std::wstring from = path;
  from.push_back(L'\0');  // the list of paths ends with an empty one
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  // Undoable, without questions, except the shell's own warning when an entry would be destroyed
  // rather than recycled after all (too large for the bin): the user then decides.
  op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT | FOF_WANTNUKEWARNING;
  const int result = SHFileOperationW(&op);
  if (result != 0) return Failed(error, ShellError(result));
  if (op.fAnyOperationsAborted) return Failed(error, ERROR_CANCELLED);
  return true;
}

}  // namespace platform
