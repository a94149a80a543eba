#include "toolkit/mdlTools.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "tests/support/TempDir.h"
#include "toolkit/platform/fs.h"
#include "toolkit/platform/shell.h"

using namespace mdlTools;

TEST(mdlTools, TrimQuotesAndPrintableText) {
  const std::vector<std::pair<std::u16string, std::u16string>> quotes = {
      {u"\"a b\"", u"a b"}, {u"\"a", u"a"}, {u"a\"", u"a"}, {u"\"", u""}, {u"\"\"", u""}, {u"a\"b", u"a\"b"}, {u"", u""},
  };
  for (const auto& [in, out] : quotes) EXPECT_EQ(TrimQuotes(in), out) << U8(in);

  EXPECT_TRUE(IsPrintableText(u""));
  EXPECT_TRUE(IsPrintableText(u"C:\\曲\\ｱ.bms \u00E9"));
  EXPECT_TRUE(IsPrintableText(u"\xDC81"));
  EXPECT_FALSE(IsPrintableText(u"a\tb"));
  EXPECT_FALSE(IsPrintableText(u"a\r\n"));
  EXPECT_FALSE(IsPrintableText(u"\xDC09"));  // a tab byte kept as an escape is still a tab
}

TEST(mdlTools, GetFullPathAgainstABaseFolder) {
  TempDir t;
  const std::u16string base = t.Path();
  struct Case {
    std::u16string in, out;
  };
  const std::vector<Case> cases = {
      {u"\"songs\"", base + Sep(u"/songs")},
      {u"   sub/../x", base + Sep(u"/x")},
      {u"./a/./b/", base + Sep(u"/a/b")},
#ifndef _WIN32  // roots and shares of Windows paths: in the Windows tests
      {u"/abs/./p/../q", u"/abs/q"},
      {u"//abs//p", u"/abs/p"},
#endif
      {u"", base},
      {u"a\tb", u""},
      {u"\"a\nb\"", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(GetFullPath(c.in, base), c.out) << U8(c.in);

  SetCurrentFolder(base + Sep(u"/cur"));
  EXPECT_EQ(GetFullPath(u"x", u""), base + Sep(u"/cur/x")) << "no base: CurrentFolder";
  SetCurrentFolder(u"");
}

TEST(mdlTools, GetTruePathSpellsNamesAsStored) {
  TempDir t;
  t.MakeFolder(u"Data");
  t.MakeFolder(u"Data/Songs");
  t.Write(u"Data/Songs/Kick.WAV", "");
  const std::u16string base = t.Path();
  struct Case {
    std::u16string in, out;
  };
  std::vector<Case> cases = {
      {base + u"/data/songs", base + Sep(u"/Data/Songs")},
      {base + u"/DATA/SONGS/", base + Sep(u"/Data/Songs")},
      {u"  " + base + u"/Data//songs", base + Sep(u"/Data/Songs")},
      {base + u"/data/songs/kick.wav", base + Sep(u"/Data/Songs/Kick.WAV")},
      {base + u"/data/missing", u""},
      {u"relative/path", u""},
      {u"", u""},
  };
#ifndef _WIN32
  // A folder stored under Shift-JIS bytes is found by its text, as a person reads it.
  t.MakeFolder(u"Data/" + platform::DecodeUtf8("\x83\x73\x83\x41\x83\x6D"));
  cases.push_back({base + u"/data/ピアノ", base + u"/Data/" + platform::DecodeUtf8("\x83\x73\x83\x41\x83\x6D")});
  cases.push_back({u"/", u"/"});
#endif
  for (const auto& c : cases) EXPECT_EQ(GetTruePath(c.in), c.out) << U8(c.in);
}

TEST(mdlTools, GetExistingFolderWalksUpToTheNearestFolder) {
  TempDir t;
  t.MakeFolder(u"Data");
  t.MakeFolder(u"Data/Songs");
  t.Write(u"Data/Songs/a.bms", "");
  const std::u16string base = t.Path();
  EXPECT_EQ(GetExistingFolder(u"data/songs/missing/deeper", base), base + Sep(u"/Data/Songs"));
  EXPECT_EQ(GetExistingFolder(u"Data/Songs/a.bms", base), base + Sep(u"/Data/Songs"));
  EXPECT_EQ(GetExistingFolder(u"\"Data\"", base), base + Sep(u"/Data"));
#ifdef _WIN32
  EXPECT_EQ(GetExistingFolder(u"/no-such-root-folder/x", base), platform::RootOf(base) + u"\\") << "the base's drive";
#else
  EXPECT_EQ(GetExistingFolder(u"/no-such-root-folder/x", base), u"/");
#endif
  EXPECT_EQ(GetExistingFolder(u"bad\tname", base), u"");
}

TEST(mdlTools, DropsNameAFolder) {
  TempDir t;
  const auto folder = t.MakeFolder(u"songs");
  const auto chart = t.Write(u"songs/a.bms", "");
  const auto other = t.Write(u"other.bms", "");
  const auto lnk = t.Write(u"songs/shortcut.LNK", "not a shortcut here");
  struct Case {
    std::vector<std::u16string> dropped;
    std::u16string folder;
  };
  const std::vector<Case> cases = {
      {{}, u""},
      {{folder}, folder},
      {{chart}, folder},
      {{chart, other}, folder},
      {{other, chart}, t.Path()},
      {{t / u"missing"}, t / u"missing"},
      {{lnk}, folder},  // a shortcut without a target: the folder it was dropped from
  };
  for (const auto& c : cases) EXPECT_EQ(GetDropFolder(c.dropped), c.folder);
  EXPECT_EQ(ResolveShortcut(chart), chart);
  EXPECT_EQ(ResolveShortcut(lnk), u"");
}

TEST(mdlTools, ShellOpenExploresFoldersOpensFilesAndOffersAProgram) {
  TempDir t;
  const auto folder = t.MakeFolder(u"songs");
  const auto chart = t.Write(u"a.bms", "");
  std::vector<std::pair<platform::ShellVerb, std::u16string>> calls;
  int answer = platform::kShellOk;
  platform::SetShellHandler([&](platform::ShellVerb verb, const std::u16string& path) {
    calls.emplace_back(verb, path);
    return calls.size() == 1 ? answer : platform::kShellOk;
  });
  ShellOpen(u"\"" + folder + u"\"");
  ShellOpen(chart);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], std::make_pair(platform::ShellVerb::Explore, folder));
  EXPECT_EQ(calls[1], std::make_pair(platform::ShellVerb::Open, chart));

  calls.clear();
  answer = platform::kShellNoAssociation;
  ShellOpen(chart);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1], std::make_pair(platform::ShellVerb::OpenWith, chart));
  platform::SetShellHandler(nullptr);
}

TEST(mdlTools, AppFolderIsTheExecutablesFolderWhereverTheShellIs) {
  TempDir t;
  const std::u16string before = platform::CurrentDirectory();
  ASSERT_TRUE(platform::ChangeDirectory(t.Path()));
  InitAppFolder();
  ASSERT_TRUE(platform::ChangeDirectory(before));
#ifdef _WIN32
  // The build's folder is a Linux path here, which the program sees through a drive letter.
  EXPECT_EQ(platform::LastName(AppFolder()), u"bin");
  EXPECT_TRUE(platform::FileExists(platform::JoinPath(AppFolder(), u"toolkit_tests.exe")));
#else
  EXPECT_EQ(AppFolder(), GetTruePath(platform::DecodeUtf8(TEST_BIN_DIR)));
#endif
  EXPECT_EQ(CurrentFolder(), AppFolder());
  SetAppFolder(u"");
  SetCurrentFolder(u"");
}
