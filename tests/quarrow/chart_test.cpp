#include "quarrow/Commands.h"
#include "quarrow/Run.h"
#include "tests/support/Recorders.h"
#include "tests/support/TempDir.h"

using namespace quarrow;

namespace {

// A run state with the given rules, text mode and backups on; the file check as asked.
struct ChartRun {
  using Rules = std::vector<std::pair<std::u16string, std::u16string>>;
  explicit ChartRun(const Rules& rules, bool file_check = false) {
    std::tie(state.BackupOn, state.FileCheckOn, state.TextModeOn) = std::make_tuple(true, file_check, true);
    std::vector<RuleEntry> entries;
    for (const auto& [s, r] : rules) entries.push_back(MakeRuleEntry(s, r));
    BuildRules(state, entries);
  }
  // Writes a chart into the folder and runs the charts of the folder (not its subfolders) through
  // ProcessChart; gives what the chart holds afterwards.
  std::string Process(const std::u16string& name, const std::string& bytes) {
    t.Write(name, bytes);
    {
      platform::IoError error;
      const platform::Folder folder = OpenFolder(t.Path());
      std::vector<platform::DirEntry> listing;
      EXPECT_TRUE(folder.List(listing, error));
      run::ChartFolder charts(folder, u"mbk", state.BackupOn, false);
      std::u16string why;
      EXPECT_TRUE(charts.Begin(listing, why));
      state.Materials.Seed(folder, listing);
      ProcessChart(state, charts, t.Path(), name);
      state.Materials.Forget(t.Path());
    }
    return t.Read(name);
  }
  TempDir t;
  ScriptedUser user;
  RunContext context = user.Context();
  RunState state{context};
};

}  // namespace

// How a name is looked up (letter case, folders, Shift-JIS bytes) is StoredFiles' part, tested
// with the toolkit; here, which name a line gives and which folder it is looked up in.
TEST(CheckMaterialFile, TheChartFolderOrTheMaterialBaseAsTheFileSystemWouldFindIt) {
  TempDir f, m;
  for (const char16_t* name : {u"kick.ogg", u"title.bmp"}) f.Write(name, "");
#ifndef _WIN32
  f.Write(u"x<y>.bmp", "");  // a name Windows cannot hold
#endif
  m.MakeFolder(u"drum");
  m.Write(u"drum/kick.ogg", "");
  m.Write(u"back.bmp", "");
  // the line, its command, whether a material base is set, and whether the file is found
  const std::vector<std::tuple<std::u16string, int, bool, bool>> cases = {
      {u"#WAV01 kick.ogg", 1, true, true}, {u"#WAV01 missing.ogg", 1, true, false},
      {u"#WAV0A\t\t<DRUM>kick.ogg", 1, true, true}, {u"#BMP01 <>back.bmp", 2, true, true},
      {u"#WAV01kick.ogg", 1, true, true}, {u"#WAV1", 1, true, false},
      {u"#WAV01 <drum>kick.ogg", 1, false, false},  // a sound set but no material base folder
#ifndef _WIN32
      {u"#BMP02 x<y>.bmp", 2, true, true},
#endif
      {u"#STAGEFILE title.bmp", 3, true, true}, {u"#MIDIFILE\ttitle.bmp", 4, true, true},
      {u"#STAGEFILE <drum>kick.ogg", 3, true, false},  // no bracket part without an index
      {u"#WAV01 kick.ogg ", 1, true, false},          // trailing blanks stay part of the name
  };
  ScriptedUser user;
  const RunContext context = user.Context();
  for (const auto& [line, command, with_base, want] : cases) {
    RunState state(context);
    state.Params.MaterialBase = with_base ? m.Path() : u"";
    EXPECT_EQ(CheckMaterialFile(state, f.Path(), line, command), want) << U8(line);
  }
  // A material base that cannot be listed is no answer: each line is refused, the failure told once.
  RunState state(context);
  state.Params.MaterialBase = m / u"gone";
  for (int i = 0; i < 2; ++i) EXPECT_FALSE(CheckMaterialFile(state, f.Path(), u"#WAV01 <drum>kick.ogg", 1));
  ASSERT_EQ(state.Failures.size(), 1u);
  EXPECT_EQ(state.Failures[0].Reason.rfind(u"素材ファイルを確かめられません: ", 0), 0u);
}

