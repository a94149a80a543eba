#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>

#include "tests/support/Posix.h"
#endif
#include "tests/support/TempDir.h"
#include "toolkit/platform/fs.h"
#include "toolkit/platform/text.h"

using namespace platform;

namespace {

Folder OpenFolder(const std::u16string& path) {
  IoError error;
  Folder folder = Folder::Open(path, error);
  EXPECT_TRUE(folder.IsOpen()) << U8(path) << " " << error.Code;
  return folder;
}

}  // namespace

TEST(FileSystem, PathLooksTellMissingFromUnexaminable) {
  TempDir t;
  const auto file = t.Write(u"a.bms", "x");
  const auto folder = t.MakeFolder(u"sub");
  EXPECT_TRUE(FileExists(file) && !FolderExists(file));
  EXPECT_TRUE(FolderExists(folder) && !FileExists(folder));
#ifndef _WIN32
  Link(file, t / u"link.bms");
  Link(t / u"gone", t / u"dangling");
  EXPECT_TRUE(FileExists(t / u"link.bms"));
  EXPECT_TRUE(!FileExists(t / u"dangling") && PathExists(t / u"dangling"));
#endif
  FileInfo info;
  IoError error;
  EXPECT_TRUE(PathInfo(folder, info, error) && info.IsFolder);
  EXPECT_FALSE(PathInfo(t / u"missing", info, error));
  EXPECT_TRUE(error.NotFound());
  EXPECT_FALSE(PathInfo(file + u"/x", info, error)) << "a file on the way";
  EXPECT_TRUE(error.NotFound());
  EXPECT_FALSE(PathInfo(std::u16string(5000, u'x'), info, error));
  EXPECT_FALSE(error.NotFound()) << "a name too long is no answer, not an absent folder";
}

#ifndef _WIN32
// Links, pipes, permission bits and names in any bytes: what only POSIX systems have.
TEST(FileSystem, AListingTellsKindsWithoutLookingAtEachEntry) {
  TempDir t, outside;
  t.Write(u"b.wav", "12345");
  t.Write(u"A.wav", "");
  t.Write(u".hidden", "h");
  t.MakeFolder(u"Cfolder");
  Link(outside.Path(), t / u"dlink");
  Link(t / u"b.wav", t / u"flink");
  Link(t / u"nowhere", t / u"gone");
  ASSERT_EQ(mkfifo(ToUtf8(t / u"pipe").c_str(), 0600), 0);

  std::vector<DirEntry> entries;
  IoError error;
  ASSERT_TRUE(OpenFolder(t.Path()).List(entries, error));
  struct Want {
    std::u16string name;
    int attributes;
    bool link, dangling;
  };
  const std::vector<Want> want = {
      {u".hidden", kAttrHidden, false, false},  {u"A.wav", 0, false, false},
      {u"b.wav", 0, false, false},              {u"Cfolder", kAttrDirectory, false, false},
      {u"dlink", kAttrDirectory, true, false}, {u"flink", 0, true, false},
      {u"gone", 0, true, true},  // the pipe is left out
  };
  ASSERT_EQ(entries.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(entries[i].Name, want[i].name);
    EXPECT_EQ(entries[i].Attributes, want[i].attributes) << U8(want[i].name);
    EXPECT_EQ(entries[i].IsLink, want[i].link) << U8(want[i].name);
    EXPECT_EQ(entries[i].Dangling, want[i].dangling) << U8(want[i].name);
  }
  EXPECT_FALSE(entries[4].IsRealFolder());
  EXPECT_FALSE(Folder::Open(t / u"missing", error).IsOpen());
  EXPECT_TRUE(error.NotFound());
  EXPECT_FALSE(OpenFolder(t.Path()).OpenSub(u"dlink", error).IsOpen()) << "a subfolder is never reached by a link";
}

TEST(FileSystem, NamesThatAreNotUtf8AreListedReadAndDeleted) {
  TempDir t;
  // "ソ.wav" in Shift-JIS, as unpacked from a Japanese archive: its second byte is a backslash.
  const std::string raw = "\x83\x5C.wav";
  const std::u16string name = DecodeUtf8(raw);
  t.Write(name, "sound");
  ASSERT_EQ(t.Names(), std::vector<std::u16string>{name});
  EXPECT_EQ(NativeBytes(name), raw) << "stored under its own bytes";
  const Folder folder = OpenFolder(t.Path());
  std::string bytes;
  FileInfo info;
  IoError error;
  ASSERT_TRUE(folder.Read(name, bytes, info, error));
  EXPECT_EQ(bytes, "sound");
  EXPECT_TRUE(folder.Rename(name, u"r.wav", error) && folder.Rename(u"r.wav", name, error));
  EXPECT_TRUE(folder.Remove(name, error));
  EXPECT_TRUE(t.Names().empty());
}

