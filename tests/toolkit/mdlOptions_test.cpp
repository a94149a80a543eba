#include "toolkit/mdlOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/Recorders.h"
#include "tests/support/TempDir.h"
#include "toolkit/mdlTools.h"
#include "toolkit/platform/fs.h"
#include "toolkit/platform/text.h"

using namespace mdlOptions;

namespace {

// A table shaped like the programs' own.
SettingsTable Defaults() {
  SettingsTable t;
  t.Sections = {
      {kSectionSystem, {NumberKey(u"Window Top", 50), NumberKey(u"Window Left", 50), TextKey(u"ターゲットフォルダ", u"")}},
      {kSectionFilter, {CheckKey(u"絞り込み", 0), TextKey(u"絞り込み文字列", u""), CheckKey(u"除外", 0),
                        TextKey(u"除外文字列", u"")}},
      {kSectionProcess, {CheckKey(u"再帰処理", 0), TextKey(u"比較ファイル拡張子", u"bmp"),
                         NumberKey(u"モード", 1, kRangeBoth, 0, 2)}},
  };
  return t;
}

std::string File(const std::vector<std::u16string>& lines) {
  std::string out;
  for (const auto& line : lines) platform::AppendLine(out, platform::ToCp932(line));
  return out;
}

}  // namespace

TEST(Settings, WriterProducesTheExactFile) {
  SettingsTable t = Defaults();
  t.Set(kSectionSystem, u"Window Top", SettingValue::OfSingle(1234.5f));
  t.Set(kSectionSystem, u"Window Left", SettingValue::OfSingle(600));
  t.Set(kSectionFilter, u"絞り込み文字列", SettingValue::OfText(u"*.bms;*.bme"));
  const std::string want = File({
      u"問題が起きたらこのファイルを削除してください。",
      u"「Tobrenz」を起動後、何もせずにEscキーを使わずに",
      u"終了するとデフォルトの設定ファイルが生成されます。",
      u"",
      u"[システム]", u"Window Top=1234.5", u"Window Left=600", u"ターゲットフォルダ=", u"",
      u"[絞り込み]", u"絞り込み=0", u"絞り込み文字列=*.bms;*.bme", u"除外=0", u"除外文字列=", u"",
      u"[処理方法]", u"再帰処理=0", u"比較ファイル拡張子=bmp", u"モード=1", u"",
  });
  EXPECT_EQ(WriteSettingsText(t, u"Tobrenz"), want);
}

TEST(Settings, RoundTripKeepsEveryValueAndPathsOutsideTheCodePage) {
  SettingsTable t = Defaults();
  t.Set(kSectionSystem, u"Window Top", SettingValue::OfNumber(-120));
  t.Set(kSectionSystem, u"ターゲットフォルダ", SettingValue::OfText(u"/home/user/曲 ｱ=x "));
  t.Set(kSectionFilter, u"除外", SettingValue::OfNumber(1));
  t.Set(kSectionProcess, u"モード", SettingValue::OfNumber(2));
  SettingsTable back = Defaults();
  ReadSettingsText(back, WriteSettingsText(t, u"Quarrow"));
  EXPECT_EQ(back.Number(kSectionSystem, u"Window Top"), -120);
  EXPECT_EQ(back.Text(kSectionSystem, u"ターゲットフォルダ"), u"/home/user/曲 ｱ=x ");
  EXPECT_EQ(back.Number(kSectionFilter, u"除外"), 1);
  EXPECT_EQ(back.Number(kSectionProcess, u"モード"), 2);

  // A character without a CP932 code: the file becomes UTF-8 with a byte-order mark, nothing lost.
  t.Set(kSectionSystem, u"ターゲットフォルダ", SettingValue::OfText(u"/music/café/한글"));
  const std::string utf8 = WriteSettingsText(t, u"Quarrow");
  EXPECT_EQ(utf8.substr(0, 3), "\xEF\xBB\xBF");
  SettingsTable again = Defaults();
  ReadSettingsText(again, utf8);
  EXPECT_EQ(again.Text(kSectionSystem, u"ターゲットフォルダ"), u"/music/café/한글");
  EXPECT_EQ(again.Number(kSectionProcess, u"モード"), 2);
}