TEST(ProcessChart, TheFirstMatchingRuleAppliesAndTheFileCheckCanRefuseIt) {
  ChartRun run({{u"#WAV01 *.wav", u"#WAV01 *.ogg"}, {u"#WAV?? *", u"#WAV?? x*"}, {u"#TITLE *", u"#TITLE *"}}, true);
  for (const auto& name : {std::u16string(u"kick.ogg"), ShiftJisName(u"ヂ.ogg")}) run.t.Write(name, "");
  // Text mode: "#wav" lines match. kick.ogg exists; snare.ogg does not, and the refused line tries
  // no later rule; xa is missing; ア.ogg is no ヂ.ogg (Shift-JIS second bytes 41 and 61).
  EXPECT_EQ(run.Process(u"a.bms", text::ToCp932(u"#wav01 kick.wav\r\n#wav01 snare.wav\r\n#WAV02 a\r\n#TITLE t\r\n"
                                                    u"#WAV01 ア.wav\r\n#WAV01 ヂ.WAV\r\n")),
            text::ToCp932(u"#WAV01 kick.ogg\r\n#wav01 snare.wav\r\n#WAV02 a\r\n#TITLE t\r\n#WAV01 ア.wav\r\n#WAV01 ヂ.ogg\r\n"));
  ChartRun same(ChartRun::Rules{{u"#TITLE *", u"#TITLE *"}});
  same.Process(u"a.bms", "#TITLE same\r\n");
  EXPECT_EQ(same.state.ProcessedCount, 1) << "a match that keeps the text still rewrites";
}

// A chart's new text is in the chart's own encoding: a UTF-8 chart (with or without its mark) gets
// UTF-8, a Shift-JIS chart Shift-JIS (which chart is which is ChartEncodingOf's part, tested with the
// toolkit). The mark is no part of line 1.
TEST(ProcessChart, NewTextIsWrittenInTheChartsOwnEncoding) {
  const std::string sjis_kyoku = "\x8B\xC8", sjis_new = " \x89\xFC\x92\xF9\x94\xC5";  // 曲, " 改訂版"
  const std::string utf8_new = " \xE6\x94\xB9\xE8\xA8\x82\xE7\x89\x88";
  const std::string bom = "\xEF\xBB\xBF";
  // before, after
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"#TITLE " + sjis_kyoku + "\r\n#WAV01 a.wav\r\n", "#TITLE " + sjis_kyoku + sjis_new + "\r\n#WAV01 a.wav\r\n"},
      {"#TITLE \xE6\x9B\xB2\n#ARTIST x\n", "#TITLE \xE6\x9B\xB2" + utf8_new + "\n#ARTIST x\n"},
      {bom + "#TITLE t\r\n", bom + "#TITLE t" + utf8_new + "\r\n"},  // ASCII after a mark is UTF-8
      {"#TITLE t\r\n", "#TITLE t" + sjis_new + "\r\n"},                // plain ASCII stays Shift-JIS
      {bom + "#TITLE \xFF\r\n", bom + "#TITLE \xFF" + utf8_new + "\r\n"},  // its own stray byte stays
  };
  for (const auto& [before, after] : cases) {
    ChartRun run(ChartRun::Rules{{u"#TITLE *", u"#TITLE * 改訂版"}});
    EXPECT_EQ(run.Process(u"a.bms", before), after) << before;
  }
  // Text the chart's encoding cannot hold fails that chart, which stays as it was.
  for (const auto& [chart, encoding] : {std::pair{std::string("#TITLE t\r\n"), u"Shift-JIS"},
                                       std::pair{bom + "#TITLE t\r\n", u"UTF-8"}}) {
    ChartRun run(ChartRun::Rules{{u"#TITLE *", std::u16string(u"#TITLE * ") + (encoding[0] == u'S' ? u"\u00E9" : u"\xDC83")}});
    EXPECT_EQ(run.Process(u"a.bms", chart), chart);
    ASSERT_EQ(run.state.Failures.size(), 1u);
    EXPECT_NE(run.state.Failures[0].Reason.find(std::u16string(u"書き換えた行に ") + encoding + u" で書けない文字があります"),
              std::u16string::npos) << U8(run.state.Failures[0].Reason);
  }
}
