#ifndef _WIN32
#include "tests/support/Posix.h"
#include "tests/support/Trash.h"
#endif
#include "tests/support/TempDir.h"

using namespace platform;
using namespace text;

namespace {

class FileSystem : public ::testing::Test {
 protected:
  TempDir t, outside;
  const Folder folder = OpenFolder(t.Path());
  IoError error;
};

}  // namespace

TEST_F(FileSystem, PathLooksTellMissingFromUnexaminable) {
  const auto file = t.Write(u"a.bms", "x");
#ifndef _WIN32
  Link(file, t / u"link.bms");
  Link(t / u"gone", t / u"dangling");
  EXPECT_TRUE(FileExists(t / u"link.bms") && !FileExists(t / u"dangling") && PathExists(t / u"dangling"));
#endif
  FileInfo info;
  EXPECT_TRUE(!PathInfo(t / u"missing", info, error) && error.NotFound());
  EXPECT_TRUE(!PathInfo(file + u"/x", info, error) && error.NotFound()) << "a file on the way";
  EXPECT_TRUE(!PathInfo(std::u16string(5000, u'x'), info, error) && !error.NotFound())
      << "a name too long is no answer, not an absent folder";
  for (int code = 1; code < 4000; ++code)  // every reason in Japanese (more UTF-8 bytes than characters)
    EXPECT_GT(ToUtf8(ErrorText(IoError{code})).size(), ErrorText(IoError{code}).size()) << code;
}

TEST_F(FileSystem, KeepingNeverLosesAName) {
  t.Write(u"a", "old");
  t.Write(u"b", "keep");
  EXPECT_EQ((std::vector{folder.Keep(u"a", u"b", error), folder.Keep(u"a", u"c", error), folder.Keep(u"missing", u"d", error)}),
            (std::vector{KeepResult::Exists, KeepResult::Made, KeepResult::Failed}));
  // The kept name holds the content; the name kept already is not overwritten.
  EXPECT_EQ(t.Read(u"a") + t.Read(u"b") + t.Read(u"c"), "old" "keep" "old");
}

#ifndef _WIN32
// Links, pipes, permission bits and names in any bytes: what only POSIX systems have.
TEST_F(FileSystem, AListingTellsKindsWithoutLookingAtEachEntryAndKeepsNamesInAnyBytes) {
  for (const char16_t* name : {u"b.wav", u"A.wav", u".hidden"}) t.Write(name, "x");
  t.MakeFolder(u"Cfolder");
  Link(outside.Path(), t / u"dlink");
  Link(t / u"b.wav", t / u"flink");
  Link(t / u"nowhere", t / u"gone");
  ASSERT_EQ(mkfifo(ToUtf8(t / u"pipe").c_str(), 0600), 0);
  std::vector<DirEntry> entries;
  ASSERT_TRUE(OpenFolder(t.Path()).List(entries, error));
  // Name, attributes, link, dangling, real folder; the pipe is left out.
  std::vector<std::tuple<std::string, int, bool, bool, bool>> got;
  for (const DirEntry& e : entries) got.emplace_back(U8(e.Name), e.Attributes, e.IsLink, e.Dangling, e.IsRealFolder());
  EXPECT_EQ(got, (decltype(got){{".hidden", kAttrHidden, false, false, false}, {"A.wav", 0, false, false, false},
                                {"b.wav", 0, false, false, false}, {"Cfolder", kAttrDirectory, false, false, true},
                                {"dlink", kAttrDirectory, true, false, false}, {"flink", 0, true, false, false},
                                {"gone", 0, true, true, false}}));
  EXPECT_TRUE(!Folder::Open(t / u"missing", error).IsOpen() && error.NotFound());
  EXPECT_FALSE(folder.OpenSub(u"dlink", error).IsOpen()) << "a subfolder is never reached by a link";

  // "ソ.wav" in Shift-JIS, as unpacked from a Japanese archive: its second byte is a backslash.
  const std::string raw = "\x83\x5C.wav";
  const std::u16string name = DecodeNativeName(raw);
  const Folder sjis = OpenFolder(outside.MakeFolder(u"sjis"));
  outside.Write(u"sjis/" + name, "sound");
  ASSERT_EQ(outside.Names(u"sjis"), std::vector<std::u16string>{name});
  EXPECT_EQ(NativeBytes(name), raw) << "stored under its own bytes";
  EXPECT_EQ(StoredNameAt(outside / (u"sjis/" + DecodeUtf8(raw))), name)
      << "its bytes given otherwise: named as listed";
  std::string bytes;
  FileInfo info;
  EXPECT_TRUE(sjis.Read(name, bytes, info, error) && bytes == "sound");
  EXPECT_TRUE(sjis.Rename(name, u"r.wav", error) && sjis.Rename(u"r.wav", name, error));
  EXPECT_TRUE(sjis.Remove(name, error) && outside.Names(u"sjis").empty());
}

