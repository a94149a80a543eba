#include "tests/fennick/FennickTest.h"
#include "toolkit/mdlTools.h"

using namespace fennick;
using namespace fennick_test;

namespace {

struct LineCase {
  int mode;
  std::u16string before, after;  // `after` equals `before` when the line is to stay as it is
};

// The sound set "drums" that every case is converted against.
class ConvertLine : public FennickTest {
 protected:
  ConvertLine() {
    for (const char16_t* name : {u"drums/sub", u"drums/hat.wav"}) t.MakeFolder(name);
    for (const char16_t* name : {u"kick.wav", u"x.bmp", u"nare.wav", u"sub/pic.bmp", u"ピアノ.wav"})
      t.Write(u"drums/" + std::u16string(name), "");
#ifdef _WIN32
    t.Write(u"drums/ドラム.wav", "");  // names are text on Windows, whatever a chart's encoding
#else
    // Names Windows cannot hold: a trailing blank, angle brackets; and a name stored as the chart's
    // own Shift-JIS bytes, as an unpacked Japanese archive leaves it (ピアノ.wav is stored in UTF-8).
    for (const char16_t* name : {u"tom.wav ", u"b<c>d.wav", u"a>b<c.wav"}) t.Write(u"drums/" + std::u16string(name), "");
    t.Write(u"drums/" + platform::DecodeUtf8(platform::ToCp932(u"ドラム.wav")), "");
#endif
  }
  const std::u16string set = t.MakeFolder(u"drums");
};

}  // namespace

