// What the system's error codes mean, in the words of the programs' messages.
#include "toolkit/platform/win32.h"

#include <algorithm>
#include <string>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_win.h"
#include "toolkit/text/Codecs.h"

namespace platform {

bool Fail(IoError& error, DWORD code) {
  error.Code = code != 0 ? static_cast<int>(code) : ERROR_GEN_FAILURE;
  return false;
}

bool FailStatus(IoError& error, NTSTATUS status) {
  return Fail(error, status == kStatusNotADirectory ? ERROR_DIRECTORY : RtlNtStatusToDosError(status));
}

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
    out = u"不明なエラー (" + text::DecodeUtf8(std::to_string(error.Code)) + u")";
  }
  return out;
}

}  // namespace platform
