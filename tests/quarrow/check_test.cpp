#include "quarrow/Check.h"

#include <map>
#include <regex>
#include <sstream>

#include "quarrow/Cli.h"
#include "quarrow/RuleFile.h"
#include "tests/support/Recorders.h"
#include "tests/support/TempDir.h"
#include "toolkit/files/Paths.h"

using namespace quarrow;

namespace {

RunOptions Options(const std::u16string& target, const std::u16string& material = u"") {
  RunOptions options;
  std::tie(options.TargetText, options.MaterialText, options.ExactPaths, options.RecursiveOn) =
      std::make_tuple(target, material, true, true);
  return options;
}

// The check of a tree, nobody watching.
CheckReport Check(const RunOptions& options) {
  ScriptedUser user;
  return CheckReferences(user.Context(), options);
}

std::pair<int, std::string> Cli(const std::vector<std::u16string>& args) {
  ::testing::internal::CaptureStdout();
  const int status = CliMain(args);
  return {status, ::testing::internal::GetCapturedStdout()};
}

// The names a chart's file lines give, read here on their own, in the chart's encoding.
std::vector<std::u16string> NamedFiles(std::string bytes) {
  const text::ChartEncoding encoding = text::ChartEncodingOf(bytes);
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  const std::regex file_line("#(?:(?:wav|bmp)[0-9a-z]{2}|stagefile|banner|backbmp|midifile)[ \t]+(.*[^ \t])[ \t]*",
                             std::regex::icase);
  std::vector<std::u16string> names;
  std::istringstream in(text::ToUtf8(text::DecodeChartText(bytes, encoding)));
  std::smatch m;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (std::regex_match(line, m, file_line)) names.push_back(text::DecodeUtf8(m[1].str()));
  }
  return names;
}

}  // namespace

// Real charts (Shift-JIS with Japanese names, UTF-8 with its mark, #BANNER and #BACKBMP, lower-case
// #wav lines) with every named file made, then one removed, one renamed in case, one converted.
TEST(CheckReferences, RealChartsWithFilesRemovedRenamedInCaseAndConverted) {
  const std::u16string corpus = text::DecodeUtf8(TEST_CORPUS_DIR);
  if (!platform::FolderExists(corpus)) GTEST_SKIP() << "no corpus of real charts beside this checkout";
  const std::vector<std::u16string> charts = {
      u"rhythmus-emulator__rparser/allnightmokugyo.bms", u"MikuroXina__bms-rs/J219_7key.bms",
      u"SNURhythm__bms-parser-cpp/aleph0_another.bme", u"lifthrasiir__angolmois/invisible.bms"};
  TempDir t;
  std::map<std::u16string, std::pair<RefState, std::u16string>> want;  // by folder + "|" + name
  std::vector<std::u16string> removed;
  std::size_t lines = 0;
  for (std::size_t i = 0; i < charts.size(); ++i) {
    const std::u16string folder = t.MakeFolder(std::u16string(1, char16_t(u'0' + i)));
    const std::string bytes = ReadBytes(platform::JoinPath(corpus, Sep(charts[i])));
    platform::WriteWholeFile(platform::JoinPath(folder, platform::LastName(charts[i])), bytes);
    std::vector<std::u16string> names = NamedFiles(bytes);
    lines += names.size();
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    ASSERT_GE(names.size(), 3u) << U8(charts[i]);
    const std::u16string key = platform::LastName(folder) + u"|";
    for (const auto& name : names) want[key + name] = {RefState::Found, u""};
    for (std::size_t n = 3; n < names.size(); ++n) Touch(platform::JoinPath(folder, names[n]));
    removed.push_back(platform::JoinPath(folder, names[0]));
    want[key + names[0]] = {RefState::Missing, u""};
    // Stored in Shift-JIS bytes where names are bytes: found by the chart's own bytes.
    std::u16string upper = names[1];
    for (char16_t& c : upper) c = c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
    Touch(platform::JoinPath(folder, ShiftJisName(upper)));
    want[key + names[1]] = {RefState::OtherCase, upper};
    const std::u16string ext = FolderIndex::Folded(names[2].substr(names[2].rfind(u'.') + 1));
    const std::u16string converted = names[2].substr(0, names[2].rfind(u'.') + 1) +
                                     (ext == u"wav" ? u"ogg" : ext == u"ogg" ? u"wav" : ext == u"jpg" ? u"png" : u"jpg");
    Touch(platform::JoinPath(folder, converted));
    want[key + names[2]] = {RefState::OtherExtension, converted};
    Touch(platform::JoinPath(folder, u"extra.ogg"));
  }
  const CheckReport before = Check(Options(t.Path()));
  std::size_t seen = 0;
  for (const ChartReport& chart : before.Charts) {
    const std::u16string key = platform::LastName(platform::ParentFolder(chart.Path)) + u"|";
    for (const Reference& ref : chart.References) {
      ++seen;
      EXPECT_EQ(std::make_pair(ref.State, ref.Stored), want.at(key + ref.Ref.Name)) << U8(ref.Text);
    }
  }
  EXPECT_EQ(seen, lines);
  ASSERT_EQ(before.Folders.size(), 4u);
  for (const FolderReport& folder : before.Folders) EXPECT_EQ(folder.Unreferenced, std::vector<std::u16string>{u"extra.ogg"});

  // The rule file of the case fixes, run by Quarrow, respells them all; the missing files decide
  // the exit status.
  const std::u16string rules = t / u"fix.rul";
  EXPECT_EQ(Cli({u"--check", u"--recursive", u"--write-rules", rules, t.Path()}).first, 2);
  EXPECT_EQ(Cli({u"--no-text-mode", u"--no-backup", u"--recursive", u"--rules", rules, t.Path()}).first, 0);
  for (const std::u16string& path : removed) Touch(path);
  const auto [status, out] = Cli({u"--check", u"--recursive", t.Path()});
  EXPECT_EQ(status, 0) << out;
  const std::string counts = "大文字・小文字違い 0 / 拡張子違い " + std::to_string(before.Counts.OtherExtension);
  EXPECT_NE(out.find(counts + " / なし 0　未使用ファイル = 4\n"), std::string::npos) << out;
  // Bad arguments: no --check, rules with it, Quarrow's own rule file.
  for (const std::vector<std::u16string>& bad :
       {std::vector<std::u16string>{u"--write-rules", rules, t.Path()}, {u"--check", u"--rule", u"a", u"b", t.Path()},
        {u"--check", u"--write-rules", RuleFilePath(paths::ProgramFolder(), u"Quarrow"), t.Path()}}) {
    EXPECT_EQ(Cli(bad).first, 1) << U8(bad[1]);
  }
}