// Each line alone; then a folder's conversion, which looks the files up in one listing of the sound
// set and tags with the set folder's name, must decide every line as the lookup of the line alone
// does. (How lines are split, kept and ended is mdlChartFile's, tested there.)
TEST_F(ConvertLine, ModesAndSplits) {
  // Every case: the mode, the line, and what it becomes (the line itself when it is to stay as it is).
  std::vector<LineCase> cases = {
      // Commands: ASCII letters in any case, at the very start of the line, #WAV and #BMP only.
      {kModeNormal, u"#wav01 kick.wav", u"#wav01 <drums>kick.wav"}, {kModeNormal, u"#Bmp01 x.bmp", u"#Bmp01 <drums>x.bmp"},
      {kModeNormal, u" #WAV01 kick.wav", u" #WAV01 kick.wav"}, {kModeNormal, u"#STAGEFILE kick.wav", u"#STAGEFILE kick.wav"},
      // Nothing to name: left alone in every mode.
      {kModeNormal, u"#WA", u"#WA"}, {kModeNormal, u"#WAV01", u"#WAV01"}, {kModeClear, u"#WAV", u"#WAV"},
      // The separator is taken unexamined; every blank after it stays in the head.
      {kModeNormal, u"#WAV01\t\tkick.wav", u"#WAV01\t\t<drums>kick.wav"}, {kModeNormal, u"#WAV01kick.wav", u"#WAV01kick.wav"},
      {kModeNormal, u"#WAV01snare.wav", u"#WAV01s<drums>nare.wav"}, {kModeNormal, u"#WAV1 snare.wav", u"#WAV1 s<drums>nare.wav"},
      // The file part is used as it stands, trailing blanks included.
      {kModeNormal, u"#WAV01 kick.wav ", u"#WAV01 kick.wav "},
      // Brackets: a set tag only when its "<" at or after the separator comes before the first ">".
      {kModeClear, u"#WAV01 <a>b<c>d.wav", u"#WAV01 b<c>d.wav"}, {kModeClear, u"#WAV01 <kick.wav", u"#WAV01 <kick.wav"},
      {kModeClear, u"#WAV01 x>y <old>kick.wav", u"#WAV01 x>y <old>kick.wav"},
      {kModeRedefine, u"#WAV01<old>kick.wav", u"#WAV01<drums>kick.wav"},
      {kModeRedefine, u"#WAV01 x <old>kick.wav", u"#WAV01 x <drums>kick.wav"},
      // A tag that differs only in ASCII letter case counts as the same.
      {kModeRedefine, u"#WAV01 <DRUMS>kick.wav", u"#WAV01 <DRUMS>kick.wav"},
      // The existence test: letter case as the Windows file system ignores it, "\" as a folder
      // separator, folders are no files, names stored as Shift-JIS bytes.
      {kModeNormal, u"#WAV01 Kick.WAV", u"#WAV01 <drums>Kick.WAV"}, {kModeNormal, u"#WAV01 hat.wav", u"#WAV01 hat.wav"},
      {kModeNormal, u"#BMP01 sub\\pic.bmp", u"#BMP01 <drums>sub\\pic.bmp"},
      {kModeNormal, u"#WAV01 ドラム.wav", u"#WAV01 <drums>ドラム.wav"}, {kModeNormal, u"#WAV01 ピアノ.wav", u"#WAV01 <drums>ピアノ.wav"},
      // A UTF-8 chart, its bytes read as Shift-JIS, naming the UTF-8 file.
      {kModeNormal, platform::DecodeCp932(platform::ToUtf8(u"#WAV01 ピアノ.wav")),
       platform::DecodeCp932(platform::ToUtf8(u"#WAV01 <drums>ピアノ.wav"))},
#ifndef _WIN32  // names of the set Windows cannot hold
      {kModeNormal, u"#WAV01 tom.wav ", u"#WAV01 <drums>tom.wav "}, {kModeNormal, u"#WAV01 a>b<c.wav", u"#WAV01 <drums>a>b<c.wav"},
      {kModeRedefine, u"#WAV01 <a>b<c>d.wav", u"#WAV01 <drums>b<c>d.wav"},
#endif
  };
  // Every mode against a line with a set tag or none, naming a file of the set or not: the line,
  // then what the normal, redefine and clear modes make of it.
  const char16_t* const modes[][4] = {
      {u"#WAV01 kick.wav", u"#WAV01 <drums>kick.wav", u"#WAV01 <drums>kick.wav", u"#WAV01 kick.wav"},
      {u"#WAV01 snare.wav", u"#WAV01 snare.wav", u"#WAV01 snare.wav", u"#WAV01 snare.wav"},
      {u"#WAV01 <old>kick.wav", u"#WAV01 <old>kick.wav", u"#WAV01 <drums>kick.wav", u"#WAV01 kick.wav"},
      {u"#WAV01 <old>snare.wav", u"#WAV01 <old>snare.wav", u"#WAV01 snare.wav", u"#WAV01 snare.wav"},
  };
  for (const auto& row : modes)
    for (const int mode : {kModeNormal, kModeRedefine, kModeClear}) cases.push_back({mode, row[0], row[1 + mode]});
  std::string before[3], after[3];  // per mode, the lines as a chart
  for (const LineCase& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode) + ": \"" + U8(c.before) + "\"");
    state.ConvertMode = c.mode;
    std::u16string line = c.before;
    EXPECT_EQ(ConvertMaterialLine(state, set, u"<drums>", line), c.after != c.before);
    EXPECT_EQ(line, c.after);
    platform::AppendLine(before[c.mode], platform::ToCp932(c.before));
    platform::AppendLine(after[c.mode], platform::ToCp932(c.after));
  }
  EXPECT_TRUE(state.Failures.empty());
  state.BackupOn = false;
  for (const int mode : {kModeNormal, kModeRedefine, kModeClear}) {
    const std::u16string charts = t.MakeFolder(u"charts" + mdlTools::Decimal(mode));
    platform::WriteWholeFile(charts + u"/all.bms", before[mode]);
    state.ConvertMode = mode;
    ASSERT_TRUE(Convert(set, charts));
    EXPECT_EQ(ReadBytes(charts + u"/all.bms"), after[mode]) << "mode " << mode;
  }
}

// Whole charts, converted against the same set.
class ConvertChart : public ConvertLine {
 protected:
  std::u16string Chart(const std::u16string& name) const { return platform::JoinPath(charts, name); }
  std::u16string charts = t.MakeFolder(u"charts");
};

