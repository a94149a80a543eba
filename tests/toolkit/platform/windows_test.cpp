// What the file system does its own way on Windows: drives and shares in paths, letter case,
// attributes, three times, shortcuts and paths longer than the old limit.

#include <cstring>

#include "tests/support/TempDir.h"
#include "tests/support/Windows.h"
#include "toolkit/files/FileFilter.h"
#include "toolkit/files/FolderIndex.h"
#include "toolkit/files/Paths.h"
#include "toolkit/platform/win32.h"

using namespace platform;
using namespace text;

constexpr std::int64_t kSecond = 1000000000LL;

namespace {

// A fresh folder, and what the calls under test fill in.
class WindowsFiles : public ::testing::Test {
 protected:
  TempDir t;
  IoError error;
  FileInfo info;
  std::string bytes;
};

}  // namespace

TEST(WindowsPaths, DrivesAndSharesInThePathHelpers) {
  struct Case {
    std::u16string path, root, parent, last;
  };
  const std::vector<Case> cases = {
      {u"C:\\Data\\Songs", u"C:", u"C:\\Data", u"Songs"}, {u"c:\\Data\\", u"c:", u"c:\\", u"Data"},
      {u"C:\\", u"C:", u"", u""},
      {u"\\\\server\\share\\a\\b", u"\\\\server\\share", u"\\\\server\\share\\a", u"b"},
      {u"//server/share/a", u"//server/share", u"//server/share\\", u"a"},
      {u"\\\\server\\share", u"\\\\server\\share", u"", u""},
      {u"\\\\?\\C:\\deep\\x", u"\\\\?\\C:", u"\\\\?\\C:\\deep", u"x"},
      {u"\\Data\\x", u"", u"\\Data", u"x"}, {u"a\\b", u"", u"a", u"b"}, {u"a", u"", u"", u"a"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(std::tuple(RootOf(c.path), ParentFolder(c.path), LastName(c.path)), std::tuple(c.root, c.parent, c.last))
        << U8(c.path);
  }
  // Joined and made absolute, a share typed with both separators too; the root keeps its separator; a
  // drive that is not there has no existing folder.
  const std::vector<std::pair<std::u16string, std::u16string>> made = {
      {JoinPath(u"C:\\", u"x"), u"C:\\x"}, {AbsolutePath(u"C:/a//b/./d/"), u"C:\\a\\b\\d"},
      {AbsolutePath(u"C:\\"), u"C:\\"}, {AbsolutePath(u"//server/share/x"), u"\\\\server\\share\\x"},
      {paths::GetFullPath(u"/\\srv/share/x", u"C:\\Other"), u"\\\\srv\\share\\x"},
      {paths::GetTruePath(u"c:\\"), u"C:\\"}, {paths::GetTruePath(u"c:"), u"C:\\"},
      {paths::GetExistingFolder(u"Q:\\missing\\deeper", u""), u""}};
  for (std::size_t i = 0; i < made.size(); ++i) EXPECT_EQ(made[i].first, made[i].second) << i;
}

TEST_F(WindowsFiles, NamesAreFoundInAnyLetterCaseAndSpelledAsStored) {
  for (const char16_t* name : {u"Data", u"Data/Songs"}) t.MakeFolder(name);
  t.Write(u"Data/Songs/Kick.WAV", "kick");
  const std::u16string lower = t / u"data/songs/kick.wav";
  EXPECT_TRUE(FileExists(lower));
  EXPECT_EQ(StoredNameAt(t / u"DATA/songs/KICK.wav"), u"Kick.WAV");
  EXPECT_EQ(StoredNameAt(t / u"data/songs/k*.wav"), u"")
      << "a pattern names no file";
  const Folder songs = OpenFolder(t / u"DATA/SONGS");
  EXPECT_TRUE(songs.Read(u"KICK.wav", bytes, info, error) && bytes == "kick");
  EXPECT_FALSE(songs.Read(u"..\\..\\Data\\Songs\\Kick.WAV", bytes, info, error)) << "one name, never a path";
}

TEST_F(WindowsFiles, HiddenSystemAndReadOnlyAreAttributes) {
  const auto hidden = t.Write(u"hidden.bms", ""), system = t.Write(u"system.bms", ""), ro = t.Write(u"ro.bms", "");
  t.Write(u"plain.bms", "");
  for (const auto& [path, bits] : {std::pair{hidden, kAttrHidden}, {system, kAttrSystem}, {ro, kAttrReadOnly}})
    ASSERT_TRUE(SetAttributes(path, bits));
  EXPECT_EQ(std::pair(AttributesOf(hidden), AttributesOf(system)), std::pair(int(kAttrHidden), int(kAttrSystem)));
  std::vector<DirEntry> entries;
  ASSERT_TRUE(OpenFolder(t.Path()).List(entries, error));
  ASSERT_EQ(entries.size(), 4u);
  // The listing tells every attribute.
  EXPECT_EQ(std::tuple(entries[0].Name, entries[0].Attributes & kAttrHidden, entries[2].Attributes & kAttrReadOnly),
            std::tuple(std::u16string(u"hidden.bms"), int(kAttrHidden), int(kAttrReadOnly)));

  FileFilter filter;
  filter.MakeFileList(t.Path());
  EXPECT_EQ(filter.List(), (std::vector<std::u16string>{u"plain.bms", u"ro.bms"})) << "neither hidden nor system";
  EXPECT_TRUE(RemoveFile(ro) && !PathExists(ro)) << "read-only files go too";
}

TEST_F(WindowsFiles, ANewFileTakesItsModelsAttributesButReadOnlyAndAllThreeTimes) {
  const auto model = t.Write(u"model.bms", "old");
  const FileTimes stamp{true, 1200000000 * kSecond, 1500000000 * kSecond + 300, 1400000000 * kSecond + 700};
  ASSERT_TRUE(SetFileTimes(model, stamp));
  ASSERT_TRUE(SetAttributes(model, kAttrHidden | kAttrReadOnly));
  const Folder folder = OpenFolder(t.Path());
  FileInfo like;
  ASSERT_TRUE(folder.Info(u"model.bms", like, false, error));
  File file;
  EXPECT_TRUE(!folder.Create(u"MODEL.bms", file, error) && error.AlreadyExists()) << "taken, in another letter case";
  ASSERT_TRUE(folder.Create(u"new.bms", file, error));
  ASSERT_TRUE(file.Write("new", error) && file.Finish(like, true, error));
  EXPECT_EQ(AttributesOf(t / u"new.bms"), kAttrHidden);
  FileTimes times;
  ASSERT_TRUE(GetFileTimes(t / u"new.bms", times));
  // The model's own creation time tells whether the file system keeps one that can be set (wine on a
  // Linux file system gives the write time instead): there, the new file must carry it too.
  ASSERT_TRUE(folder.Info(u"model.bms", like, false, error));
  const std::int64_t creation = like.Times.Creation == stamp.Creation ? stamp.Creation : times.Creation;
  EXPECT_EQ(std::tuple(times.HasCreation, times.Creation, times.Access, times.Write, t.Read(u"new.bms")),
            std::tuple(true, creation, stamp.Access, stamp.Write, std::string("new")));
}

TEST_F(WindowsFiles, TreesGoWithTheirReadOnlyAndHiddenEntries) {
  for (const char16_t* name : {u"tree", u"tree/sub"}) t.MakeFolder(name);
  ASSERT_TRUE(SetAttributes(t.Write(u"tree/sub/ro.wav", "x"), kAttrReadOnly));
  ASSERT_TRUE(SetAttributes(t.Write(u"tree/hidden.wav", "x"), kAttrHidden | kAttrSystem));
  ASSERT_TRUE(SetAttributes(t / u"tree/sub", kAttrReadOnly));
  const Folder folder = OpenFolder(t.Path());
  EXPECT_FALSE(folder.Remove(u"tree", error)) << "a folder is no file";
  TreeRemoval removal;
  EXPECT_TRUE(folder.RemoveTree(u"TREE", removal) && removal.Stayed.empty());
  EXPECT_FALSE(folder.RemoveTree(u"tree", removal) || !removal.Stayed.at(0).Error.NotFound());
  EXPECT_TRUE(t.Names().empty());
}

// Wine makes no junctions: what decides that a tree deletion leaves an entry as another mount.
TEST_F(WindowsFiles, JunctionsAndMountedVolumesAreLeftByTreeDeletionsLinksAreNot) {
  constexpr std::uint32_t kFolderPoint = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  const std::vector<std::tuple<std::uint32_t, std::uint32_t, bool>> cases = {
      {kFolderPoint, IO_REPARSE_TAG_MOUNT_POINT, true}, {kFolderPoint, 0, true},  // a kind not told
      {kFolderPoint, IO_REPARSE_TAG_SYMLINK, false},    {FILE_ATTRIBUTE_DIRECTORY, 0, false},
      {kFolderPoint, 0x9000001Au, false},  // a cloud placeholder: the folder it stands for
      {FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_MOUNT_POINT, false}};
  for (const auto& [attributes, tag, mount] : cases) EXPECT_EQ(IsMountEntry(attributes, tag), mount) << std::hex << tag;
}

TEST_F(WindowsFiles, AJapaneseNameMeetsAChartInEitherEncoding) {
  t.Write(u"ピアノ.wav", "");
  EXPECT_EQ(t.Names(), std::vector<std::u16string>{u"ピアノ.wav"});
  EXPECT_EQ(NativeBytes(u"ピアノ.wav"), "\xE3\x83\x94\xE3\x82\xA2\xE3\x83\x8E.wav");
  StoredFiles files;
  std::u16string why;
  // A Shift-JIS chart's text, and a UTF-8 chart read as Shift-JIS.
  for (const std::string& chart : {ToCp932(u"ピアノ.WAV"), ToUtf8(u"ピアノ.wav")}) {
    EXPECT_EQ(files.FindFile(t.Path(), DecodeCp932(chart), why), StoredFiles::Result::Found) << chart;
  }
}

TEST_F(WindowsFiles, AShortcutLeadsToItsTarget) {
  const auto songs = t.MakeFolder(u"songs");
  const auto chart = t.Write(u"songs/a.bms", "");
  ASSERT_TRUE(MakeShortcut(t / u"to songs.lnk", songs));
  ASSERT_TRUE(MakeShortcut(t / u"to chart.LNK", chart));
  EXPECT_TRUE(SameFile(paths::GetDropFolder({t / u"to songs.lnk"}), songs));
  EXPECT_TRUE(SameFile(paths::ResolveShortcut(t / u"to chart.LNK"), chart));
  EXPECT_TRUE(SameFile(paths::GetDropFolder({t / u"to chart.LNK"}), songs)) << "a chart's shortcut: its folder";
}

TEST_F(WindowsFiles, PathsLongerThanTheOldLimitWork) {
  std::u16string deep = t.Path();
  for (int level = 0; level < 12; ++level) {
    deep = JoinPath(deep, std::u16string(30, char16_t(u'a' + level)));
    ASSERT_TRUE(CreateFolder(deep)) << deep.size();
  }
  ASSERT_GT(deep.size(), 400u);
  const auto chart = JoinPath(deep, u"deep.bms");
  ASSERT_TRUE(WriteWholeFile(chart, "#WAV01 x.wav\r\n"));
  EXPECT_TRUE(FolderExists(deep) && FileExists(chart) && paths::GetTruePath(deep) == deep);
  EXPECT_EQ(Names(deep), std::vector<std::u16string>{u"deep.bms"});
  EXPECT_TRUE(RemoveTree(JoinPath(t.Path(), std::u16string(30, u'a'))));
}

// The Recycle Bin of the entry's drive: what goes there leaves its folder whole. Under wine it is the
// desktop's trash in the test's own data folder (XDG_DATA_HOME, set by the tests' build), where the
// entries lie with their notes. A name the shell would take for another entry stays.
TEST_F(WindowsFiles, EntriesGoToTheRecycleBinOrStayWithTheReason) {
  t.Write(u"a.wav", "x");
  t.MakeFolder(u"set");
  t.Write(u"set/k.wav", "k");
  const Folder folder = OpenFolder(t.Path());
  for (const char16_t* name : {u"con.wav", u"a.wav."})  // a device; a name whose last dot the shell drops
    EXPECT_TRUE(!folder.Trash(name, error) && error.Code == ERROR_INVALID_NAME) << U8(name);
  EXPECT_TRUE(folder.Trash(u"a.wav", error) && folder.Trash(u"set", error)) << error.Code;
  EXPECT_TRUE(Names(t.Path()).empty());
  wchar_t data[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"XDG_DATA_HOME", data, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || GetEnvironmentVariableW(L"WINELOADER", nullptr, 0) == 0) return;
  std::u16string trash = u"Z:" + std::u16string(data, data + n) + u"/Trash";
  for (char16_t& c : trash) c = c == u'/' ? u'\\' : c;
  EXPECT_EQ(ReadBytes(trash + u"\\files\\a.wav") + ReadBytes(trash + u"\\files\\set\\k.wav"), "xk");
  EXPECT_NE(ReadBytes(trash + u"\\info\\set.trashinfo").find("/set\n"), std::string::npos);
  EXPECT_TRUE(RemoveTree(trash));
}

TEST_F(WindowsFiles, AFolderMovedAwayIsStillTheOneOpened) {
  const auto songs = t.MakeFolder(u"songs");
  t.Write(u"songs/a.bms", "old");
  const Folder folder = OpenFolder(songs);
  File file;
  ASSERT_TRUE(folder.Create(u"a.bms.mbk1", file, error) && file.Write("new", error) && file.Finish(info, true, error));
  ASSERT_TRUE(MoveReplacing(songs, t / u"moved"));
  t.MakeFolder(u"songs");
  t.Write(u"songs/a.bms", "someone else's");
  EXPECT_TRUE(folder.Read(u"a.bms", bytes, info, error) && bytes == "old");
  // Windows names entries through the folder's opening. Wine names them by the path the folder
  // was opened by, which leads elsewhere now: it is refused, and nothing there is touched.
  const bool placed = folder.Keep(u"a.bms", u"a.bms~1.mbk", error) == KeepResult::Made &&
                      folder.Rename(u"a.bms.mbk1", u"a.bms", error);
  if (placed) {
    EXPECT_EQ(t.Read(u"moved/a.bms") + t.Read(u"moved/a.bms~1.mbk"), "newold");
  } else {
    EXPECT_EQ(ErrorText(error), u"フォルダが移動されました");
    EXPECT_FALSE(folder.Remove(u"a.bms.mbk1", error));
    EXPECT_EQ(t.Read(u"moved/a.bms") + t.Read(u"moved/a.bms.mbk1"), "oldnew");
  }
  EXPECT_EQ(std::pair(t.Names(u"songs"), t.Read(u"songs/a.bms")),
            std::pair(std::vector<std::u16string>{u"a.bms"}, std::string("someone else's")));
}

TEST_F(WindowsFiles, TheNamedStreamsOfAStreamListing) {
  // Records as the system lays them out: each at an 8-byte boundary, the last with no next.
  std::vector<std::uint64_t> buffer(64);
  char* const start = reinterpret_cast<char*>(buffer.data());
  std::size_t at = 0, last = 0;
  for (const std::u16string name : {u"::$DATA", u":Zone.Identifier:$DATA", u":タグ:$DATA", u":odd"}) {
    const std::uint32_t size = static_cast<std::uint32_t>(name.size() * 2), next = (24 + size + 7) / 8 * 8;
    std::memcpy(start + at, &next, 4);
    std::memcpy(start + at + 4, &size, 4);
    std::memcpy(start + at + 24, name.data(), size);
    last = at;
    at += next;
  }
  std::memset(start + last, 0, 4);
  EXPECT_EQ(NamedStreams(buffer.data(), at), (std::vector<std::u16string>{u":Zone.Identifier:$DATA", u":タグ:$DATA"}));
  EXPECT_EQ(NamedStreams(buffer.data(), 30), std::vector<std::u16string>{}) << "a record cut short";
}
