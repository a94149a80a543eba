// The freedesktop.org trash: what goes there can be put back, byte for byte, under its own name.
#include <sched.h>
#include <sys/mount.h>

#include <cstdlib>

#include "tests/support/Posix.h"

namespace {

// Points the user's trash into the test's folder for as long as it lives.
struct DataHome {
  explicit DataHome(const std::u16string& path) {
    const char* old = std::getenv("XDG_DATA_HOME");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("XDG_DATA_HOME", U8(path).c_str(), 1);
  }
  ~DataHome() { had_ ? (void)setenv("XDG_DATA_HOME", old_.c_str(), 1) : (void)unsetenv("XDG_DATA_HOME"); }
  bool had_ = false;
  std::string old_;
};

// What a file manager does to restore an entry: reads where it came from in its note, and moves it
// back there. Gives the restored path, empty when the note says nothing usable.
std::string Restore(const std::string& trash, const std::string& stored, const std::string& top = "") {
  std::string note;
  EXPECT_TRUE(platform::ReadWholeFile(platform::DecodeUtf8(trash + "/info/" + stored + ".trashinfo"), note));
  if (note.rfind("[Trash Info]\n", 0) != 0 || note.find("\nDeletionDate=") == std::string::npos) return "";
  const std::size_t at = note.find("\nPath=") + 6;
  const std::string escaped = note.substr(at, note.find('\n', at) - at);
  std::string path = escaped[0] == '/' ? "" : top + "/";
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    path.push_back(escaped[i] != '%' ? escaped[i] : static_cast<char>(std::stoi(escaped.substr(i + 1, 2), nullptr, 16)));
    if (escaped[i] == '%') i += 2;
  }
  return std::rename((trash + "/files/" + stored).c_str(), path.c_str()) == 0 ? path : "";
}

}  // namespace

TEST(Trash, EntriesGoToTheUsersTrashAndComeBackWhole) {
  TempDir t;
  const DataHome home(t / u"data");
  const std::string trash = U8(t / u"data/Trash");
  const std::string sjis_name = "\x83\x73\x83\x41\x83\x6D 100%.wav";  // ピアノ in Shift-JIS bytes
  t.MakeFolder(u"songs");
  t.Write(u"songs/a.bms", "#TITLE first\r\n");
  t.Write(u"songs/" + platform::DecodeUtf8(sjis_name), "RIFF");
  t.MakeFolder(u"songs/set");
  t.Write(u"songs/set/kick.wav", "kick");
  const platform::Folder songs = OpenFolder(t / u"songs");
  platform::IoError error;
  for (const std::u16string& name : std::vector<std::u16string>{u"a.bms", platform::DecodeUtf8(sjis_name), u"set"}) {
    EXPECT_TRUE(songs.Trash(name, error)) << U8(name) << " " << error.Code;
  }
  t.Write(u"songs/a.bms", "#TITLE second\r\n");  // a second one of the same name keeps the first
  EXPECT_TRUE(songs.Trash(u"a.bms", error));
  EXPECT_TRUE(t.Names(u"songs").empty());
  EXPECT_EQ(t.Names(u"data/Trash/files").size(), 4u);

  EXPECT_EQ(Restore(trash, "a.bms.2"), U8(t / u"songs/a.bms"));
  EXPECT_EQ(t.Read(u"songs/a.bms"), "#TITLE second\r\n");
  ASSERT_EQ(std::remove(U8(t / u"songs/a.bms").c_str()), 0);
  EXPECT_EQ(Restore(trash, "a.bms"), U8(t / u"songs/a.bms"));
  EXPECT_EQ(Restore(trash, sjis_name), U8(t / u"songs") + "/" + sjis_name);
  EXPECT_EQ(Restore(trash, "set"), U8(t / u"songs/set"));
  EXPECT_EQ(t.Read(u"songs/a.bms") + t.Read(u"songs/" + platform::DecodeUtf8(sjis_name)) + t.Read(u"songs/set/kick.wav"),
            "#TITLE first\r\nRIFFkick");
}

// An entry on another mount goes to the trash at the top of that mount, where a rename can take it;
// where no trash can be made there, it stays where it is. (A mount of its own needs a private mount
// namespace: a child process makes one.)
TEST(Trash, AnotherMountHasItsOwnTrashAndNothingGoesWithoutOne) {
  TempDir t;
  const DataHome home(t / u"data");
  t.MakeFolder(u"mnt");
  const std::string mnt = U8(t / u"mnt");
  const pid_t pid = fork();
  if (pid == 0) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", mnt.c_str(), "tmpfs", 0, nullptr) != 0) {
      _exit(77);
    }
    const std::string trash = mnt + "/.Trash-" + std::to_string(geteuid());
    t.Write(u"mnt/song.bms", "#TITLE x\r\n");
    t.Write(u"mnt/kept.bms", "#TITLE y\r\n");
    platform::IoError error;
    const platform::Folder folder = OpenFolder(t / u"mnt");
    if (!folder.Trash(u"song.bms", error) || Restore(trash, "song.bms", mnt) != mnt + "/song.bms") _exit(1);
    if (t.Read(u"mnt/song.bms") != "#TITLE x\r\n") _exit(2);
    // A ".Trash-uid" that is no folder: no trash there, so the file stays.
    if (!platform::RemoveTree(platform::DecodeUtf8(trash)) || !platform::WriteWholeFile(platform::DecodeUtf8(trash), "")) _exit(3);
    _exit(!folder.Trash(u"kept.bms", error) && t.Read(u"mnt/kept.bms") == "#TITLE y\r\n" ? 0 : 4);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
