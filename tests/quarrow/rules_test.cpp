#include <gtest/gtest.h>

#include <vector>

#include "tests/support/Recorders.h"
#include "tests/support/TempDir.h"
#include "quarrow/clsRules.h"
#include "quarrow/mdlAppParam.h"
#include "quarrow/mdlRuleIO.h"
#include "toolkit/mdlTools.h"
#include "toolkit/platform/fs.h"
#include "toolkit/platform/text.h"

using namespace quarrow;

TEST(CommandTable, FindCommandIsAPrefixTestWithoutAsciiCase) {
  const std::vector<std::pair<std::u16string, int>> cases = {
      {u"#wav01 a.wav", 1}, {u"#Bmp01 x.bmp", 2},  {u" #WAV01 a.wav", 0}, {u"#STAGEFILE title.bmp", 3},
      {u"#midifile a.mid", 4}, {u"#BPM 120", 9},   {u"#bpm", 9},          {u"#WAVE", 1},
      {u"*.wav", 0},        {u"?WAV", 0},          {u"#WA", 0},           {u"", 0},
      {u"#BGA01", 14},      {u"#VOLWAV 100", 12},  {u"＃WAV01", 0},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(FindCommand(text), want) << U8(text);
  EXPECT_EQ(CommandNames()[15], u"#BPM");
}

TEST(Rules, EntryTextSplitsAtTheStoredPositionNotAtTheArrow) {
  const RuleEntry e = MakeRuleEntry(u"a → b*", u"c*");
  EXPECT_EQ(e.Text, u"a → b* → c*");
  EXPECT_EQ(e.Split, 6);
  std::u16string search, replace;
  SplitRuleText(e.Text, e.Split, search, replace);
  EXPECT_EQ(search, u"a → b*");
  EXPECT_EQ(replace, u"c*");
  SplitRuleText(u"abc", 99, search, replace);  // a position past the text cuts where it can
  EXPECT_EQ(search, u"abc");
  EXPECT_EQ(replace, u"");
}

TEST(Rules, ARuleIsRefusedWithTheReasonAUserCanAct) {
  EXPECT_EQ(RuleError(u"#WAV?? *.wav", u"#WAV?? *.ogg", 1), u"");
  EXPECT_NE(RuleError(u"*", u"**", 1).find(u"置換ルールが間違っています。"), std::u16string::npos);
  EXPECT_EQ(RuleError(u"#TITLE *", u"#TITLE caf\u00E9 *", 1),
            u"置換パタンに Shift-JIS で書けない文字があります: 「\u00E9」(U+00E9)");
  EXPECT_EQ(RuleError(u"#TITLE *", u"#TITLE 曲 *", 1), u"") << "Shift-JIS text is fine";
}

TEST(Rules, ValidityAndCommandOfARule) {
  struct Case {
    std::u16string search, replace;
    bool valid;
    int command;
  };
  const std::vector<Case> cases = {
      {u"#WAV?? *.wav", u"#WAV?? *.ogg", true, 1},
      {u"#STAGEFILE *", u"#stagefile *", true, 3},
      {u"a?c", u"x??", false, 0},  // more wildcards in the replacement
      {u"#STAGEFILE *.bmp", u"#stagefile *.png", true, 3},
      {u"*", u"**", false, 0},
      {u"*_*", u"*", false, 0},  // cannot be read one way only
      {u"#BPM *", u"#BPM 150", true, 9},
      {u"*.wav", u"*.ogg", true, 0},
      {u"#TITLE *", u"", true, 0},
  };
  for (const auto& c : cases) {
    clsRules rule;
    const RuleEntry e = MakeRuleEntry(c.search, c.replace);
    EXPECT_EQ(rule.MakeRule(e.Text, e.Split, 1), c.valid) << U8(e.Text);
    EXPECT_EQ(rule.CommandNum, c.command) << U8(e.Text);
  }
  clsRules rule;
  const RuleEntry e = MakeRuleEntry(u"#WAV?? *.wav", u"#WAV?? *.ogg");
  ASSERT_TRUE(rule.MakeRule(e.Text, e.Split, 0));
  std::u16string line = u"#WAV01 kick.WAV";
  EXPECT_FALSE(rule.Convert(line)) << "without text mode the letters' case counts";
  ASSERT_TRUE(rule.MakeRule(e.Text, e.Split, 1));
  EXPECT_TRUE(rule.Convert(line));
  EXPECT_EQ(line, u"#WAV01 kick.ogg");
}

namespace {

struct RuleFolder {
  RuleFolder() {
    mdlTools::SetAppFolder(t.Path());
    mdlTools::SetProgramName(u"Quarrow");
  }
  ~RuleFolder() {
    mdlTools::SetAppFolder(u"");
    mdlTools::SetProgramName(u"");
  }
  std::vector<RuleEntry> Load(const std::vector<std::u16string>& lines) {
    std::string bytes;
    for (const auto& l : lines) platform::AppendLine(bytes, platform::ToCp932(l));
    const auto path = t.Write(u"rules.rul", bytes);
    std::vector<RuleEntry> list;
    LoadRuleFile(list, 1, path);
    return list;
  }
  TempDir t;
};

}  // namespace

TEST(RuleFile, ReaderTakesNonEmptyLinesInPairsAndDropsInvalidOnes) {
  RuleFolder f;
  const std::vector<RuleEntry> want = {MakeRuleEntry(u"#WAV?? *.wav", u"#WAV?? *.ogg"),
                                       MakeRuleEntry(u"#BMP?? *.bmp", u"#BMP?? *.png")};
  EXPECT_EQ(f.Load({u"#WAV?? *.wav", u"#WAV?? *.ogg", u"", u"#BMP?? *.bmp", u"#BMP?? *.png", u""}), want);
  EXPECT_EQ(f.Load({u"", u"", u"#WAV?? *.wav", u"", u"#WAV?? *.ogg", u"#BMP?? *.bmp", u"#BMP?? *.png"}), want);
  EXPECT_EQ(f.Load({u"#WAV?? *.wav", u"#WAV?? *.ogg", u"*", u"**", u"#BMP?? *.bmp", u"#BMP?? *.png"}), want)
      << "an invalid pair in between is dropped";
  EXPECT_EQ(f.Load({u"   ", u"x"}), (std::vector<RuleEntry>{MakeRuleEntry(u"   ", u"x")})) << "blanks are a pattern";
  // An odd count: the last search pattern has no partner; said, not taken as a rule.
  RecordingMessages messages;
  EXPECT_EQ(f.Load({u"#WAV?? *.wav", u"#WAV?? *.ogg", u"#TITLE *"}), std::vector<RuleEntry>{want[0]});
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0].icon, MsgIcon::Exclamation);
  EXPECT_NE(messages.messages[0].text.find(u"「#TITLE *」"), std::u16string::npos);
  // A rule file edited on Linux: LF line ends, UTF-8 without a byte-order mark.
  const std::string linux_file = platform::ToUtf8(u"#TITLE 曲*\n#TITLE ｿﾝｸﾞ*\n\n");
  std::vector<RuleEntry> list;
  LoadRuleFile(list, 1, f.t.Write(u"linux.rul", linux_file));
  EXPECT_EQ(list, (std::vector<RuleEntry>{MakeRuleEntry(u"#TITLE 曲*", u"#TITLE ｿﾝｸﾞ*")}));
}

