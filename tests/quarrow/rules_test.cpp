#include "tests/support/Recorders.h"
#include "tests/support/TempDir.h"
#include "quarrow/Rule.h"
#include "quarrow/RuleFile.h"
#include "toolkit/files/Paths.h"
#include "toolkit/text/ChartText.h"

using namespace quarrow;
using text::CaseMode;

TEST(Rules, EntrySplitValidityCommandAndTheReasonARuleIsRefused) {
  std::u16string search, replace;
  SplitRuleText(u"abc", 99, search, replace);  // a position past the text cuts where it can
  EXPECT_EQ(search + u"|" + replace, u"abc|");
  const std::vector<std::tuple<std::u16string, std::u16string, bool, int>> cases = {
      {u"#WAV?? *.wav", u"#WAV?? *.ogg", true, 1}, {u"#STAGEFILE *", u"#stagefile *", true, 3},
      {u"#STAGEFILE *.bmp", u"#stagefile *.png", true, 3}, {u"*", u"**", false, 0},
      {u"*_*", u"*", false, 0},  // cannot be read one way only
      {u"#BPM *", u"#BPM 150", true, 9}, {u"*.wav", u"*.ogg", true, 0}, {u"#TITLE *", u"", true, 0},
      {u"#TITLE *", u"#TITLE 曲 *", true, 7},
      {u"#TITLE *", u"#TITLE caf\u00E9 \U0001F600 *", true, 7},  // for UTF-8 charts
  };
  for (const auto& [search, replace, valid, command] : cases) {
    Rule rule;
    const RuleEntry e = MakeRuleEntry(search, replace);
    const bool made = rule.MakeRule(e.Text, e.Split, CaseMode::Text);
    const std::u16string why = RuleError(search, replace, CaseMode::Text);
    EXPECT_EQ(std::make_tuple(made, rule.CommandNum, why.empty()), std::make_tuple(valid, command, valid)) << U8(e.Text);
  }
  EXPECT_EQ(RuleError(u"#TITLE *", std::u16string(u"#TITLE *") + char16_t(0xD83D), CaseMode::Text),
            u"置換パタンに書けない文字があります: (U+D83D)");
  // A line break or a NUL would break the chart's lines, and no rule file could keep it.
  for (const std::u16string& bad : {std::u16string(u"a\rb"), std::u16string(u"a\nb"), std::u16string(u"a\0b", 3)})
    EXPECT_EQ(RuleError(u"#TITLE *", u"#TITLE " + bad, CaseMode::Text) +
                  RuleError(u"#TITLE " + bad, u"#TITLE *", CaseMode::Text),
              u"パタンに改行文字か NUL 文字がありますパタンに改行文字か NUL 文字があります");
  Rule rule;
  const RuleEntry e = MakeRuleEntry(u"#WAV?? *.wav", u"#WAV?? *.ogg");
  std::u16string line = u"#WAV01 kick.WAV";
  ASSERT_TRUE(rule.MakeRule(e.Text, e.Split, CaseMode::Binary));
  EXPECT_FALSE(rule.Convert(line)) << "without text mode the letters' case counts";
}

namespace {

struct RuleFolder {
  bool Load(std::vector<RuleEntry>& list) { return LoadRuleFile(list, CaseMode::Text, t / u"Quarrow.rul", messages); }
  bool Save(const std::vector<RuleEntry>& list) { return SaveRuleFile(list, t / u"Quarrow.rul", messages); }
  // The rules of a file of these CP932 lines.
  std::vector<RuleEntry> Load(const std::vector<std::u16string>& lines) {
    std::string bytes;
    for (const auto& l : lines) text::AppendLine(bytes, text::ToCp932(l));
    std::vector<RuleEntry> list;
    LoadRuleFile(list, CaseMode::Text, t.Write(u"rules.rul", bytes), messages);
    return list;
  }
  TempDir t;
  RecordingMessages messages;
};

}  // namespace

