#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "platform/fs.h"
#include "platform/text.h"

using namespace platform;

namespace {

std::string Read(const std::u16string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadFile(path, bytes)) << U8(path);
  return bytes;
}

void Link(const std::u16string& target, const std::u16string& link) {
  ASSERT_EQ(symlink(ToUtf8(target).c_str(), ToUtf8(link).c_str()), 0);
}

std::vector<std::u16string> Names(const std::u16string& folder) {
  std::vector<DirEntry> entries;
  EXPECT_TRUE(ListFolder(folder, entries));
  std::vector<std::u16string> names;
  for (const auto& e : entries) names.push_back(e.Name);
  return names;
}

}  // namespace

TEST(FileSystem, ExistenceTellsFilesFromFolders) {
  TempDir t;
  const auto file = t.Write(u"a.bms", "x");
  const auto folder = t.MakeFolder(u"sub");
  Link(file, t / u"link.bms");
  Link(t / u"gone", t / u"dangling");
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FolderExists(file));
  EXPECT_TRUE(FolderExists(folder));
  EXPECT_FALSE(FileExists(folder));
  EXPECT_TRUE(FileExists(t / u"link.bms"));
  EXPECT_FALSE(FileExists(t / u"dangling"));
  EXPECT_TRUE(PathExists(t / u"dangling"));
  EXPECT_FALSE(FileExists(t / u"missing"));
  EXPECT_FALSE(FileExists(u""));
  EXPECT_EQ(FileSize(file), 1);
  EXPECT_EQ(FileSize(folder), -1);
}

TEST(FileSystem, ListingGivesAttributesSizesAndFoldedNameOrder) {
  TempDir t;
  t.Write(u"b.wav", "12345");
  t.Write(u"A.wav", "");
  t.Write(u".hidden", "h");
  t.MakeFolder(u"Cfolder");
  const auto ro = t.Write(u"c.bmp", "ro");
  ASSERT_TRUE(SetAttributes(ro, kAttrReadOnly));
  ASSERT_EQ(mkfifo(ToUtf8(t / u"pipe").c_str(), 0600), 0);

  std::vector<DirEntry> entries;
  ASSERT_TRUE(ListFolder(t.Path(), entries));
  ASSERT_EQ(entries.size(), 5u);  // the pipe is left out
  EXPECT_EQ(entries[0].Name, u".hidden");
  EXPECT_EQ(entries[0].Attributes, kAttrHidden);
  EXPECT_EQ(entries[1].Name, u"A.wav");
  EXPECT_EQ(entries[2].Name, u"b.wav");
  EXPECT_EQ(entries[2].Size, 5);
  EXPECT_EQ(entries[2].Attributes, kAttrNormal);
  EXPECT_EQ(entries[3].Name, u"c.bmp");
  EXPECT_EQ(entries[3].Attributes, kAttrReadOnly);
  EXPECT_EQ(entries[4].Name, u"Cfolder");
  EXPECT_EQ(entries[4].Attributes, kAttrDirectory);
  EXPECT_FALSE(ListFolder(t / u"missing", entries));
  EXPECT_TRUE(entries.empty());
}

TEST(FileSystem, NamesThatAreNotUtf8AreListedAndHandled) {
  TempDir t;
  // "ソ.wav" in Shift-JIS, as unpacked from a Japanese archive: its second byte is a backslash.
  const std::string raw = "\x83\x5C.wav";
  const std::u16string name = DecodeUtf8(raw);
  const auto path = t.Write(name, "sound");
  ASSERT_EQ(Names(t.Path()), std::vector<std::u16string>{name});
  struct stat st {};
  EXPECT_EQ(lstat((ToUtf8(t.Path()) + "/" + raw).c_str(), &st), 0) << "stored under its own bytes";
  EXPECT_TRUE(MoveNoReplace(path, t / u"renamed.wav"));
  EXPECT_TRUE(MoveNoReplace(t / u"renamed.wav", path));
  EXPECT_EQ(Read(path), "sound");
  EXPECT_TRUE(DeleteFile(path));
  EXPECT_TRUE(Names(t.Path()).empty());
}

