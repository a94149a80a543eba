// What every part of the POSIX file-system layer does with a look or an open descriptor: attributes
// and times from a look, whole reads and writes.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "toolkit/platform/fs.h"
#include "toolkit/platform/fs_posix.h"

namespace platform {

bool IsHiddenName(const std::u16string& name) {
  return !name.empty() && name[0] == u'.' && name != u"." && name != u"..";
}

int AttributesOf(const struct stat& st, const std::u16string& name) {
  int attrs = kAttrNormal;
  if (S_ISDIR(st.st_mode)) attrs |= kAttrDirectory;
  if ((st.st_mode & S_IWUSR) == 0) attrs |= kAttrReadOnly;
  if (IsHiddenName(name)) attrs |= kAttrHidden;
  return attrs;
}

std::int64_t Nanos(const struct timespec& ts) { return std::int64_t(ts.tv_sec) * 1000000000LL + ts.tv_nsec; }

struct timespec Timespec(std::int64_t ns) {
  struct timespec ts {};
  ts.tv_sec = static_cast<time_t>(ns / 1000000000LL);
  ts.tv_nsec = static_cast<long>(ns % 1000000000LL);
  if (ts.tv_nsec < 0) {
    ts.tv_nsec += 1000000000L;
    ts.tv_sec -= 1;
  }
  return ts;
}

void FillInfo(const struct stat& st, const std::u16string& name, FileInfo& info) {
  info.IsFolder = S_ISDIR(st.st_mode);
  info.IsLink = S_ISLNK(st.st_mode);
  info.Attributes = AttributesOf(st, name);
  info.Size = info.IsFolder ? 0 : std::int64_t(st.st_size);
  info.Times.HasCreation = false;
  info.Times.Creation = 0;
  info.Times.Access = Nanos(st.st_atim);
  info.Times.Write = Nanos(st.st_mtim);
  info.Mode = st.st_mode & 07777;
  info.Owner = st.st_uid;
  info.Group = st.st_gid;
  info.Device = st.st_dev;
  info.Id = st.st_ino;
  info.Links = static_cast<std::uint32_t>(st.st_nlink);
  info.Change = Nanos(st.st_ctim);
}

bool WriteAll(int fd, std::string_view bytes, IoError& error) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (put == 0) errno = EIO;
      return Fail(error);
    }
    done += static_cast<std::size_t>(put);
  }
  return true;
}

// Reads a whole regular file from an open descriptor whose look is `st`.
bool ReadAll(int fd, const struct stat& st, std::string& bytes, IoError& error) {
  // One byte of room more than the size tells a file that grew meanwhile; a short read of a regular
  // file is its end, so the usual file costs one read.
  bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
  std::size_t done = 0;
  for (;;) {
    if (done == bytes.size()) bytes.resize(bytes.size() * 2);
    const ssize_t got = read(fd, bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      bytes.clear();
      return Fail(error);
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
    if (done < bytes.size() && done == static_cast<std::size_t>(st.st_size)) break;
  }
  bytes.resize(done);
  return true;
}

}  // namespace platform
