#include "toolkit/settings/Settings.h"

#include <sys/stat.h>

#include <optional>

#include "tests/support/TempDir.h"
#include "toolkit/text/ChartText.h"

using namespace settings;

namespace {

// A table shaped like the programs' own.
SettingsTable Defaults() {
  SettingsTable t;
  t.Sections = {
      {kSectionSystem, {NumberKey(u"Window Top", 50), NumberKey(u"Window Left", 50), TextKey(u"ターゲットフォルダ", u"")}},
      {kSectionFilter, {CheckKey(u"絞り込み", 0), TextKey(u"絞り込み文字列", u""), CheckKey(u"除外", 0),
                        TextKey(u"除外文字列", u"")}},
      {kSectionProcess, {CheckKey(u"再帰処理", 0), TextKey(u"比較ファイル拡張子", u"bmp"),
                         NumberKey(u"モード", 1, Clamp::Both, 0, 2)}},
  };
  return t;
}

std::string File(const std::vector<std::u16string>& lines, bool utf8 = false) {
  std::string out = utf8 ? "\xEF\xBB\xBF" : "";
  for (const auto& line : lines) text::AppendLine(out, utf8 ? text::ToUtf8(line) : text::ToCp932(line));
  return out;
}

}  // namespace

// A character without a CP932 code makes the file UTF-8 with a byte-order mark: nothing is lost.
TEST(Settings, WriterProducesTheExactFileAndKeepsPathsOutsideTheCodePage) {
  for (const std::u16string folder : {u"/home/user/曲 ｱ=x ", u"/music/café/한글"}) {
    SettingsTable t = Defaults();
    t.Set(kSectionSystem, u"Window Top", SettingValue::OfSingle(1234.5f));
    t.Set(kSectionSystem, u"Window Left", SettingValue::OfSingle(-600));
    t.Set(kSectionSystem, u"ターゲットフォルダ", SettingValue::OfText(folder));
    t.Set(kSectionFilter, u"絞り込み文字列", SettingValue::OfText(u"*.bms;*.bme"));
    t.Set(kSectionFilter, u"除外", SettingValue::OfNumber(1));
    t.Set(kSectionProcess, u"モード", SettingValue::OfNumber(2));
    const std::string text = WriteSettingsText(t, u"Tobrenz");
    EXPECT_EQ(text, File({u"問題が起きたらこのファイルを削除してください。", u"「Tobrenz」を起動後、何もせずにEscキーを使わずに",
                          u"終了するとデフォルトの設定ファイルが生成されます。", u"", u"[システム]", u"Window Top=1234.5",
                          u"Window Left=-600", u"ターゲットフォルダ=" + folder, u"", u"[絞り込み]", u"絞り込み=0",
                          u"絞り込み文字列=*.bms;*.bme", u"除外=1", u"除外文字列=", u"", u"[処理方法]", u"再帰処理=0",
                          u"比較ファイル拡張子=bmp", u"モード=2", u""},
                         folder.find(u'한') != std::u16string::npos))
        << U8(folder);
  }
}

TEST(Settings, ReaderRules) {
  // The value as text afterwards, of Window Top unless another key is given with its section.
  struct Case {
    const char* what;
    std::vector<std::u16string> lines;
    std::u16string want, key = u"Window Top", section = kSectionSystem;
  };
  const std::u16string ext = u"比較ファイル拡張子", pro = kSectionProcess, re = u"再帰処理", mode = u"モード";
  const std::u16string S = u"[システム]", F = u"[絞り込み]", P = u"[処理方法]", T = u"Window Top";
  const std::vector<Case> cases = {
      {"key names ignore letter case", {S, u"window top=120"}, u"120"},
      {"a blank before = belongs to the name", {S, T + u" =120"}, u"50"},
      {"leading blanks are removed", {u"   " + S, u"   " + T + u"=120"}, u"120"},
      {"blanks inside brackets", {u"[ システム ]", T + u"=120"}, u"50"},
      {"header with |", {u"[システム|abc]", T + u"=120"}, u"120"},
      {"a header with a trailing blank is no header", {F, S + u" ", u"除外=1", T + u"=120"}, u"1", u"除外", kSectionFilter},
      {"comments", {S, u"'" + T + u"=10", u"", u"Window Left=7"}, u"50"},
      {"a bad value keeps the earlier line's", {S, T + u"=7", T + u"=x"}, u"7"},
      {"check box 2 reads 1", {P, re + u"=2"}, u"1", re, pro}, {"check box -5 reads 0", {P, re + u"=-5"}, u"0", re, pro},
      {"text after the first =", {P, ext + u"=a=b "}, u"a=b ", ext, pro},
      {"text may be empty", {P, ext + u"="}, u"", ext, pro},
      {"keys before the first header", {T + u"=1", S}, u"50"}, {"unknown section", {S, u"[other]", T + u"=1"}, u"50"},
      {"the last appearance of a section wins", {P, mode + u"=2", S, P, mode + u"=0"}, u"0", mode, pro},
      {"each appearance is clamped", {P, mode + u"=9", S}, u"2", mode, pro},
  };
  for (const auto& c : cases) {
    SettingsTable t = Defaults();
    ReadSettingsText(t, File(c.lines));
    EXPECT_EQ(t.Text(c.section, c.key), c.want) << c.what;
  }
}

TEST(Settings, ParseWholeNumber) {
  // Halves go to even (2.5, -2.5, 13.5); numbers only in plain decimal notation.
  for (const auto& [text, want] : std::vector<std::pair<std::u16string, std::optional<int>>>{
           {u"0", 0}, {u" -15 ", -15}, {u"2.5", 2}, {u"-2.5", -2}, {u"13.5", 14}, {u"1e3", 1000}, {u"2147483647", 2147483647},
           {u"2147483648", {}}, {u"", {}}, {u"0x10", {}}, {u"inf", {}}, {u"1 2", {}}, {u".", {}}, {u"１", {}}, {u"abc", {}}}) {
    std::int32_t v = 0;
    EXPECT_EQ(ParseWholeNumber(text, v) ? std::optional<int>(v) : std::nullopt, want) << U8(text);
  }
}

TEST(Settings, LoadAndSaveBesideTheExecutableAndSayWhatCannotBeOpened) {
  std::u16string why, why_saved;
  const std::u16string name = u"Program.ini";
  // What is there but cannot be read is said, with why, and the defaults stay; nothing hangs on a pipe.
  const std::u16string reasons[] = {u"フォルダです", u"ファイルが大きすぎます", u"通常のファイルではありません"};
  for (int kind = 0; kind < 3; ++kind) {
    TempDir b;
    SettingsFile bad(b.Path(), u"Program");
    kind == 0 ? (void)b.MakeFolder(name) : kind == 1 ? Touch(b / name, std::string((16 << 20) + 1, ' ')) : (void)0;
#ifdef _WIN32
    if (kind == 2) break;  // no pipes among files
#else
    if (kind == 2) { ASSERT_EQ(mkfifo(U8(b / name).c_str(), 0600), 0); }
#endif
    why.clear(), why_saved.clear();
    EXPECT_TRUE(!bad.Load(Defaults(), why) && bad.Table().Number(kSectionSystem, u"Window Top") == 50);
    EXPECT_EQ(bad.Save(nullptr, why_saved), kind == 1) << "only a file is written";
    EXPECT_EQ(std::make_pair(why, why_saved),
              std::make_pair((b / name) + u" のオープンに失敗しました。\r\n" + reasons[kind],
                             kind == 1 ? std::u16string() : name + u" のオープンに失敗しました。"));
  }
}