// A set name Shift-JIS cannot write fails the chart, which stays as it was. Then, against a set that
// can be named: lines of other commands, and bytes that are no text, pass through; the backup is
// Fennick's own ".cbk"; a chart with nothing to convert is counted and not rewritten. (Other failures
// of a chart's rewrite are mdlChartFile's, tested there.)
TEST_F(ConvertChart, OnlyTheSetTagsChange) {
  const std::string before = platform::ToCp932(u"#TITLE 桜の雨\r\n#WAV02 ピアノ.wav\r\n") + "#GENRE \xff\x80\r\n#WAV03 none.wav";
  t.Write(u"charts/song.bms", before);
  t.Write(u"charts/same.bms", "#WAV01 none.wav\n#BMP01 <drums>kick.wav");
  t.Write(u"charts/lf.bms", "#WAV01 none.wav\n#WAV02 kick.wav\n");  // LF line ends: lines, kept LF
  const std::u16string korean = t.MakeFolder(u"드럼");
  t.Write(u"드럼/kick.wav", "");
  ASSERT_TRUE(Convert(korean, charts));
  ASSERT_EQ(state.Failures.size(), 1u);
  EXPECT_TRUE(state.Failures[0].Path == Chart(u"lf.bms") && state.Failures[0].Reason.find(u"Shift-JIS") != std::u16string::npos)
      << U8(state.Failures[0].Reason);
  EXPECT_EQ(std::make_tuple(state.ProcessedCount, Names(charts).size(), ReadBytes(Chart(u"lf.bms"))),
            std::make_tuple(0, std::size_t(3), std::string("#WAV01 none.wav\n#WAV02 kick.wav\n")));

  state.ProcessedCount = state.TargetCount = 0;
  ASSERT_TRUE(Convert(set, charts));
  EXPECT_EQ(ReadBytes(Chart(u"song.bms")),
            platform::ToCp932(u"#TITLE 桜の雨\r\n#WAV02 <drums>ピアノ.wav\r\n") + "#GENRE \xff\x80\r\n#WAV03 none.wav\r\n");
  EXPECT_EQ(ReadBytes(Chart(u"song.bms~1.cbk")), before);
  EXPECT_EQ(ReadBytes(Chart(u"lf.bms")), "#WAV01 none.wav\n#WAV02 <drums>kick.wav\n");
  EXPECT_EQ(Names(charts), (NameList{u"lf.bms", u"lf.bms~1.cbk", u"same.bms", u"song.bms", u"song.bms~1.cbk"}));
  EXPECT_EQ(std::make_pair(state.ProcessedCount, state.TargetCount), std::make_pair(2, 3));
}

// A chart that is a symbolic link is replaced by a file of its own; the file it points to, outside
// the chart folder, keeps its content and its permissions; a linked chart with nothing to convert
// stays the link it was.
#ifndef _WIN32  // links wine cannot make
TEST_F(ConvertChart, LinkedChartIsReplacedAndItsTargetNotTouched) {
  const auto outside = t.Write(u"outside.bms", "#WAV01 kick.wav\r\n");
  const auto unchanged = t.Write(u"unchanged.bms", "#WAV01 none.wav\r\n");
  for (const auto& file : {outside, unchanged}) ASSERT_TRUE(platform::SetAttributes(file, platform::kAttrReadOnly));
  Link(outside, Chart(u"song.bms"));
  Link(unchanged, Chart(u"same.bms"));
  ASSERT_TRUE(Convert(set, charts));
  EXPECT_EQ(ReadBytes(Chart(u"song.bms")) + ReadBytes(outside), "#WAV01 <drums>kick.wav\r\n#WAV01 kick.wav\r\n");
  EXPECT_EQ(platform::GetAttributes(Chart(u"same.bms")), platform::kAttrReadOnly) << "still the link";
  for (const auto& file : {outside, unchanged}) EXPECT_EQ(platform::GetAttributes(file), platform::kAttrReadOnly) << U8(file);
}
#endif
