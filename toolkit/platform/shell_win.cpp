// The Windows shell: ShellExecuteW for opening files and showing folders, the "Open with" dialog
// for a file no program is associated with, and the shell's link object for ".lnk" shortcuts.
#include "toolkit/platform/win32.h"
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/shell.h"

namespace platform {
namespace {

std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

ShellHandler& Handler() {
  static ShellHandler handler;
  return handler;
}

// The shell's objects need COM on the calling thread; a thread that has it already (a window's,
// in whichever model) keeps it as it is.
class ComScope {
 public:
  ComScope() : owned_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  ~ComScope() {
    if (owned_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool owned_;
};

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_ != nullptr) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* operator->() const { return p_; }
  T** Out() { return &p_; }
  void** OutVoid() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

int Execute(const wchar_t* verb, const std::wstring& file, const wchar_t* parameters) {
  ComScope com;
  const HINSTANCE answer = ShellExecuteW(nullptr, verb, file.c_str(), parameters, nullptr, SW_SHOWNORMAL);
  return static_cast<int>(reinterpret_cast<INT_PTR>(answer));
}

}  // namespace

int ShellRun(ShellVerb verb, const std::u16string& path) {
  if (Handler()) return Handler()(verb, path);
  switch (verb) {
    case ShellVerb::Open: return Execute(L"open", W(path), nullptr);
    case ShellVerb::Explore: return Execute(L"explore", W(path), nullptr);
    case ShellVerb::OpenWith: {
      // The system's dialog for choosing a program. rundll32 lives in the system folder (System32),
      // not in the Windows folder itself.
      std::wstring system(MAX_PATH, L'\0');
      const UINT n = GetSystemDirectoryW(system.data(), static_cast<UINT>(system.size()));
      if (n == 0 || n >= system.size()) return kShellFailed;
      system.resize(n);
      const std::wstring parameters = L"shell32.dll,OpenAs_RunDLL " + W(path);
      return Execute(L"open", system + L"\\rundll32.exe", parameters.c_str());
    }
  }
  return kShellFailed;
}

void SetShellHandler(ShellHandler handler) { Handler() = std::move(handler); }

std::u16string ShortcutTarget(const std::u16string& path) {
  if (path.empty() || !FileExists(path)) return std::u16string();
  ComScope com;
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.OutVoid()))) {
    return std::u16string();
  }
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.OutVoid()))) return std::u16string();
  if (FAILED(file->Load(W(path).c_str(), STGM_READ))) return std::u16string();
  // The target as stored, environment variables expanded; a link to something that is no file
  // (a printer, a control panel item) has no path.
  std::wstring target(32768, L'\0');
  if (link->GetPath(target.data(), static_cast<int>(target.size()), nullptr, 0) != S_OK) return std::u16string();
  target.resize(target.find(L'\0'));
  return std::u16string(target.begin(), target.end());
}

}  // namespace platform
