// What the system's error numbers mean, in the words of the programs' messages.
#include <cerrno>
#include <string>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_posix.h"
#include "toolkit/text/Codecs.h"

namespace platform {

bool Fail(IoError& error) {
  error.Code = errno != 0 ? errno : EIO;
  return false;
}

bool IoError::NotFound() const { return Code == ENOENT || Code == ENOTDIR; }
bool IoError::AlreadyExists() const { return Code == EEXIST; }

std::u16string ErrorText(const IoError& error) {
  switch (error.Code) {
    case 0: return std::u16string();
    case ENOENT:
    case ENOTDIR: return u"見つかりません";
    case EACCES:
    case EPERM: return u"アクセスが拒否されました";
    case EIO: return u"入出力エラー";
    case ENOSPC:
    case EDQUOT: return u"ディスクの空きがありません";
    case EROFS: return u"読み取り専用のファイルシステムです";
    case ENAMETOOLONG: return u"名前が長すぎます";
    case EEXIST: return u"同じ名前があります";
    case EBUSY:
    case ETXTBSY: return u"使用中です";
    case ELOOP: return u"シンボリックリンクです";
    case ENOTEMPTY: return u"フォルダが空ではありません";
    case EISDIR: return u"フォルダです";
    case EINVAL: return u"通常のファイルではありません";
    case EXDEV: return u"別のファイルシステムです";
    case EMLINK: return u"リンクが多すぎます";
    case EFBIG:
    case EOVERFLOW: return u"ファイルが大きすぎます";
    case EMFILE:
    case ENFILE: return u"開いているファイルが多すぎます";
    case ENOMEM: return u"メモリが足りません";
    case EAGAIN: return u"一時的に使えません";
    case EINTR: return u"中断されました";
    case ESTALE:
    case ENOTCONN:
    case ECONNRESET:
    case ECONNABORTED:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH: return u"接続が切れました";
    case ETIMEDOUT: return u"時間切れです";
    case ENOTSUP: return u"この操作には対応していません";
    case EBADF: return u"無効なファイルハンドルです";
    case ENXIO:
    case ENODEV: return u"デバイスがありません";
    case ENOLCK: return u"ロックできません";
    default: break;
  }
  // The system's own text is English: never shown inside a Japanese message.
  return u"不明なエラー (" + text::DecodeUtf8(std::to_string(error.Code)) + u")";
}

}  // namespace platform