// "<set>" names under the material base folder, names in folders, names in UTF-8 and Shift-JIS
// charts, each spelled back in its chart's own text.
TEST(CheckReferences, SoundSetsThroughTheMaterialBaseAndNamesInEitherEncoding) {
  TempDir t, m;
  m.MakeFolder(u"drum");
  for (const char16_t* name : {u"drum/kick.wav", u"drum/snare.ogg"}) m.Write(name, "");
  const std::u16string lines =
      u"#WAV01 <DRUM>kick.wav\r\n#WAV02 <drum>snare.wav\r\n#WAV03 ドラム.WAV\r\n#wav04\tsnd/Tom.wav \r\n#BMP01 <drum>x.bmp\r\n"
      u"#WAV05 ドラム.wav\r\n#BMP02 clip.bmp\r\n";
  for (const std::u16string folder : {u"u/", u"s/"}) {
    t.MakeFolder(folder);
    t.Write(folder + u"a.bms", folder == u"u/" ? "\xEF\xBB\xBF" + text::ToUtf8(lines) : text::ToCp932(lines));
    t.Write(folder + (folder == u"u/" ? u"ドラム.wav" : ShiftJisName(u"ドラム.wav")), "");
    t.MakeFolder(folder + u"snd");
    t.Write(folder + u"snd/tom.wav", "");
    t.Write(folder + u"clip.mp4", "");
  }
  using States = std::vector<std::pair<RefState, std::u16string>>;
  const States with_base = {{RefState::OtherCase, u"<drum>kick.wav"}, {RefState::OtherExtension, u"<drum>snare.ogg"},
                            {RefState::OtherCase, u"ドラム.wav"}, {RefState::OtherCase, u"snd/tom.wav"},
                            {RefState::Missing, u""}, {RefState::Found, u""}, {RefState::OtherExtension, u"clip.mp4"}};
  States without_base = with_base;
  without_base[0] = without_base[1] = {RefState::Missing, u""};
  for (const auto& [material, want] : {std::pair{m.Path(), with_base}, std::pair{std::u16string(), without_base}}) {
    const CheckReport report = Check(Options(t.Path(), material));
    for (const ChartReport& chart : report.Charts) {
      States got;
      for (const Reference& ref : chart.References) got.emplace_back(ref.State, ref.Stored);
      EXPECT_EQ(got, want) << U8(chart.Path) << " " << U8(material);
    }
  }
  EXPECT_EQ(Check(Options(t.Path(), t / u"none")).Outcome, RunOutcome::Warned);
}

