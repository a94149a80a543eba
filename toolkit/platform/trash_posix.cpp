// The desktop's trash on Linux and other free desktops: the freedesktop.org trash, in which every
// trashed entry lies in files/ beside a note of where it came from in info/, so that a file manager
// can put it back. An entry goes to the trash of its own volume, for only a rename keeps it whole:
// the user's own trash when that lies on the same mount, else the trash at the top of the mount.
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_posix.h"
#include "toolkit/text/Codecs.h"

namespace platform {
namespace {

// An owned file descriptor.
struct OwnedFd {
  int fd = -1;
  explicit OwnedFd(int f = -1) : fd(f) {}
  ~OwnedFd() {
    if (fd >= 0) close(fd);
  }
  OwnedFd(const OwnedFd&) = delete;
  OwnedFd& operator=(const OwnedFd&) = delete;
};

bool Failed(IoError& error, int code = 0) {
  error.Code = code != 0 ? code : errno;
  return false;
}

// "\\040" and the like in /proc/self/mountinfo stand for one byte each.
std::string Unescaped(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() &&
        field.find_first_not_of("01234567", i + 1) >= i + 4) {
      out.push_back(static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8)));
      i += 3;
      continue;
    }
    out.push_back(field[i]);
  }
  return out;
}

// Where a mount is seen in this process, from its number; empty when it is not listed.
std::string MountPoint(std::uint64_t mount) {
  std::ifstream table("/proc/self/mountinfo");
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::uint64_t id = 0, parent = 0;
    std::string devices, root, point;
    if (!(fields >> id >> parent >> devices >> root >> point)) continue;
    if (id == mount) return Unescaped(point);
  }
  return std::string();
}