TEST(RuleFile, SaveThenLoadGivesTheSameList) {
  RuleFolder f;
  const std::vector<RuleEntry> list = {
      MakeRuleEntry(u"#WAV?? *.wav", u"#WAV?? *.ogg"),
      MakeRuleEntry(u"#TITLE a → b", u"#TITLE c → d"),
      MakeRuleEntry(u"#TITLE 曲*", u"#TITLE ｿﾝｸﾞ*"),
      MakeRuleEntry(u"#WAV?? *.wav", u"#WAV?? *.ogg"),  // the same rule twice stays twice
  };
  ASSERT_TRUE(SaveRuleFile(list));
  std::string bytes;
  ASSERT_TRUE(platform::ReadWholeFile(f.t / u"Quarrow.rul", bytes));
  EXPECT_EQ(bytes.substr(0, 28), "#WAV?? *.wav\r\n#WAV?? *.ogg\r\n");
  std::vector<RuleEntry> back = {MakeRuleEntry(u"kept", u"kept")};
  LoadRuleFile(back, 1, u"");
  ASSERT_EQ(back.size(), 5u) << "loading appends";
  EXPECT_EQ(std::vector<RuleEntry>(back.begin() + 1, back.end()), list);

  // A pattern outside CP932 makes the file UTF-8 with a byte-order mark instead of losing it.
  const std::vector<RuleEntry> wide = {MakeRuleEntry(u"#TITLE 한*", u"#TITLE é*")};
  ASSERT_TRUE(SaveRuleFile(wide));
  std::vector<RuleEntry> again;
  LoadRuleFile(again, 1, u"");
  EXPECT_EQ(again, wide);

  ASSERT_TRUE(SaveRuleFile({}));
  ASSERT_TRUE(platform::ReadWholeFile(f.t / u"Quarrow.rul", bytes));
  EXPECT_TRUE(bytes.empty());
}

TEST(RuleFile, MissingFileIsQuietAndUnreadableFileIsReported) {
  RuleFolder f;
  RecordingMessages messages;
  std::vector<RuleEntry> list;
  LoadRuleFile(list, 1, u"");
  EXPECT_TRUE(list.empty());
  EXPECT_TRUE(messages.messages.empty());

  f.t.MakeFolder(u"Quarrow.rul");  // cannot be written as a file
  EXPECT_FALSE(SaveRuleFile({MakeRuleEntry(u"a", u"b")}));
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0].text, (f.t / u"Quarrow.rul") + u" のオープンに失敗しました。");
  EXPECT_EQ(messages.messages[0].title, u"ファイルオープンエラー");
  EXPECT_EQ(messages.messages[0].icon, MsgIcon::Critical);
}