TEST(FileSystem, ANewFileIsMadeOnlyWhereNothingIsAndTakesItsModel) {
  TempDir t, outside;
  const auto precious = outside.Write(u"precious.bms", "chart");
  Link(precious, t / u"planted");
  t.Write(u"taken", "keep");
  const Folder folder = OpenFolder(t.Path());
  IoError error;
  File file;
  EXPECT_FALSE(folder.Create(u"taken", file, error));
  EXPECT_TRUE(error.AlreadyExists());
  EXPECT_FALSE(folder.Create(u"planted", file, error)) << "a link at the name is not followed";
  EXPECT_EQ(ReadBytes(precious), "chart");
  {
    File dropped;
    ASSERT_TRUE(folder.Create(u"dropped", dropped, error));
    ASSERT_TRUE(dropped.Write("half", error));
  }
  EXPECT_FALSE(PathExists(t / u"dropped")) << "a file never finished is removed";

  for (const mode_t mode : {mode_t(0640), mode_t(0444), mode_t(0600)}) {
    Chmod(t / u"taken", mode);
    FileInfo like;
    ASSERT_TRUE(folder.Info(u"taken", like, false, error));
    like.Times.Write = 1400000000LL * 1000000000LL;
    ASSERT_TRUE(folder.Create(u"new", file, error));
    ASSERT_TRUE(file.Write("content", error) && file.Finish(like, false, error));
    EXPECT_EQ(ModeOf(t / u"new"), mode | S_IWUSR) << "the model's permissions, writable by its owner";
    FileTimes times;
    ASSERT_TRUE(GetFileTimes(t / u"new", times));
    EXPECT_EQ(times.Write, like.Times.Write);
    EXPECT_EQ(t.Read(u"new"), "content");
    ASSERT_TRUE(folder.Remove(u"new", error));
  }
}

#endif

TEST(FileSystem, KeepingAndReplacingNeverLoseAName) {
  TempDir t;
  t.Write(u"a", "old");
  t.Write(u"b", "keep");
  const Folder folder = OpenFolder(t.Path());
  IoError error;
  EXPECT_EQ(folder.Keep(u"a", u"b", error), KeepResult::Exists);
  EXPECT_EQ(t.Read(u"b"), "keep");
  EXPECT_EQ(folder.Keep(u"a", u"c", error), KeepResult::Made);
  EXPECT_EQ(folder.Keep(u"missing", u"d", error), KeepResult::Failed);
  t.Write(u"a.new", "new");
  ASSERT_TRUE(folder.Rename(u"a.new", u"a", error));
  EXPECT_EQ(t.Read(u"a"), "new");
  EXPECT_EQ(t.Read(u"c"), "old") << "the kept name holds the old content";
  EXPECT_FALSE(folder.Rename(u"a.new", u"a", error));
}

#ifndef _WIN32
TEST(FileSystem, RemovingTakesReadOnlyFilesAndLinksButNeverWhatALinkPointsTo) {
  TempDir t, outside;
  const auto precious = outside.Write(u"precious.bms", "chart");
  const auto set = outside.MakeFolder(u"set");
  outside.Write(u"set/kick.wav", "kick");
  const auto ro = t.Write(u"ro.wav", "x");
  ASSERT_TRUE(SetAttributes(ro, kAttrReadOnly));
  Link(precious, t / u"link.wav");
  t.MakeFolder(u"tree");
  t.MakeFolder(u"tree/sub");
  t.Write(u"tree/sub/ro.wav", "x");
  ASSERT_TRUE(SetAttributes(t / u"tree/sub/ro.wav", kAttrReadOnly));
  t.MakeFolder(u"tree/locked");
  t.Write(u"tree/locked/in.wav", "x");
  Chmod(t / u"tree/locked", 0500);
  t.MakeFolder(u"tree/sealed");
  Chmod(t / u"tree/sealed", 0);
  Link(precious, t / u"tree/file-link");
  Link(set, t / u"tree/folder-link");
  Link(set, t / u"dir-link");

  const Folder folder = OpenFolder(t.Path());
  IoError error;
  EXPECT_TRUE(folder.Remove(u"ro.wav", error));
  EXPECT_TRUE(folder.Remove(u"link.wav", error));
  EXPECT_FALSE(folder.Remove(u"tree", error)) << "a folder is no file";
  EXPECT_TRUE(folder.RemoveTree(u"tree", error));
  EXPECT_TRUE(folder.RemoveTree(u"dir-link", error)) << "a link given is removed as a link";
  EXPECT_FALSE(folder.RemoveTree(u"missing", error));
  EXPECT_TRUE(t.Names().empty());
  EXPECT_EQ(ReadBytes(precious), "chart");
  EXPECT_EQ(outside.Read(u"set/kick.wav"), "kick");
}