TEST(RuleFile, ReaderTakesTheWrittenLayoutElseNonEmptyLinesInPairsAndNamesWhatIsNoRule) {
  RuleFolder f;
  const std::vector<RuleEntry> want = {MakeRuleEntry(u"#WAV?? *.wav", u"#WAV?? *.ogg"),
                                       MakeRuleEntry(u"#BMP?? *.bmp", u"#BMP?? *.png")};
  EXPECT_EQ(f.Load({u"   ", u"x"}), (std::vector<RuleEntry>{MakeRuleEntry(u"   ", u"x")})) << "blanks are a pattern";
  // An empty replace pattern keeps its place in the written layout, the last empty line gone or not.
  EXPECT_EQ(f.Load({u"#ARTIST *", u"", u"", u"#GENRE *", u"#GENRE rock"}),
            (std::vector<RuleEntry>{MakeRuleEntry(u"#ARTIST *", u""), MakeRuleEntry(u"#GENRE *", u"#GENRE rock")}));
  // Pairs that are no rules are named, by line and why, in one warning; the others are taken.
  EXPECT_EQ(f.Load({u"#WAV?? *.wav", u"#WAV?? *.ogg", u"*", u"", u"**", u"#BMP?? *.bmp", u"#BMP?? *.png", u"#TITLE *"}), want);
  ASSERT_EQ(f.messages.messages.size(), 1u);
  const RecordedMessage& m = f.messages.messages[0];
  EXPECT_EQ(std::make_tuple(m.text, m.title, m.icon),
            std::make_tuple((f.t / u"rules.rul") + u" の次のルールは使えないため、読み込みませんでした。\r\n"
                            u"　3 行目「* → **」: 置換後の方がワイルドカードの数が多いか、置換後のパタンを一意に解釈できません\r\n"
                            u"　8 行目「#TITLE *」: 置換パタンがありません",
                            u"ルールファイル", MsgIcon::Exclamation));
}

TEST(RuleFile, SaveThenLoadGivesTheSameListOrSaysWhichRuleItCannotKeep) {
  RuleFolder f;
  std::vector<RuleEntry> back = {MakeRuleEntry(u"kept", u"kept")};
  EXPECT_TRUE(f.Load(back));  // no file yet: nothing, quietly
  const std::vector<RuleEntry> list = {MakeRuleEntry(u"kept", u"kept"), MakeRuleEntry(u"#WAV?? *.wav", u"#WAV?? *.ogg"),
                                       MakeRuleEntry(u"#ARTIST *", u""), MakeRuleEntry(u"#TITLE a → b", u"#TITLE c → d"),
                                       MakeRuleEntry(u"#TITLE 曲*", u"#TITLE ｿﾝｸﾞ*"),
                                       MakeRuleEntry(u"#WAV?? *.wav", u"#WAV?? *.ogg")};  // twice stays twice
  ASSERT_TRUE(f.Save(std::vector<RuleEntry>(list.begin() + 1, list.end())));
  const std::string saved = f.t.Read(u"Quarrow.rul");
  EXPECT_EQ(saved.substr(0, 45), "#WAV?? *.wav\r\n#WAV?? *.ogg\r\n\r\n#ARTIST *\r\n\r\n\r\n");
  EXPECT_TRUE(f.Load(back));
  EXPECT_EQ(back, list) << "loading appends";
  // A rule that would not come back as it is keeps the file as it was, and is named.
  for (const RuleEntry& lost : {MakeRuleEntry(u"#TITLE \xD800", u"#TITLE *"), MakeRuleEntry(u"#TITLE *", u"#TITLE *\xDBFF")}) {
    EXPECT_FALSE(f.Save({MakeRuleEntry(u"a", u"b"), lost}));
    EXPECT_NE(f.messages.messages.back().text.find(u"を保存できないため、ルールファイルを書き換えませんでした。\r\n" + lost.Text),
              std::u16string::npos);
  }
  EXPECT_EQ(f.t.Read(u"Quarrow.rul"), saved);
  // A pattern outside CP932 makes the file UTF-8 with a byte-order mark instead of losing it.
  const std::vector<RuleEntry> wide = {MakeRuleEntry(u"#TITLE 한*", u"#TITLE *")};
  ASSERT_TRUE(f.Save(wide));
  std::vector<RuleEntry> again;
  f.Load(again);
  EXPECT_EQ(again, wide);
  ASSERT_TRUE(f.Save({}));
  EXPECT_EQ(std::make_tuple(f.t.Read(u"Quarrow.rul"), f.messages.messages.size()), std::make_tuple("", std::size_t{2}));
  f.messages.messages.clear();

  ASSERT_TRUE(platform::RemoveFile(f.t / u"Quarrow.rul"));
  f.t.MakeFolder(u"Quarrow.rul");  // cannot be read or written as a file
  EXPECT_FALSE(f.Load(again));
  EXPECT_FALSE(f.Save({MakeRuleEntry(u"a", u"b")}));
  ASSERT_EQ(f.messages.messages.size(), 2u);
  const RecordedMessage& m = f.messages.messages[1];
  const std::u16string failed = (f.t / u"Quarrow.rul") + u" のオープンに失敗しました。";
  EXPECT_EQ(std::make_tuple(f.messages.messages[0].text, m.text, m.title, m.icon),
            std::make_tuple(failed + u"\r\nフォルダです", failed, u"ファイルオープンエラー", MsgIcon::Critical));
}
