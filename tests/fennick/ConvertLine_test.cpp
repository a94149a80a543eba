#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fennick/FennickTest.h"
#include "toolkit/mdlTools.h"

using namespace fennick;
using namespace fennick_test;

namespace {

struct LineCase {
  int mode;
  std::u16string before;
  std::u16string after;  // equal to `before` when the line is to stay as it is
};

// The sound set "drums" that every case is converted against.
class ConvertLine : public FennickTest {
 protected:
  ConvertLine() {
    set = t.MakeFolder(u"drums");
    for (const char16_t* name : {u"kick.wav", u"x.bmp", u"nare.wav"}) t.Write(u"drums/" + std::u16string(name), "");
#ifndef _WIN32  // names Windows cannot hold: a trailing blank, angle brackets
    for (const char16_t* name : {u"tom.wav ", u"b<c>d.wav", u"a>b<c.wav"}) t.Write(u"drums/" + std::u16string(name), "");
#endif
    t.MakeFolder(u"drums/sub");
    t.Write(u"drums/sub/pic.bmp", "");
    t.MakeFolder(u"drums/hat.wav");
#ifdef _WIN32
    t.Write(u"drums/ドラム.wav", "");  // names are text on Windows, whatever a chart's encoding
#else
    // A name stored as the chart's own Shift-JIS bytes, as an unpacked Japanese archive leaves it,
    // and one stored in UTF-8.
    t.Write(u"drums/" + platform::DecodeUtf8(platform::ToCp932(u"ドラム.wav")), "");
#endif
    t.Write(u"drums/ピアノ.wav", "");
  }
  std::u16string set;
};

// Every case: the mode, the line, and what it becomes (the line itself when it is to stay as it is).
const std::vector<LineCase>& Cases() {
  static const std::vector<LineCase> cases = [] {
    std::vector<LineCase> out = {
        // Commands: ASCII letters in any case, at the very start of the line, #WAV and #BMP only.
        {kModeNormal, u"#wav01 kick.wav", u"#wav01 <drums>kick.wav"},
        {kModeNormal, u"#Bmp01 x.bmp", u"#Bmp01 <drums>x.bmp"},
        {kModeNormal, u" #WAV01 kick.wav", u" #WAV01 kick.wav"},
        {kModeNormal, u"#STAGEFILE kick.wav", u"#STAGEFILE kick.wav"},
        // Nothing to name: left alone in every mode.
        {kModeNormal, u"#WA", u"#WA"}, {kModeNormal, u"#WAV01", u"#WAV01"}, {kModeClear, u"#WAV", u"#WAV"},
        // The separator is taken unexamined; every blank after it stays in the head.
        {kModeNormal, u"#WAV01\t\tkick.wav", u"#WAV01\t\t<drums>kick.wav"},
        {kModeNormal, u"#WAV01kick.wav", u"#WAV01kick.wav"},
        {kModeNormal, u"#WAV01snare.wav", u"#WAV01s<drums>nare.wav"},
        {kModeNormal, u"#WAV1 snare.wav", u"#WAV1 s<drums>nare.wav"},
        // The file part is used as it stands, trailing blanks included.
        {kModeNormal, u"#WAV01 kick.wav ", u"#WAV01 kick.wav "},
        // Brackets: a set tag only when its "<" at or after the separator comes before the first ">".
        {kModeClear, u"#WAV01 <a>b<c>d.wav", u"#WAV01 b<c>d.wav"},
        {kModeClear, u"#WAV01 x>y <old>kick.wav", u"#WAV01 x>y <old>kick.wav"},
        {kModeClear, u"#WAV01 <kick.wav", u"#WAV01 <kick.wav"},
        {kModeRedefine, u"#WAV01<old>kick.wav", u"#WAV01<drums>kick.wav"},
        {kModeRedefine, u"#WAV01 x <old>kick.wav", u"#WAV01 x <drums>kick.wav"},
        // A tag that differs only in ASCII letter case counts as the same.
        {kModeRedefine, u"#WAV01 <DRUMS>kick.wav", u"#WAV01 <DRUMS>kick.wav"},
        // The existence test: letter case as the Windows file system ignores it, "\" as a folder
        // separator, folders are no files, names stored as Shift-JIS bytes.
        {kModeNormal, u"#WAV01 Kick.WAV", u"#WAV01 <drums>Kick.WAV"},
        {kModeNormal, u"#BMP01 sub\\pic.bmp", u"#BMP01 <drums>sub\\pic.bmp"},
        {kModeNormal, u"#WAV01 hat.wav", u"#WAV01 hat.wav"},
        {kModeNormal, u"#WAV01 ドラム.wav", u"#WAV01 <drums>ドラム.wav"},
        {kModeNormal, u"#WAV01 ピアノ.wav", u"#WAV01 <drums>ピアノ.wav"},
        // A UTF-8 chart, its bytes read as Shift-JIS, naming the UTF-8 file.
        {kModeNormal, platform::DecodeCp932(platform::ToUtf8(u"#WAV01 ピアノ.wav")),
         platform::DecodeCp932(platform::ToUtf8(u"#WAV01 <drums>ピアノ.wav"))},
#ifndef _WIN32  // names of the set Windows cannot hold
        {kModeNormal, u"#WAV01 tom.wav ", u"#WAV01 <drums>tom.wav "},
        {kModeRedefine, u"#WAV01 <a>b<c>d.wav", u"#WAV01 <drums>b<c>d.wav"},
        {kModeNormal, u"#WAV01 a>b<c.wav", u"#WAV01 <drums>a>b<c.wav"},
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
    for (const auto& row : modes) {
      for (const int mode : {kModeNormal, kModeRedefine, kModeClear}) out.push_back({mode, row[0], row[1 + mode]});
    }
    return out;
  }();
  return cases;
}

}  // namespace

TEST_F(ConvertLine, ModesAndSplits) {
  for (const LineCase& c : Cases()) {
    SCOPED_TRACE("mode " + std::to_string(c.mode) + ": \"" + U8(c.before) + "\"");
    state.ConvertMode = c.mode;
    std::u16string line = c.before;
    EXPECT_EQ(ConvertMaterialLine(state, set, u"<drums>", line), c.after != c.before);
    EXPECT_EQ(line, c.after);
  }
  EXPECT_TRUE(state.Failures.empty());
}

// A folder's conversion looks the files up in one listing of the sound set, and tags with the set
// folder's name; it must decide every line as the lookup of the line alone does. (How lines are split,
// kept and ended is mdlChartFile's, tested there.)
TEST_F(ConvertLine, FolderConversionDecidesLikeTheLineAlone) {
  for (const int mode : {kModeNormal, kModeRedefine, kModeClear}) {
    const std::u16string charts = t.MakeFolder(u"charts" + mdlTools::Decimal(mode));
    std::string before, after;
    for (const LineCase& c : Cases()) {
      if (c.mode != mode) continue;
      platform::AppendLine(before, platform::ToCp932(c.before));
      platform::AppendLine(after, platform::ToCp932(c.after));
    }
    platform::WriteWholeFile(charts + u"/all.bms", before);
    state.ConvertMode = mode;
    state.BackupOn = false;
    ASSERT_TRUE(Convert(set, charts));
    EXPECT_EQ(ReadBytes(charts + u"/all.bms"), after) << "mode " << mode;
  }
}

// Whole charts, converted against the same set.
class ConvertChart : public ConvertLine {
 protected:
  std::u16string Chart(const std::u16string& name) const { return platform::JoinPath(charts, name); }
  std::u16string charts = t.MakeFolder(u"charts");
};

// Lines of other commands, and bytes that are no text, pass through; the backup is Fennick's own
// ".cbk"; a chart with nothing to convert is counted and not rewritten.
TEST_F(ConvertChart, OnlyTheSetTagsChange) {
  const std::string before = platform::ToCp932(u"#TITLE 桜の雨\r\n#WAV02 ピアノ.wav\r\n") + "#GENRE \xff\x80\r\n#WAV03 none.wav";
  t.Write(u"charts/song.bms", before);
  t.Write(u"charts/same.bms", "#WAV01 none.wav\n#BMP01 <drums>kick.wav");
  t.Write(u"charts/lf.bms", "#WAV01 none.wav\n#WAV02 kick.wav\n");  // LF line ends: lines, kept LF
  ASSERT_TRUE(Convert(set, charts));
  EXPECT_EQ(ReadBytes(Chart(u"song.bms")),
            platform::ToCp932(u"#TITLE 桜の雨\r\n#WAV02 <drums>ピアノ.wav\r\n") + "#GENRE \xff\x80\r\n#WAV03 none.wav\r\n");
  EXPECT_EQ(ReadBytes(Chart(u"song.bms~1.cbk")), before);
  EXPECT_EQ(ReadBytes(Chart(u"lf.bms")), "#WAV01 none.wav\n#WAV02 <drums>kick.wav\n");
  EXPECT_EQ(Names(charts), (NameList{u"lf.bms", u"lf.bms~1.cbk", u"same.bms", u"song.bms", u"song.bms~1.cbk"}));
  EXPECT_EQ(std::make_pair(state.ProcessedCount, state.TargetCount), std::make_pair(2, 3));
}

// A set name Shift-JIS cannot write fails the chart, which stays as it was. (Other failures of a
// chart's rewrite are mdlChartFile's, tested there.)
TEST_F(ConvertChart, ATagShiftJisCannotWriteFailsTheChart) {
  t.Write(u"charts/song.bms", "#WAV01 kick.wav\r\n");
  const std::u16string korean = t.MakeFolder(u"드럼");
  t.Write(u"드럼/kick.wav", "");
  ASSERT_TRUE(Convert(korean, charts));
  ASSERT_EQ(state.Failures.size(), 1u);
  EXPECT_EQ(state.Failures[0].Path, Chart(u"song.bms"));
  EXPECT_NE(state.Failures[0].Reason.find(u"Shift-JIS"), std::u16string::npos);
  EXPECT_EQ(state.ProcessedCount, 0);
  EXPECT_EQ(ReadBytes(Chart(u"song.bms")), "#WAV01 kick.wav\r\n");
  EXPECT_EQ(Names(charts), NameList{u"song.bms"});
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
  EXPECT_EQ(ReadBytes(Chart(u"song.bms")), "#WAV01 <drums>kick.wav\r\n");
  EXPECT_EQ(ReadBytes(outside), "#WAV01 kick.wav\r\n");
  EXPECT_EQ(platform::GetAttributes(Chart(u"same.bms")), platform::kAttrReadOnly) << "still the link";
  for (const auto& file : {outside, unchanged}) EXPECT_EQ(platform::GetAttributes(file), platform::kAttrReadOnly) << U8(file);
}
#endif
