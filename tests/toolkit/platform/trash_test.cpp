// The freedesktop.org trash: what goes there can be put back, byte for byte, under its own name.

#include "tests/support/Posix.h"
#include "tests/support/Trash.h"

TEST(Trash, EntriesGoToTheUsersTrashAndComeBackWhole) {
  TempDir t;
  const DataHome home(t / u"data");
  const std::string trash = U8(t / u"data/Trash");
  const std::string sjis_name = "\x83\x73\x83\x41\x83\x6D 100%.wav";  // ピアノ in Shift-JIS bytes
  // 253 bytes: no room left for its note's ".trashinfo", so the trash keeps it under a shorter name.
  const std::u16string sjis = text::DecodeUtf8(sjis_name), long_name = std::u16string(83, u'あ') + u".wav";
  for (const char16_t* name : {u"songs", u"songs/set"}) t.MakeFolder(name);
  for (const auto& [name, bytes] : std::vector<std::pair<std::u16string, std::string>>{
           {u"a.bms", "#TITLE first\r\n"}, {sjis, "RIFF"}, {u"set/kick.wav", "kick"}, {long_name, "long"}})
    t.Write(u"songs/" + name, bytes);
  const platform::Folder songs = OpenFolder(t / u"songs");
  platform::IoError error;
  for (const std::u16string& name : std::vector<std::u16string>{u"a.bms", sjis, u"set", long_name})
    EXPECT_TRUE(songs.Trash(name, error)) << U8(name) << " " << error.Code;
  t.Write(u"songs/a.bms", "#TITLE second\r\n");  // a second one of the same name keeps the first
  EXPECT_TRUE(songs.Trash(u"a.bms", error) && t.Names(u"songs").empty());
  const std::vector<std::u16string> stored = t.Names(u"data/Trash/files");  // a.bms a.bms.2 set あ… ピアノ…
  ASSERT_EQ(stored.size(), 5u);
  EXPECT_EQ(Restore(trash, U8(stored[3])), U8(t / (u"songs/" + long_name))) << U8(stored[3]);
  EXPECT_EQ(Restore(trash, "a.bms.2"), U8(t / u"songs/a.bms"));
  EXPECT_EQ(t.Read(u"songs/a.bms") + t.Read(u"songs/" + long_name), "#TITLE second\r\nlong");
  ASSERT_EQ(std::remove(U8(t / u"songs/a.bms").c_str()), 0);
  for (const std::string& name : {std::string("a.bms"), sjis_name, std::string("set")})
    EXPECT_EQ(Restore(trash, name), U8(t / u"songs") + "/" + name);
  EXPECT_EQ(t.Read(u"songs/a.bms") + t.Read(u"songs/" + sjis) + t.Read(u"songs/set/kick.wav"), "#TITLE first\r\nRIFFkick");

  // The user's trash serves its own mount: where it cannot be made, an entry of that mount stays, and
  // goes to no trash at the top of the mount instead.
  const DataHome nowhere(t / u"songs/a.bms/data");
  EXPECT_FALSE(songs.Trash(u"set", error));
  EXPECT_EQ(std::make_pair(t.Read(u"songs/set/kick.wav"), error.Code), std::make_pair(std::string("kick"), ENOTDIR));
}

// An entry on another mount goes to the trash at the top of that mount, where a rename can take it;
// where no trash can be made there, it stays where it is.
TEST(Trash, AnotherMountHasItsOwnTrashAndNothingGoesWithoutOne) {
  if (!PrivateMounts()) GTEST_SKIP() << "no mounts of a test's own here";
  TempDir t;
  const DataHome home(t / u"data");
  const std::string mnt = U8(t.MakeFolder(u"mnt")), trash = mnt + "/.Trash-" + std::to_string(geteuid());
  ASSERT_EQ(mount("tmpfs", mnt.c_str(), "tmpfs", 0, nullptr), 0);
  t.Write(u"mnt/song.bms", "#TITLE x\r\n");
  t.Write(u"mnt/kept.bms", "#TITLE y\r\n");
  platform::IoError error;
  const platform::Folder folder = OpenFolder(t / u"mnt");
  EXPECT_TRUE(folder.Trash(u"song.bms", error));
  EXPECT_EQ(Restore(trash, "song.bms", mnt), mnt + "/song.bms");
  // A ".Trash-uid" that is no folder: no trash there, so the file stays.
  ASSERT_TRUE(platform::RemoveTree(text::DecodeUtf8(trash)) && platform::WriteWholeFile(text::DecodeUtf8(trash), ""));
  EXPECT_FALSE(folder.Trash(u"kept.bms", error));
  EXPECT_EQ(t.Read(u"mnt/song.bms") + t.Read(u"mnt/kept.bms"), "#TITLE x\r\n#TITLE y\r\n");
  umount2(mnt.c_str(), MNT_DETACH);
}