TEST_F(FileSystem, NewFilesAttributesAndTimesNeverGoThroughALinkAndNewFilesTakeTheirModel) {
  const auto precious = outside.Write(u"precious.bms", "chart");
  Link(precious, t / u"link.bms");
  t.Write(u"taken", "keep");
  File file;
  EXPECT_TRUE(!folder.Create(u"taken", file, error) && error.AlreadyExists());
  {
    File dropped;
    ASSERT_TRUE(folder.Create(u"dropped", dropped, error) && dropped.Write("half", error));
  }
  EXPECT_FALSE(PathExists(t / u"dropped")) << "a file never finished is removed";
  Chmod(t / u"taken", 0444);
  FileInfo like;
  ASSERT_TRUE(folder.Info(u"taken", like, false, error));
  ASSERT_TRUE(folder.Create(u"new", file, error) && file.Write("content", error) && file.Finish(like, false, error));
  EXPECT_EQ(ModeOf(t / u"new"), 0644u) << "the model's permissions, writable by its owner";
  EXPECT_EQ(t.Read(u"new") + ReadBytes(precious), "content" "chart");
  ASSERT_TRUE(SetAttributes(precious, kAttrReadOnly));
  EXPECT_EQ(GetAttributes(t.Write(u".x", "")), kAttrHidden);
  EXPECT_FALSE(SetAttributes(t / u"link.bms", kAttrNormal));
  FileInfo look;
  ASSERT_TRUE(folder.Info(u"link.bms", look, true, error));  // what the link points to: read-only
  EXPECT_FALSE(folder.MakeWritable(u"link.bms", look, error));
  FileTimes old, now;
  ASSERT_TRUE(GetFileTimes(precious, old));
  ASSERT_TRUE(folder.SetTimes(u"link.bms", {false, 0, 1500000000LL * 1000000000LL, 1400000000LL * 1000000000LL}, error));
  EXPECT_TRUE(GetFileTimes(precious, now) && now.Write == old.Write && GetAttributes(precious) == kAttrReadOnly);
}

TEST_F(FileSystem, RemovingTakesReadOnlyFilesAndLinksButNeverWhatALinkPointsTo) {
  const auto precious = outside.Write(u"precious.bms", "chart"), set = outside.MakeFolder(u"set");
  outside.Write(u"set/kick.wav", "kick");
  // A tree with a read-only file, a folder it may not write, one it may not even read, and links.
  for (const char16_t* name : {u"tree", u"tree/sub", u"tree/locked", u"tree/sealed"}) t.MakeFolder(name);
  for (const char16_t* name : {u"ro.wav", u"tree/sub/ro.wav"}) ASSERT_TRUE(SetAttributes(t.Write(name, "x"), kAttrReadOnly));
  t.Write(u"tree/locked/in.wav", "x");
  Chmod(t / u"tree/locked", 0500);
  Chmod(t / u"tree/sealed", 0);
  for (const char16_t* name : {u"link.wav", u"tree/file-link"}) Link(precious, t / name);
  for (const char16_t* name : {u"dir-link", u"tree/folder-link"}) Link(set, t / name);
  // A folder is no file; a link given to RemoveTree goes as a link.
  TreeRemoval removal;
  EXPECT_EQ((std::vector{folder.Remove(u"ro.wav", error), folder.Remove(u"link.wav", error), folder.Remove(u"tree", error),
                         folder.RemoveTree(u"tree", removal), folder.RemoveTree(u"dir-link", removal),
                         folder.RemoveTree(u"missing", removal)}),
            (std::vector{true, true, false, true, true, false}));
  EXPECT_TRUE(t.Names().empty());
  EXPECT_EQ(ReadBytes(precious) + outside.Read(u"set/kick.wav"), "chart" "kick");
}