TEST(FileSystem, MoveNoReplaceNeverReplaces) {
  TempDir t;
  const auto a = t.Write(u"a", "old");
  const auto b = t.Write(u"b", "keep");
  t.MakeFolder(u"dir");
  Link(t / u"nowhere", t / u"dangling");
  EXPECT_FALSE(MoveNoReplace(a, b));
  EXPECT_FALSE(MoveNoReplace(a, t / u"dir"));
  EXPECT_FALSE(MoveNoReplace(a, t / u"dangling"));
  EXPECT_EQ(Read(a), "old");
  EXPECT_EQ(Read(b), "keep");
  EXPECT_TRUE(MoveNoReplace(a, t / u"c"));
  EXPECT_FALSE(FileExists(a));
  EXPECT_EQ(Read(t / u"c"), "old");
  EXPECT_FALSE(MoveNoReplace(t / u"missing", t / u"d"));
}

TEST(FileSystem, RenameReplaceSwapsInTheNewFile) {
  TempDir t;
  const auto tmp = t.Write(u"a.bms.tmp", "new");
  const auto chart = t.Write(u"a.bms", "old");
  EXPECT_TRUE(RenameReplace(tmp, chart));
  EXPECT_EQ(Read(chart), "new");
  EXPECT_FALSE(FileExists(tmp));
  EXPECT_FALSE(RenameReplace(tmp, chart));
}

TEST(FileSystem, DeleteFileTakesReadOnlyFilesAndLinksButNotFolders) {
  TempDir t;
  const auto ro = t.Write(u"ro.wav", "x");
  ASSERT_TRUE(SetAttributes(ro, kAttrReadOnly));
  EXPECT_TRUE(DeleteFile(ro));
  EXPECT_FALSE(PathExists(ro));

  const auto target = t.Write(u"target.wav", "keep");
  Link(target, t / u"link.wav");
  EXPECT_TRUE(DeleteFile(t / u"link.wav"));
  EXPECT_EQ(Read(target), "keep");

  const auto folder = t.MakeFolder(u"folder");
  EXPECT_FALSE(DeleteFile(folder));
  EXPECT_TRUE(FolderExists(folder));
  EXPECT_FALSE(DeleteFile(t / u"missing"));
}

TEST(FileSystem, DeleteTreeRemovesEverythingInsideAndNothingOutside) {
  TempDir outside;
  const auto precious = outside.Write(u"precious.bms", "chart");
  const auto precious_dir = outside.MakeFolder(u"set");
  outside.Write(u"set/kick.wav", "kick");

  TempDir t;
  const auto tree = t.MakeFolder(u"tree");
  t.MakeFolder(u"tree/sub");
  const auto ro = t.Write(u"tree/sub/ro.wav", "x");
  ASSERT_TRUE(SetAttributes(ro, kAttrReadOnly));
  t.MakeFolder(u"tree/locked");
  t.Write(u"tree/locked/in.wav", "x");
  ASSERT_EQ(chmod(ToUtf8(t / u"tree/locked").c_str(), 0500), 0);
  Link(precious, t / u"tree/file-link");
  Link(precious_dir, t / u"tree/folder-link");
  Link(precious_dir, t / u"tree/sub/deeper-link");

  EXPECT_TRUE(DeleteTree(tree));
  EXPECT_FALSE(PathExists(tree));
  EXPECT_EQ(Read(precious), "chart");
  EXPECT_EQ(Read(outside / u"set/kick.wav"), "kick");

  // A link given itself is removed as a link.
  Link(precious_dir, t / u"top-link");
  EXPECT_TRUE(DeleteTree(t / u"top-link"));
  EXPECT_TRUE(FolderExists(precious_dir));
  EXPECT_EQ(Read(outside / u"set/kick.wav"), "kick");
  EXPECT_FALSE(DeleteTree(t / u"missing"));
}

TEST(FileSystem, ReadOnlyAttributeSetsAndClears) {
  TempDir t;
  const auto f = t.Write(u"a.bms", "x");
  EXPECT_EQ(GetAttributes(f), kAttrNormal);
  ASSERT_TRUE(SetAttributes(f, kAttrReadOnly));
  EXPECT_EQ(GetAttributes(f), kAttrReadOnly);
  ASSERT_TRUE(SetAttributes(f, kAttrNormal));
  EXPECT_EQ(GetAttributes(f), kAttrNormal);
  EXPECT_EQ(GetAttributes(t / u"missing"), -1);
  EXPECT_EQ(GetAttributes(t.Write(u".x", "")), kAttrHidden);
  EXPECT_FALSE(SetAttributes(t / u"missing", kAttrNormal));

  // Through a link nothing changes: what it points to may lie outside the tree.
  TempDir outside;
  const auto precious = outside.Write(u"precious.bms", "x");
  ASSERT_TRUE(SetAttributes(precious, kAttrReadOnly));
  Link(precious, t / u"link.bms");
  EXPECT_FALSE(SetAttributes(t / u"link.bms", kAttrNormal));
  EXPECT_EQ(GetAttributes(precious), kAttrReadOnly);
}