// A folder of the trash, made when missing (private to its owner), never through a link.
bool OpenTrashFolder(int at, const char* name, OwnedFd& out, IoError& error) {
  if (mkdirat(at, name, 0700) != 0 && errno != EEXIST) return Failed(error);
  out.fd = openat(at, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  return out.fd >= 0 || Failed(error);
}

// A trash folder's files/ and info/, opened.
struct TrashFolders {
  OwnedFd trash, files, info;
  std::string top;  // a trash at the top of a mount: the notes' paths are relative to it
};

bool OpenTrash(int at, const char* name, TrashFolders& out, IoError& error) {
  return OpenTrashFolder(at, name, out.trash, error) && OpenTrashFolder(out.trash.fd, "files", out.files, error) &&
         OpenTrashFolder(out.trash.fd, "info", out.info, error);
}

// The folder the user's own trash lies in: $XDG_DATA_HOME, or ~/.local/share; empty when neither
// is known.
std::string DataHome() {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') return xdg;
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return std::string(home) + "/.local/share";
  return std::string();
}

// The user's own trash, DataHome()/Trash.
bool OpenHomeTrash(const std::string& data, TrashFolders& out, IoError& error) {
  if (data.empty()) return Failed(error, ENOENT);
  // Every folder on the way is made when missing, as a desktop would on its first deletion.
  for (std::size_t slash = data.find('/', 1); ; slash = data.find('/', slash + 1)) {
    const std::string part = data.substr(0, slash);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return Failed(error);
    if (slash == std::string::npos) break;
  }
  OwnedFd base(open(data.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (base.fd < 0) return Failed(error);
  return OpenTrash(base.fd, "Trash", out, error);
}

// The mount the user's trash would lie on: that of the nearest folder of its path that is there.
bool HomeMount(std::string path, std::uint64_t& mount) {
  if (path.empty() || path[0] != '/') return false;
  for (;;) {
    const OwnedFd fd(open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (fd.fd >= 0) return MountIdOf(fd.fd, mount);
    if (path == "/") return false;
    const std::size_t slash = path.rfind('/');
    path.resize(slash == 0 ? 1 : slash);
  }
}

// The trash at the top of a mount: the shared "$top/.Trash/$uid" when the administrator made
// .Trash a real folder with the sticky bit, else the user's own "$top/.Trash-$uid".
bool OpenTopTrash(const std::string& top, TrashFolders& out, IoError& error) {
  OwnedFd base(open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (base.fd < 0) return Failed(error);
  const std::string uid = std::to_string(geteuid());
  struct stat st {};
  if (fstatat(base.fd, ".Trash", &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) != 0) {
    OwnedFd shared(openat(base.fd, ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (shared.fd >= 0 && OpenTrash(shared.fd, uid.c_str(), out, error)) {
      out.top = top;
      return true;
    }
  }
  const std::string own = ".Trash-" + uid;
  if (!OpenTrash(base.fd, own.c_str(), out, error)) return false;
  // A folder of that name that someone else made is not this user's trash.
  if (fstat(out.trash.fd, &st) != 0) return Failed(error);
  if (st.st_uid != geteuid()) return Failed(error, EACCES);
  out.top = top;
  return true;
}

// A path as the note's "Path=" key writes it: every byte outside the unreserved set and "/" escaped.
std::string Escaped(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : path) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
        std::strchr("/-_.~", c) != nullptr) {
      out.push_back(static_cast<char>(c));
    } else {
      out += '%';
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

std::string LocalTime() {
  const std::time_t now = std::time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

bool WriteNote(int fd, const std::string& text, IoError& error) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Failed(error);
    }
    done += static_cast<std::size_t>(n);
  }
  return fsync(fd) == 0 || Failed(error);
}

// The name an entry is stored under in files/: its own, cut where it and its note's name (with a
// number to tell it from a namesake) would be too long for a name; its note tells the whole name.
std::string StoredBase(const std::string& native) {
  constexpr std::size_t kRoom = NAME_MAX - sizeof ".trashinfo" - sizeof ".9999";
  if (native.size() <= kRoom) return native;
  std::size_t end = kRoom;
  while (end > 0 && (static_cast<unsigned char>(native[end]) & 0xC0) == 0x80) --end;  // not inside a character
  return native.substr(0, end);
}

// Moves an entry into files/ under a name nothing there has; where the file system cannot refuse to
// replace, the name is taken when it is still free, the note having reserved it.
bool MoveIn(int folder, const std::string& native, int files, const std::string& stored) {
  if (syscall(SYS_renameat2, folder, native.c_str(), files, stored.c_str(), 1 /* RENAME_NOREPLACE */) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  struct stat taken {};
  if (fstatat(files, stored.c_str(), &taken, AT_SYMLINK_NOFOLLOW) == 0) {
    errno = EEXIST;
    return false;
  }
  return renameat(folder, native.c_str(), files, stored.c_str()) == 0;
}

}  // namespace

bool Folder::Trash(const std::u16string& name, IoError& error) const {
  const int folder = static_cast<int>(handle_);
  const std::string native = text::ToUtf8(name);
  struct stat st {};
  if (fstatat(folder, native.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return Failed(error);
  // Where the entry really is: the folder's own path as the system knows it, and still the folder
  // (not removed, not replaced), or the note would send it back elsewhere.
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", folder);
  std::string where(PATH_MAX + 1, '\0');
  const ssize_t length = readlink(link, where.data(), where.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= where.size()) return Failed(error, length < 0 ? errno : ENAMETOOLONG);
  where.resize(static_cast<std::size_t>(length));
  struct stat self {}, seen {};
  if (fstat(folder, &self) != 0 || stat(where.c_str(), &seen) != 0 || self.st_dev != seen.st_dev ||
      self.st_ino != seen.st_ino) {
    return Failed(error, ENOENT);
  }
  const std::string original = (where == "/" ? where : where + "/") + native;

  std::uint64_t mount = 0, home_mount = 0;
  if (!MountIdOf(folder, mount)) return Failed(error);
  const std::string data = DataHome();
  TrashFolders home, top;
  IoError home_error;
  TrashFolders* trash_of_mount = &home;
  const bool home_open = OpenHomeTrash(data, home, home_error) && MountIdOf(home.files.fd, home_mount);
  if (!home_open || home_mount != mount) {
    // The user's own trash serves its own mount alone: an entry there that it cannot take goes to
    // no other trash.
    if (!home_open && (!HomeMount(data, home_mount) || home_mount == mount)) {
      return Failed(error, home_error ? home_error.Code : ENOENT);
    }
    const std::string point = MountPoint(mount);
    if (point.empty()) return Failed(error, EXDEV);
    if (!OpenTopTrash(point, top, error)) return false;
    std::uint64_t top_mount = 0;
    if (!MountIdOf(top.files.fd, top_mount)) return Failed(error);
    if (top_mount != mount) return Failed(error, EXDEV);
    trash_of_mount = &top;
  }
  const TrashFolders& trash = *trash_of_mount;
  std::string path = original;
  if (!trash.top.empty()) {
    const std::string prefix = trash.top == "/" ? "/" : trash.top + "/";
    if (path.compare(0, prefix.size(), prefix) == 0) path = path.substr(prefix.size());
  }
  const std::string note = "[Trash Info]\nPath=" + Escaped(path) + "\nDeletionDate=" + LocalTime() + "\n";

  // The first free name: its note is made exclusively, so two deletions never share one.
  const std::string base = StoredBase(native);
  for (int n = 1; n <= 9999; ++n) {
    const std::string stored = n == 1 ? base : base + "." + std::to_string(n);
    const std::string info = stored + ".trashinfo";
    struct stat taken {};
    if (fstatat(trash.files.fd, stored.c_str(), &taken, AT_SYMLINK_NOFOLLOW) == 0) continue;
    OwnedFd file(openat(trash.info.fd, info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (file.fd < 0) {
      if (errno == EEXIST) continue;
      return Failed(error);
    }
    if (!WriteNote(file.fd, note, error) || !MoveIn(folder, native, trash.files.fd, stored)) {
      if (!error) Failed(error);
      unlinkat(trash.info.fd, info.c_str(), 0);
      if (error.Code == EEXIST) {
        error = {};
        continue;
      }
      return false;
    }
    return true;
  }
  return Failed(error, EEXIST);
}

}  // namespace platform
