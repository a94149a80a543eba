#include "tests/support/Windows.h"

#include "toolkit/platform/win32.h"
#include <aclapi.h>
#include <objbase.h>
#include <sddl.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace {

std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

}  // namespace

int RunCommandLine(const std::u16string& exe, const std::u16string& command_line, std::string& output) {
  output.clear();
  std::wstring line = W(command_line);
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return -1;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = startup.hStdError = write_end;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(W(exe).c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(write_end);
  if (!started) {
    CloseHandle(read_end);
    return -1;
  }
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0) output.append(buffer, got);
  CloseHandle(read_end);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return static_cast<int>(status);
}

std::u16string AccessList(const std::u16string& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL list = nullptr;
  std::u16string text;
  if (GetNamedSecurityInfoW(W(path).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &list, nullptr,
                            &descriptor) == ERROR_SUCCESS) {
    wchar_t* sddl = nullptr;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &sddl,
                                                             nullptr)) {
      text = reinterpret_cast<const char16_t*>(sddl);
      LocalFree(sddl);
    }
    LocalFree(descriptor);
  }
  return text;
}

bool SetAccessList(const std::u16string& path, const std::u16string& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(W(sddl).c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    return false;
  }
  const bool set = SetFileSecurityW(W(path).c_str(), DACL_SECURITY_INFORMATION, descriptor) != 0;
  LocalFree(descriptor);
  return set;
}

bool MakeShortcut(const std::u16string& shortcut, const std::u16string& target) {
  const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  bool made = false;
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->SetPath(W(target).c_str())) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      made = SUCCEEDED(file->Save(W(shortcut).c_str(), TRUE));
      file->Release();
    }
    link->Release();
  }
  if (com) CoUninitialize();
  return made;
}

HeldOpen::HeldOpen(const std::u16string& path, bool others_write)
    : handle_(CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ | (others_write ? FILE_SHARE_WRITE : 0), nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)) {}

HeldOpen::~HeldOpen() {
  if (IsOpen()) CloseHandle(handle_);
}

bool HeldOpen::IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
