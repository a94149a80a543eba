#include "tests/fennick/FennickTest.h"

using namespace fennick;
using namespace fennick_test;

namespace {

// `after` is `before` when the line is to stay as it is.
struct LineCase { ConvertModes mode; std::u16string before, after; };

// The sound set "drums" that every case is converted against.
class ConvertLine : public FennickTest {
 protected:
  ConvertLine() {
    for (const char16_t* name : {u"kick.wav", u"x.bmp", u"nare.wav"}) t.Write(u"drums/" + std::u16string(name), "");
#ifndef _WIN32  // names Windows cannot hold: a trailing blank, angle brackets
    for (const char16_t* name : {u"tom.wav ", u"b<c>d.wav", u"a>b<c.wav"}) t.Write(u"drums/" + std::u16string(name), "");
#endif
  }
  const std::u16string set = t.MakeFolder(u"drums");
};

}  // namespace

// How a line is split and tagged. (How a file is looked up is StoredFiles', and how lines are
// split, kept and ended run's: tested there.)
TEST_F(ConvertLine, ModesAndSplits) {
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
    for (const ConvertModes mode : {kModeNormal, kModeRedefine, kModeClear})
      cases.push_back({mode, row[0], row[1 + static_cast<int>(mode)]});
  for (const LineCase& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(static_cast<int>(c.mode)) + ": \"" + U8(c.before) + "\"");
    state.ConvertMode = c.mode;
    std::u16string line = c.before;
    EXPECT_EQ(ConvertMaterialLine(state, set, u"<drums>", line), c.after != c.before);
    EXPECT_EQ(line, c.after);
  }
  EXPECT_TRUE(state.Failures.empty());
}

// The set's tag goes into each chart in that chart's own encoding: a name stored in Shift-JIS bytes
// goes into a Shift-JIS chart byte for byte and into a UTF-8 chart as the text it spells; a name
// that spells no text cannot go into a UTF-8 chart, and that chart fails as it stands. A tag already
// there in the chart's bytes is the set's own, and a redefinition leaves it.
TEST_F(FennickTest, TheSetTagIsWrittenInEachChartsOwnEncoding) {
  const std::string drums_utf8 = "\xE3\x83\x89\xE3\x83\xA9\xE3\x83\xA0", drums_sjis = "\x83\x68\x83\x89\x83\x80";
  const std::string kyoku = "#TITLE \xE6\x9B\xB2\r\n";  // 曲 in UTF-8
  // the set's name as stored, its tag in a Shift-JIS chart and in a UTF-8 one ("" = the chart fails)
  std::vector<std::tuple<std::string, std::string, std::string>> sets = {{drums_utf8, drums_sjis, drums_utf8}};
#ifndef _WIN32  // names stored in bytes that are no UTF-8
  sets.push_back({drums_sjis, drums_sjis, drums_utf8});
  sets.push_back({"s\xFF", "s\xFF", ""});
#endif
  std::u16string folder = u"charts0";
  for (const auto& [stored, sjis_tag, utf8_tag] : sets) {
    SCOPED_TRACE(stored);
    const std::u16string set = t.MakeFolder(text::DecodeNativeName(stored));
    t.Write(text::DecodeNativeName(stored) + u"/kick.wav", "");
    ++folder.back();
    const std::u16string charts = t.MakeFolder(folder);
    t.Write(folder + u"/sjis.bms", "#WAV01 kick.wav\r\n");
    t.Write(folder + u"/utf8.bms", kyoku + "#WAV01 kick.wav\r\n");
    t.Write(folder + u"/tagged.bms", "#WAV01 <" + sjis_tag + ">kick.wav\r\n");
    state = fennick::RunState(context);
    state.ConvertOn = true;
    state.ConvertMode = kModeRedefine;
    ASSERT_TRUE(Convert(set, charts));
    const auto tagged = [&](const std::string& tag, const std::string& old) { return tag.empty() ? old : "#WAV01 <" + tag + ">kick.wav\r\n"; };
    EXPECT_EQ(ReadBytes(platform::JoinPath(charts, u"sjis.bms")), tagged(sjis_tag, ""));
    EXPECT_EQ(ReadBytes(platform::JoinPath(charts, u"utf8.bms")), kyoku + tagged(utf8_tag, "#WAV01 kick.wav\r\n"));
    EXPECT_EQ(ReadBytes(platform::JoinPath(charts, u"tagged.bms")), tagged(sjis_tag, ""));
    EXPECT_EQ(state.Failures.size(), std::size_t{utf8_tag.empty() ? 1u : 0u});
  }
}
