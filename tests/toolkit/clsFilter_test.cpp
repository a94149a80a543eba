#include "toolkit/clsFilter.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "toolkit/platform/fs.h"

using NameList = std::vector<std::u16string>;

namespace {

struct Sample {
  Sample() {
    for (const char16_t* name : {u"a.BMS", u"b.bme", u"c.wav", u"x.mbk", u"x.mbk1", u".hidden.bms"}) t.Write(name, "");
    t.MakeFolder(u"sub.bms");
    t.MakeFolder(u".git");
  }
  NameList List(clsFilter& f) {
    f.MakeFileList(t.Path());
    return f.List();
  }
  TempDir t;
};

}  // namespace

TEST(clsFilter, ListRules) {
  struct Case {
    bool include_on;
    std::u16string include;
    bool exclude_on;
    std::u16string exclude;
    NameList want;
  };
  const NameList all = {u"a.BMS", u"b.bme", u"c.wav", u"x.mbk", u"x.mbk1"};
  const std::vector<Case> cases = {
      {false, u"", false, u"", all},
      {false, u"*.bms", false, u"*", all},  // switched off lists count for nothing
      {true, u"*.bms;*.bme", false, u"", {u"a.BMS", u"b.bme"}},
      {true, u"", false, u"", all},
      {true, u"*", false, u"", all},
      {true, u"*;*", false, u"", all},
      {true, u"*.bms;;*.bme", false, u"", all},  // an empty entry matches every name
      {true, u"*.bms;*;*.wav", false, u"", all},
      {true, u"*.bms;", false, u"", {u"a.BMS"}},
      {true, u"*.bms; *.bme", false, u"", {u"a.BMS"}},  // the space is part of the pattern
      {false, u"", true, u"", {}},
      {false, u"", true, u"*", {}},
      {false, u"", true, u"*.mbk", {u"a.BMS", u"b.bme", u"c.wav", u"x.mbk1"}},
      {true, u"?.*", true, u"*.mbk*;*.wav", {u"a.BMS", u"b.bme"}},
      {true, u"*.ogg", false, u"", {}},
  };
  Sample folder;
  for (const auto& c : cases) {
    clsFilter f;
    f.SetIsMatchOther(0, c.include_on);
    f.SetPatterns(0, c.include);
    f.SetIsMatchOther(1, c.exclude_on);
    f.SetPatterns(1, c.exclude);
    EXPECT_EQ(folder.List(f), c.want) << U8(c.include) << " / " << U8(c.exclude);
  }
}

TEST(clsFilter, OneInstanceFollowsEveryChangeOfItsLists) {
  Sample folder;
  clsFilter f;
  f.SetIsMatchOther(0, true);
  f.SetPatterns(0, u"*.bms");
  EXPECT_EQ(folder.List(f), (NameList{u"a.BMS"}));
  f.SetPatterns(0, u"*.wav;*.bme");
  EXPECT_EQ(folder.List(f), (NameList{u"b.bme", u"c.wav"}));
  f.SetPatterns(0, u"*");
  EXPECT_EQ(folder.List(f).size(), 5u);
  f.SetPatterns(0, u"*.wav");
  EXPECT_EQ(folder.List(f), (NameList{u"c.wav"}));
  f.SetIsMatchOther(0, false);
  EXPECT_EQ(folder.List(f).size(), 5u);
  f.SetIsMatchOther(0, true);  // the same text again: the compiled list is used as it was
  EXPECT_EQ(folder.List(f), (NameList{u"c.wav"}));
  f.SetPatterns(0, u"*.bms;;");
  EXPECT_EQ(folder.List(f).size(), 5u);
  f.SetPatterns(0, u"x*");
  EXPECT_EQ(folder.List(f), (NameList{u"x.mbk", u"x.mbk1"}));
}

TEST(clsFilter, ListsOfMoreThanAHundredEntriesAreTakenWhole) {
  TempDir t;
  t.Write(u"n149.bms", "");
  t.Write(u"other.bms", "");
  std::u16string patterns;
  for (int i = 0; i < 150; ++i) {
    const std::string entry = "n" + std::to_string(i) + ".bms;";
    patterns += std::u16string(entry.begin(), entry.end());
  }
  clsFilter f;
  f.SetIsMatchOther(0, true);
  f.SetPatterns(0, patterns);
  f.MakeFileList(t.Path());
  EXPECT_EQ(f.List(), (NameList{u"n149.bms"}));
}

#ifndef _WIN32  // links; the Windows attributes have tests of their own
TEST(clsFilter, AttributesFoldersAndLinks) {
  TempDir t;
  t.Write(u"a.bms", "");
  t.Write(u".hidden", "");
  const auto ro = t.Write(u"ro.bms", "");
  ASSERT_TRUE(platform::SetAttributes(ro, platform::kAttrReadOnly));
  t.MakeFolder(u"Sub");
  t.MakeFolder(u".hiddenfolder");
  ASSERT_EQ(symlink("a.bms", platform::ToUtf8(t / u"link.bms").c_str()), 0);
  ASSERT_EQ(symlink("nothing", platform::ToUtf8(t / u"dangling.bms").c_str()), 0);

  clsFilter f;
  f.MakeFileList(t.Path());
  EXPECT_EQ(f.List(), (NameList{u"a.bms", u"link.bms", u"ro.bms"})) << "default: neither hidden nor system";
  f.IsFolder = true;
  f.MakeFileList(t.Path());
  EXPECT_EQ(f.List(), (NameList{u"a.bms", u"link.bms", u"ro.bms", u"Sub"})) << "folders after files";
  f.IsFolder = false;

  f.SetAttr(1 | 2 | 32);  // hidden files asked for
  NameList names;
  EXPECT_EQ(f.sGetFiles(names, t.Path()), 4);
  f.SetAttr(0);  // no bit allowed: read-only files go
  f.sGetFiles(names, t.Path());
  EXPECT_EQ(names, (NameList{u"a.bms", u"link.bms"}));
  f.SetAttrOr(true);
  f.SetAttr(2);  // any file sharing a bit: only the hidden one
  f.sGetFiles(names, t.Path());
  EXPECT_EQ(names, (NameList{u".hidden"}));
  f.sGetFoldersFSO(names, t.Path());
  EXPECT_EQ(names, (NameList{u".hiddenfolder"}));

  f.MakeFileList(t / u"missing");
  EXPECT_EQ(f.ListCount(), 0);
}
#endif