TEST(Settings, ReaderRules) {
  struct Case {
    const char* what;
    std::vector<std::u16string> lines;
    std::u16string section, key;
    std::u16string want;  // the value as text afterwards
  };
  const std::vector<Case> cases = {
      {"key names ignore letter case", {u"[システム]", u"window top=120"}, kSectionSystem, u"Window Top", u"120"},
      {"a blank before = belongs to the name", {u"[システム]", u"Window Top =120"}, kSectionSystem, u"Window Top", u"50"},
      {"leading blanks are removed", {u"   [システム]", u"   Window Top=120"}, kSectionSystem, u"Window Top", u"120"},
      {"blanks inside brackets", {u"[ システム ]", u"Window Top=120"}, kSectionSystem, u"Window Top", u"50"},
      {"header with |", {u"[システム|abc]", u"Window Top=120"}, kSectionSystem, u"Window Top", u"120"},
      {"a header with a trailing blank is no header",
       {u"[絞り込み]", u"[システム] ", u"除外=1", u"Window Top=120"}, kSectionFilter, u"除外", u"1"},
      {"...and its keys are looked up in the section before",
       {u"[絞り込み]", u"[システム] ", u"Window Top=120"}, kSectionSystem, u"Window Top", u"50"},
      {"comments", {u"[システム]", u"'Window Top=10", u"", u"Window Left=7"}, kSectionSystem, u"Window Top", u"50"},
      {"not a number", {u"[システム]", u"Window Top=abc"}, kSectionSystem, u"Window Top", u"50"},
      {"too large", {u"[システム]", u"Window Top=99999999999"}, kSectionSystem, u"Window Top", u"50"},
      {"a bad value keeps the earlier line's", {u"[システム]", u"Window Top=7", u"Window Top=x"}, kSectionSystem,
       u"Window Top", u"7"},
      {"halves to even, down", {u"[システム]", u"Window Top=12.5"}, kSectionSystem, u"Window Top", u"12"},
      {"halves to even, up", {u"[システム]", u"Window Top= 13.5 "}, kSectionSystem, u"Window Top", u"14"},
      {"check box 2 reads 1", {u"[処理方法]", u"再帰処理=2"}, kSectionProcess, u"再帰処理", u"1"},
      {"check box -5 reads 0", {u"[処理方法]", u"再帰処理=-5"}, kSectionProcess, u"再帰処理", u"0"},
      {"text after the first =", {u"[処理方法]", u"比較ファイル拡張子=a=b "}, kSectionProcess, u"比較ファイル拡張子",
       u"a=b "},
      {"text may be empty", {u"[処理方法]", u"比較ファイル拡張子="}, kSectionProcess, u"比較ファイル拡張子", u""},
      {"keys before the first header", {u"Window Top=1", u"[システム]"}, kSectionSystem, u"Window Top", u"50"},
      {"unknown section", {u"[other]", u"Window Top=1"}, kSectionSystem, u"Window Top", u"50"},
      {"the last appearance of a section wins",
       {u"[処理方法]", u"モード=2", u"[システム]", u"[処理方法]", u"モード=0"}, kSectionProcess, u"モード", u"0"},
      {"each appearance is clamped", {u"[処理方法]", u"モード=9"}, kSectionProcess, u"モード", u"2"},
      {"a lone LF ends a line, as a file edited on Linux has it", {u"[処理方法]", u"比較ファイル拡張子=a\nb"},
       kSectionProcess, u"比較ファイル拡張子", u"a"},
  };
  for (const auto& c : cases) {
    SettingsTable t = Defaults();
    ReadSettingsText(t, File(c.lines));
    EXPECT_EQ(t.Text(c.section, c.key), c.want) << c.what;
  }
}

TEST(Settings, ParseWholeNumber) {
  struct Case {
    std::u16string text;
    bool ok;
    int value;
  };
  const std::vector<Case> cases = {
      {u"0", true, 0},       {u" -15 ", true, -15},  {u"2.5", true, 2},      {u"-2.5", true, -2},
      {u"1e3", true, 1000},  {u"2147483647", true, 2147483647},              {u"2147483648", false, 0},
      {u"", false, 0},       {u"0x10", false, 0},    {u"inf", false, 0},     {u"1 2", false, 0},
      {u".", false, 0},      {u"１", false, 0},
  };
  for (const auto& c : cases) {
    std::int32_t v = 0;
    EXPECT_EQ(ParseWholeNumber(c.text, v), c.ok) << U8(c.text);
    if (c.ok) {
      EXPECT_EQ(v, c.value) << U8(c.text);
    }
  }
}

TEST(Settings, LoadAndSaveBesideTheExecutable) {
  TempDir t;
  RecordingMessages messages;
  mdlTools::SetAppFolder(t.Path());
  const std::u16string path = t / (platform::ExecutableName() + u".ini");

  LoadSettings(Defaults());  // no file: defaults, nothing said
  EXPECT_EQ(SettingsPath(), path);
  EXPECT_EQ(Table().Number(kSectionSystem, u"Window Top"), 50);
  EXPECT_TRUE(messages.messages.empty());

  EXPECT_TRUE(
      SaveSettings([](SettingsTable& table) { table.Set(kSectionSystem, u"Window Top", SettingValue::OfSingle(300)); }));
  LoadSettings(Defaults());
  EXPECT_EQ(Table().Number(kSectionSystem, u"Window Top"), 300);
  std::string bytes;
  ASSERT_TRUE(platform::ReadWholeFile(path, bytes));
  EXPECT_EQ(bytes.substr(0, 4), platform::ToCp932(u"問題"));
  EXPECT_NE(bytes.find("\r\nWindow Top=300\r\nWindow Left=50\r\n"), std::string::npos);
  mdlTools::SetAppFolder(u"");
}

TEST(Settings, FilesThatCannotBeOpenedAreReported) {
  TempDir t;
  RecordingMessages messages;
  mdlTools::SetAppFolder(t.Path());
  const std::u16string name = platform::ExecutableName() + u".ini";
  t.MakeFolder(name);  // a folder where the file should be: it can be neither read nor written

  LoadSettings(Defaults());
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0].text, (t / name) + u" のオープンに失敗しました。");
  EXPECT_EQ(messages.messages[0].title, u"ファイルオープンエラー");
  EXPECT_EQ(messages.messages[0].icon, MsgIcon::Critical);
  EXPECT_EQ(Table().Number(kSectionSystem, u"Window Top"), 50);

  EXPECT_FALSE(SaveSettings(nullptr));
  ASSERT_EQ(messages.messages.size(), 2u);
  EXPECT_EQ(messages.messages[1].text, name + u" のオープンに失敗しました。");
  EXPECT_EQ(messages.messages[1].icon, MsgIcon::Critical);
  mdlTools::SetAppFolder(u"");
}
