// The Recycle Bin. The shell moves an entry there only by its ordinary path, so an entry whose path
// is longer than such a path may be cannot go; neither can one on a volume without a Recycle Bin (a
// network share, most removable drives): those stay where they are, and the caller is told why.
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

}  // namespace

bool Folder::Trash(const std::u16string& name, IoError& error) const {
  if (native_.empty()) return Failed(error, ERROR_INVALID_HANDLE);
  std::wstring path = OrdinaryPath(native_);
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  path.append(name.begin(), name.end());
  if (path.size() >= MAX_PATH) return Failed(error, ERROR_FILENAME_EXCED_RANGE);
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
  if (result != 0) return Failed(error, static_cast<DWORD>(result));
  if (op.fAnyOperationsAborted) return Failed(error, ERROR_CANCELLED);
  return true;
}

}  // namespace platform
