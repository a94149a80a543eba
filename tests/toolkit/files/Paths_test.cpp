#include "toolkit/files/Paths.h"

#ifndef _WIN32
#include <unistd.h>
#endif
#include "tests/support/TempDir.h"

using namespace paths;
using Pairs = std::vector<std::pair<std::u16string, std::u16string>>;

TEST(Paths, TrimQuotesAndPrintableText) {
  for (const auto& [in, out] : Pairs{{u"\"a b\"", u"a b"}, {u"\"a", u"a"}, {u"a\"", u"a"}, {u"\"", u""},
                                     {u"\"\"", u""}, {u"a\"b", u"a\"b"}, {u"", u""}}) {
    EXPECT_EQ(TrimQuotes(in), out) << U8(in);
  }
  // A stray byte kept as an escape (U+DCxx) counts as that byte: 0x81 is printable, a tab is not.
  for (const auto& [text, ok] : std::vector<std::pair<std::u16string, bool>>{
           {u"", true}, {u"C:\\曲\\ｱ.bms \u00E9", true}, {u"\xDC81", true}, {u"a\tb", false}, {u"a\r\n", false},
           {u"\xDC09", false}}) {
    EXPECT_EQ(IsPrintableText(text), ok) << U8(text);
  }
}

// Full, true and existing paths, drops and the program's folder over one tree: Data/Songs/Kick.WAV.
TEST(Paths, PathsAreMadeWholeAndSpelledAsStoredDropsNameAFolderAndTheProgramsFolderStays) {
  TempDir t;
  for (const char16_t* name : {u"Data", u"Data/Songs"}) t.MakeFolder(name);
  const auto chart = t.Write(u"Data/Songs/Kick.WAV", ""), other = t.Write(u"other.bms", "");
  const auto lnk = t.Write(u"Data/Songs/shortcut.LNK", "not a shortcut here");
  const std::u16string base = t.Path(), songs = base + Sep(u"/Data/Songs");
  // ".." is what the system means by it: a folder before it that is not there names nothing.
  Pairs full = {{u"\"songs\"", base + Sep(u"/songs")}, {u"   Data/../x", base + Sep(u"/x")}, {u"missing/../Data", u""},
                {u"./a/./b/", base + Sep(u"/a/b")},   {u"", base},    {u"  y", base + Sep(u"/y")},
                {u"a\tb", u""},                       {u"\"a\nb\"", u""}};
  Pairs stored = {{base + u"/data/songs", songs}, {base + u"/DATA/SONGS/", songs}, {u"  " + base + u"/Data//songs", songs},
                  {base + u"/data/songs/kick.wav", base + Sep(u"/Data/Songs/Kick.WAV")}, {base + u"/data/missing", u""},
                  {u"relative/path", u""}, {u"", u""}};
  Pairs existing = {{u"data/songs/missing/deeper", songs}, {u"Data/Songs/Kick.WAV", songs},
                    {u"\"Data\"", base + Sep(u"/Data")},   {u"bad\tname", u""}, {u"missing/../Data", u""}};
#ifdef _WIN32  // roots and shares of Windows paths: in the Windows tests
  existing.push_back({u"/no-such-root-folder/x", platform::RootOf(base) + u"\\"});  // the base's drive
#else
  // The ".." after a link is the parent of what the link points to.
  ASSERT_EQ(symlink("Data/Songs", U8(base + u"/cur").c_str()), 0);
  full.insert(full.end(), {{u"cur/..", base + u"/Data"}, {u"cur/../Songs/./", songs}, {u"//abs//p", u"/abs/p"},
                           {u"/..", u"/"}, {u"/", u"/"}});
  // A folder stored under Shift-JIS bytes is found by its text; ピヂノ (a second byte's case) is another.
  const std::u16string piano = ShiftJisName(u"ピアノ");
  t.MakeFolder(u"Data/" + piano);
  stored.insert(stored.end(), {{base + u"/data/ピアノ", base + u"/Data/" + piano}, {base + u"/data/ピヂノ", u""}, {u"/", u"/"}});
  existing.push_back({u"/no-such-root-folder/x", u"/"});
#endif
  for (const auto& [in, out] : full) EXPECT_EQ(GetFullPath(in, base), out) << U8(in);
  for (const auto& [in, out] : stored) EXPECT_EQ(GetTruePath(in), out) << U8(in);
  for (const auto& [in, out] : existing) EXPECT_EQ(GetExistingFolder(in, base), out) << U8(in);
  EXPECT_EQ(GetFullPath(u"x", u""), platform::JoinPath(platform::CurrentDirectory(), u"x"))
      << "no base: the process's current folder";
  // What the shell is asked to do is checked through the windows' buttons.
  const std::vector<std::pair<std::vector<std::u16string>, std::u16string>> drops = {
      {{}, u""}, {{songs}, songs}, {{chart}, songs}, {{chart, other}, songs}, {{other, chart}, base},
      {{t / u"missing"}, t / u"missing"}, {{lnk}, songs}};  // a shortcut without a target: where it lies
  for (const auto& [dropped, want] : drops) EXPECT_EQ(GetDropFolder(dropped), want) << dropped.size();
  EXPECT_EQ(std::make_pair(ResolveShortcut(chart), ResolveShortcut(lnk)), std::make_pair(chart, std::u16string()));
  // The program's folder is the executable's wherever the shell is.
  const std::u16string before = platform::CurrentDirectory();
  ASSERT_TRUE(ChangeDirectory(base));
  const std::u16string folder = ProgramFolder();
  ASSERT_TRUE(ChangeDirectory(before));
#ifdef _WIN32
  // The build's folder is a Linux path here, which the program sees through a drive letter. The
  // program's name comes without ".exe", its folder without a last separator.
  EXPECT_TRUE(platform::FileExists(platform::JoinPath(folder, u"toolkit_tests.exe")));
  EXPECT_EQ(GetTruePath(folder), folder);
  EXPECT_EQ(std::make_pair(platform::ExecutableName(), platform::IsSeparator(platform::ExecutableFolder().back())),
            std::make_pair(std::u16string(u"toolkit_tests"), false));
#else
  EXPECT_EQ(folder, GetTruePath(text::DecodeUtf8(TEST_BIN_DIR)));
#endif
}