TEST(FileSystem, TimesRoundTrip) {
  TempDir t;
  const auto f = t.Write(u"a.bms", "x");
  FileTimes set;
  set.Access = 1000000000LL * 1500000000 + 123456789;
  set.Write = 1000000000LL * 1400000000 + 987654321;
  ASSERT_TRUE(SetFileTimes(f, set));
  FileTimes got;
  ASSERT_TRUE(GetFileTimes(f, got));
  EXPECT_EQ(got.Access, set.Access);
  EXPECT_EQ(got.Write, set.Write);
  EXPECT_FALSE(GetFileTimes(t / u"missing", got));
  EXPECT_FALSE(SetFileTimes(t / u"missing", set));
}

TEST(FileSystem, ReadAndWriteWholeFiles) {
  TempDir t;
  std::string binary;
  for (int i = 0; i < 300000; ++i) binary.push_back(static_cast<char>(i * 7));
  const auto f = t.Write(u"big.bin", binary);
  EXPECT_EQ(Read(f), binary);
  ASSERT_TRUE(WriteFile(f, "short"));
  EXPECT_EQ(Read(f), "short");

  std::string bytes = "stale";
  EXPECT_FALSE(ReadFile(t.Path(), bytes));
  EXPECT_TRUE(bytes.empty());
  ASSERT_EQ(mkfifo(ToUtf8(t / u"pipe").c_str(), 0600), 0);
  EXPECT_FALSE(ReadFile(t / u"pipe", bytes)) << "a pipe is not read (and does not hang)";

  // A link planted at the name does not redirect the write.
  TempDir outside;
  const auto precious = outside.Write(u"precious.bms", "chart");
  Link(precious, t / u"a.bms.tmp");
  EXPECT_FALSE(WriteFile(t / u"a.bms.tmp", "overwritten"));
  EXPECT_EQ(Read(precious), "chart");
}

TEST(FileSystem, AbsolutePathResolvesDotsAgainstTheCurrentFolder) {
  TempDir t;
  const std::u16string before = CurrentDirectory();
  ASSERT_TRUE(SetCurrentDirectory(t.Path()));
  const std::u16string here = CurrentDirectory();
  struct Case {
    std::u16string in, out;
  };
  const std::vector<Case> cases = {
      {u"a.bms", here + u"/a.bms"},
      {u"./x/../y", here + u"/y"},
      {u"", here},
      {u"/a//b/./c/", u"/a/b/c"},
      {u"/a/b/../../..", u"/"},
      {u"/", u"/"},
  };
  for (const auto& c : cases) EXPECT_EQ(AbsolutePath(c.in), c.out) << U8(c.in);
  SetCurrentDirectory(before);
  EXPECT_EQ(RootOf(u"/a/b"), u"/");
  EXPECT_EQ(RootOf(u"a/b"), u"");
  EXPECT_EQ(JoinPath(u"/a", u"b"), u"/a/b");
  EXPECT_EQ(JoinPath(u"/", u"b"), u"/b");
}

TEST(FileSystem, StoredNameFoldsAsciiLettersOnly) {
  TempDir t;
  t.Write(u"Kick.WAV", "");
  t.Write(u"kick.wav", "");
  t.Write(u"Snare.wav", "");
  t.Write(u"\uFF21.wav", "");  // full-width A
  t.MakeFolder(u"Sounds");
  EXPECT_EQ(StoredName(t.Path(), u"kick.wav"), u"kick.wav");  // the exact name first
  EXPECT_EQ(StoredName(t.Path(), u"KICK.wav"), u"Kick.WAV");  // else the first in name order
  EXPECT_EQ(StoredName(t.Path(), u"SNARE.WAV"), u"Snare.wav");
  EXPECT_EQ(StoredName(t.Path(), u"sounds"), u"Sounds");
  EXPECT_EQ(StoredName(t.Path(), u"\uFF41.wav"), u"");  // full-width a is another letter
  EXPECT_EQ(StoredName(t.Path(), u"a.wav"), u"");
  EXPECT_EQ(StoredName(t.Path(), u""), u"");
  EXPECT_EQ(StoredName(t / u"missing", u"x"), u"");
}

TEST(FileSystem, ExecutableFolderHoldsThisProgram) {
  const std::u16string folder = ExecutableFolder();
  const std::u16string name = ExecutableName();
  EXPECT_EQ(name, u"toolkit_tests");
  EXPECT_TRUE(FileExists(JoinPath(folder, name)));
}