// A tree deletion never enters another mount, a bind mount of the same file system included, and
// leaves a folder another run holds: the rest goes, and what stayed is told where its cause lies. A
// tree that holds a folder or file to keep, however that folder is reached, is not touched at all;
// nor is one bound for the trash that holds a mount or a held folder, for it would go whole.
TEST_F(FileSystem, ATreeDeletionLeavesMountsHeldFoldersAndWhatItMustKeep) {
  if (!PrivateMounts()) GTEST_SKIP() << "no mounts of a test's own here";
  for (const char16_t* name : {u"tree", u"tree/sub", u"tree/held", u"tree/mnt", u"kept", u"kept/set", u"via"}) {
    t.MakeFolder(name);
  }
  for (const char16_t* name : {u"tree/a.wav", u"tree/sub/b.wav", u"tree/held/c.wav", u"kept/set/k.wav"})
    t.Write(name, "x");
  outside.Write(u"precious.wav", "keep");
  const BindMount mounted(outside.Path(), t / u"tree/mnt"), set_elsewhere(t / u"kept/set", t / u"via");
  const int held = HoldLock(t / u"tree/held");
  const Folder top = OpenFolder(t.Path());  // opened where the mounts are seen
  FileInfo set;
  ASSERT_TRUE(OpenFolder(t / u"via").SelfInfo(set, error));
  using Why = TreeRemoval::Why;
  using Stays = std::vector<std::pair<std::u16string, Why>>;
  const std::vector<std::tuple<const char16_t*, Stays, std::size_t>> cases = {
      {u"kept", {{u"kept", Why::HoldsKept}}, 0},  // the set to keep, reached here by another path
      {u"via", {{u"via", Why::MountPoint}}, 0},
      {u"tree", {{u"tree/held", Why::Held}, {u"tree/mnt", Why::MountPoint}}, 3},
  };
  const DataHome home(t / u"data");
  for (const bool trash : {true, false}) {
    for (const auto& [tree, stays, removed] : cases) {
      TreeRemoval removal;
      removal.Keep = {{set.Device, set.Id}};
      removal.ToTrash = trash;
      EXPECT_FALSE(top.RemoveTree(tree, removal, true));
      Stays got;
      for (const auto& stay : removal.Stayed) got.emplace_back(stay.Path.substr(t.Path().size() + 1), stay.Reason);
      std::sort(got.begin(), got.end());
      EXPECT_EQ(std::make_pair(got, removal.Removed), std::make_pair(stays, trash ? 0 : removed)) << U8(tree) << trash;
    }
    EXPECT_EQ(t.Names(u"tree").size(), trash ? 4u : 2u);
  }
  close(held);
  EXPECT_EQ(t.Names(u"tree"), (std::vector<std::u16string>{u"held", u"mnt"}));
  EXPECT_EQ(outside.Read(u"precious.wav") + t.Read(u"kept/set/k.wav"), "keep" "x");
}

// The other path helpers: through paths' full paths, the command line's target and the runs.
TEST_F(FileSystem, PathHelpers) {
  EXPECT_EQ((std::vector{ParentFolder(u"/a/b/"), ParentFolder(u"/"), LastName(u"/a/b/"), LastName(u"/"),
                         ExecutableName()}),
            (std::vector<std::u16string>{u"/a", u"", u"b", u"", u"toolkit_tests"}));
}
#endif
