// Paths and names as the system takes them: the long form, and what can be no name.
#include "toolkit/platform/win32.h"

#include <string>
#include <string_view>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_win.h"

namespace platform {
namespace {

// The longest name a Windows file system takes (NTFS, FAT, exFAT, ReFS alike).
constexpr std::size_t kMaxName = 255;

}  // namespace

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

// The system's own form of a long path: "\??\C:\..." for "\\?\C:\...".
std::wstring NtPath(const std::wstring& path) {
  const bool prefixed = path.size() >= 4 && path[0] == L'\\' && path[1] == L'\\' && (path[2] == L'?' || path[2] == L'.') &&
                        path[3] == L'\\';
  return L"\\??\\" + (prefixed ? path.substr(4) : path);
}

}  // namespace platform