TEST(FileSystem, AttributesAndTimesAreNeverChangedThroughALink) {
  TempDir t, outside;
  const auto precious = outside.Write(u"precious.bms", "x");
  ASSERT_TRUE(SetAttributes(precious, kAttrReadOnly));
  Link(precious, t / u"link.bms");
  const auto f = t.Write(u"a.bms", "x");
  EXPECT_EQ(GetAttributes(t.Write(u".x", "")), kAttrHidden);
  ASSERT_TRUE(SetAttributes(f, kAttrReadOnly));
  EXPECT_EQ(GetAttributes(f), kAttrReadOnly);
  EXPECT_FALSE(SetAttributes(t / u"link.bms", kAttrNormal));
  const Folder folder = OpenFolder(t.Path());
  IoError error;
  FileInfo look;
  ASSERT_TRUE(folder.Info(u"link.bms", look, true, error));  // what the link points to: read-only
  EXPECT_FALSE(folder.MakeWritable(u"link.bms", look, error));
  FileTimes old;
  ASSERT_TRUE(GetFileTimes(precious, old));
  FileTimes set{false, 0, 1500000000LL * 1000000000LL, 1400000000LL * 1000000000LL};
  ASSERT_TRUE(folder.SetTimes(u"link.bms", set, error));
  FileTimes now;
  ASSERT_TRUE(GetFileTimes(precious, now));
  EXPECT_EQ(now.Write, old.Write);
  EXPECT_EQ(GetAttributes(precious), kAttrReadOnly);
  ASSERT_TRUE(folder.Info(u"a.bms", look, false, error));
  EXPECT_TRUE(folder.MakeWritable(u"a.bms", look, error));
  EXPECT_EQ(GetAttributes(f), kAttrNormal);
}

TEST(FileSystem, AFolderLockKeepsOtherRunsOutUntilItGoes) {
  TempDir t;
  const Folder folder = OpenFolder(t.Path());
  IoError error;
  auto other_run_locks = [&] {
    return RunInChild([&] {
      const int fd = open(U8(t.Path()).c_str(), O_RDONLY | O_DIRECTORY);
      return fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 1 : 0;
    });
  };
  {
    FolderLock lock, again;
    ASSERT_TRUE(lock.Acquire(folder, error));
    EXPECT_TRUE(lock.Exclusive());
    EXPECT_TRUE(again.Acquire(OpenFolder(t.Path()), error)) << "two parts of one run";
    EXPECT_EQ(other_run_locks(), 0);
  }
  EXPECT_EQ(other_run_locks(), 1);
}

TEST(FileSystem, PathHelpers) {
  TempDir t;
  const std::u16string before = CurrentDirectory();
  ASSERT_TRUE(ChangeDirectory(t.Path()));
  const std::u16string here = CurrentDirectory();
  const std::vector<std::pair<std::u16string, std::u16string>> absolute = {
      {u"a.bms", here + u"/a.bms"}, {u"./x/../y", here + u"/y"}, {u"", here},
      {u"/a//b/./c/", u"/a/b/c"},   {u"/a/b/../../..", u"/"},     {u"/", u"/"},
  };
  for (const auto& [in, out] : absolute) EXPECT_EQ(AbsolutePath(in), out) << U8(in);
  ASSERT_TRUE(ChangeDirectory(before));
  EXPECT_EQ(RootOf(u"/a/b"), u"/");
  EXPECT_EQ(RootOf(u"a/b"), u"");
  EXPECT_EQ(JoinPath(u"/", u"b"), u"/b");
  EXPECT_EQ(ParentFolder(u"/a/b/"), u"/a");
  EXPECT_EQ(ParentFolder(u"/a"), u"/");
  EXPECT_EQ(ParentFolder(u"/"), u"");
  EXPECT_EQ(LastName(u"/a/b/"), u"b");
  EXPECT_EQ(LastName(u"/"), u"");
  EXPECT_EQ(ExecutableName(), u"toolkit_tests");
  EXPECT_TRUE(FileExists(JoinPath(ExecutableFolder(), ExecutableName())));
}
#endif