TEST(ParseRefLine, TheCommandABlankAndTheNameUpToItsLastNonBlank) {
  // line, kind, name, length of the set part
  const std::vector<std::tuple<std::u16string, RefKind, std::u16string, std::size_t>> named = {
      {u"#WAV01 kick.wav", RefKind::Sound, u"kick.wav", 0},
      {u"#wav0z\t\tsnd\\kick.wav \t", RefKind::Sound, u"snd\\kick.wav", 0},
      {u"#BMP01 <set>back.bmp", RefKind::Image, u"<set>back.bmp", 5},
      {u"#BMP02 x<y>.bmp", RefKind::Image, u"x<y>.bmp", 0},
      {u"#STAGEFILE <a>.bmp", RefKind::Picture, u"<a>.bmp", 0},  // a sound set only after an index
      {u"#banner b c.png", RefKind::Picture, u"b c.png", 0},
      {u"#BACKBMP b.png", RefKind::Picture, u"b.png", 0},
      {u"#MIDIFILE m.mid", RefKind::Other, u"m.mid", 0},
  };
  for (const auto& [line, kind, name, set] : named) {
    const std::optional<RefLine> ref = ParseRefLine(line);
    ASSERT_TRUE(ref) << U8(line);
    EXPECT_EQ(std::make_tuple(ref->Kind, ref->Name, ref->SetSize, line.substr(ref->NameAt, name.size())),
              std::make_tuple(kind, name, set, name)) << U8(line);
  }
  for (const char16_t* none : {u"#WAV1S ", u"#BMP01", u"#WAVCMD 00 01 0A", u"#BGA01 01 0 0 10 10 0 0", u"#STAGEFILE ",
                               u"#WAV01kick.wav", u" #WAV01 a.wav", u"#WAV!1 a.wav", u"#BPM 120"}) {
    EXPECT_FALSE(ParseRefLine(none)) << U8(none);
  }
}

// A line becomes a rule once; lines no literal rule can serve are left out with why.
TEST(CaseFixRules, OneLiteralRuleALineAndTheLinesNoneCanServe) {
  TempDir t;
  for (const char16_t* folder : {u"a", u"b"}) t.MakeFolder(folder);
  t.Write(u"a/1.bms", "#WAV01 Kick.wav\r\n#WAV02 Hat.wav\r\n");
  t.Write(u"a/2.bms", "#WAV02 Hat.wav\r\n#WAV03 Hat.wav \t\r\n");  // blanks after a name go
  for (const char16_t* name : {u"a/kick.wav", u"a/hat.wav", u"b/KICK.wav"}) t.Write(name, "");
  t.Write(u"b/1.bms", "#WAV01 Kick.wav\r\n");  // the same line, another spelling
#ifndef _WIN32
  t.Write(u"b/2.bms", "#WAV09 A?.wav\r\n#WAV08 K\xFFick.wav\r\n");  // and a byte that is no text
  t.Write(u"b/a?.wav", "");
  t.Write(text::DecodeNativeName("b/k\xFFick.wav"), "");
#endif
  const CaseRules rules = CaseFixRules(Check(Options(t.Path())));
  EXPECT_EQ(rules.Rules, (std::vector<RuleEntry>{MakeRuleEntry(u"#WAV02 Hat.wav", u"#WAV02 hat.wav"),
                                                  MakeRuleEntry(u"#WAV03 Hat.wav \t", u"#WAV03 hat.wav")}));
  std::vector<std::pair<std::u16string, std::u16string>> left;
  for (const LeftOutLine& line : rules.LeftOut) left.emplace_back(line.Text, line.Reason.substr(0, 4));
  std::sort(left.begin(), left.end());
  std::vector<std::pair<std::u16string, std::u16string>> want = {{u"#WAV01 Kick.wav", u"同じ行が"},
                                                                   {u"#WAV01 Kick.wav", u"同じ行が"}};
#ifndef _WIN32
  want.emplace_back(u"#WAV08 K\xDCFFick.wav", u"置換パタ");
  want.emplace_back(u"#WAV09 A?.wav", u"「*」か");
#endif
  EXPECT_EQ(left, want);
}
