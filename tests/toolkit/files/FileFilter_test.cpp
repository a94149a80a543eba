#include "toolkit/files/FileFilter.h"

#ifndef _WIN32
#include "tests/support/Posix.h"
#endif

#include "tests/support/TempDir.h"

using NameList = std::vector<std::u16string>;

// Each rule on one instance that must follow every change (same text: list reused).
TEST(FileFilter, ListRules) {
  struct Case { bool include_on; std::u16string include; bool exclude_on; std::u16string exclude; NameList want; };
  const NameList all = {u"a.BMS", u"b.bme", u"c.wav", u"x.mbk", u"x.mbk1"};
  std::u16string many;  // a list of more than a hundred entries is taken whole
  for (int i = 0; i < 150; ++i) many += u"n" + text::DecodeUtf8(std::to_string(i)) + u".bms;";
  const std::vector<Case> cases = {
      {false, u"", false, u"", all},
      {true, u"*.bms;*.bme", false, u"", {u"a.BMS", u"b.bme"}},
      {true, u"", false, u"", all},
      {true, u"*.bms;*.bme", false, u"", {u"a.BMS", u"b.bme"}},  // the text before the empty one, again
      {true, u"*;*", false, u"", all},
      {true, u"*.bms;;*.bme", false, u"", all},  // an empty entry matches every name
      {true, u"*.bms;*;*.wav", false, u"", all}, {true, u"*.bms;", false, u"", {u"a.BMS"}},
      {true, u"*.bms; *.bme", false, u"", {u"a.BMS"}},  // the space is part of the pattern
      {false, u"*.bms; *.bme", false, u"", all},
      {true, u"*.bms; *.bme", false, u"", {u"a.BMS"}},  // switched on again, the same text
      {true, u"*.wav;*.bme", false, u"", {u"b.bme", u"c.wav"}},
      {false, u"", true, u"*.mbk", {u"a.BMS", u"b.bme", u"c.wav", u"x.mbk1"}},
      {true, u"?.*", true, u"*.mbk*;*.wav", {u"a.BMS", u"b.bme"}},
      {true, u"*.ogg", false, u"", {}}, {true, u"x*", false, u"", {u"x.mbk", u"x.mbk1"}},
      {true, many + u"x.mbk1", false, u"", {u"x.mbk1"}},
  };
  TempDir t;
  for (const char16_t* name : {u"a.BMS", u"b.bme", u"c.wav", u"x.mbk", u"x.mbk1", u".hidden.bms"}) t.Write(name, "");
  t.MakeFolder(u"sub.bms");
  t.MakeFolder(u".git");
  FileFilter kept;
  for (const auto& c : cases) {
    kept.SetIsMatchOther(0, c.include_on);
    kept.SetPatterns(0, c.include);
    kept.SetIsMatchOther(1, c.exclude_on);
    kept.SetPatterns(1, c.exclude);
    kept.MakeFileList(t.Path());
    EXPECT_EQ(kept.List(), c.want) << U8(c.include) << " / " << U8(c.exclude);
  }
#ifndef _WIN32  // links; the Windows attributes have tests of their own
  // Files neither hidden (the names above) nor dangling links; read-only ones count.
  Link(t / u"a.BMS", t / u"link.bms");
  Link(t / u"nothing", t / u"dangling.bms");
  ASSERT_TRUE(platform::SetAttributes(t / u"c.wav", platform::kAttrReadOnly));
  FileFilter f;
  f.MakeFileList(t.Path());
  EXPECT_EQ(f.List(), (NameList{u"a.BMS", u"b.bme", u"c.wav", u"link.bms", u"x.mbk", u"x.mbk1"}));
  f.MakeFileList(t / u"missing");
  EXPECT_TRUE(f.List().empty());
#endif
}
