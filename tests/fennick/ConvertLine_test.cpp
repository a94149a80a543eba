#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fennick/FennickTest.h"

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

const std::vector<LineCase>& ModeTable() {
  static const std::vector<LineCase> cases = {
      {kModeNormal, u"#WAV01 kick.wav", u"#WAV01 <drums>kick.wav"},
      {kModeRedefine, u"#WAV01 kick.wav", u"#WAV01 <drums>kick.wav"},
      {kModeClear, u"#WAV01 kick.wav", u"#WAV01 kick.wav"},
      {kModeNormal, u"#WAV01 snare.wav", u"#WAV01 snare.wav"},
      {kModeRedefine, u"#WAV01 snare.wav", u"#WAV01 snare.wav"},
      {kModeClear, u"#WAV01 snare.wav", u"#WAV01 snare.wav"},
      {kModeNormal, u"#WAV01 <old>kick.wav", u"#WAV01 <old>kick.wav"},
      {kModeRedefine, u"#WAV01 <old>kick.wav", u"#WAV01 <drums>kick.wav"},
      {kModeClear, u"#WAV01 <old>kick.wav", u"#WAV01 kick.wav"},
      {kModeNormal, u"#WAV01 <old>snare.wav", u"#WAV01 <old>snare.wav"},
      {kModeRedefine, u"#WAV01 <old>snare.wav", u"#WAV01 snare.wav"},
      {kModeClear, u"#WAV01 <old>snare.wav", u"#WAV01 snare.wav"},
  };
  return cases;
}

const std::vector<LineCase>& SplitTable() {
  static const std::vector<LineCase> cases = {
      // Commands: ASCII letters in any case, at the very start of the line, #WAV and #BMP only.
      {kModeNormal, u"#wav01 kick.wav", u"#wav01 <drums>kick.wav"},
      {kModeNormal, u"#Bmp01 x.bmp", u"#Bmp01 <drums>x.bmp"},
      {kModeNormal, u" #WAV01 kick.wav", u" #WAV01 kick.wav"},
      {kModeNormal, u"#STAGEFILE kick.wav", u"#STAGEFILE kick.wav"},
      {kModeNormal, u"#WA", u"#WA"},
      // The separator is taken unexamined; every blank after it stays in the head.
      {kModeNormal, u"#WAV01\t\tkick.wav", u"#WAV01\t\t<drums>kick.wav"},
      {kModeNormal, u"#WAV01kick.wav", u"#WAV01kick.wav"},
      {kModeNormal, u"#WAV01snare.wav", u"#WAV01s<drums>nare.wav"},
      {kModeNormal, u"#WAV1 snare.wav", u"#WAV1 s<drums>nare.wav"},
      // The file part is used as it stands, trailing blanks included.
      {kModeNormal, u"#WAV01 kick.wav ", u"#WAV01 kick.wav "},
#ifndef _WIN32
      {kModeNormal, u"#WAV01 tom.wav ", u"#WAV01 <drums>tom.wav "},
#endif
      // Brackets: a set tag only when its "<" at or after the separator comes before the first ">".
#ifndef _WIN32
      {kModeRedefine, u"#WAV01 <a>b<c>d.wav", u"#WAV01 <drums>b<c>d.wav"},
#endif
      {kModeClear, u"#WAV01 <a>b<c>d.wav", u"#WAV01 b<c>d.wav"},
#ifndef _WIN32
      {kModeNormal, u"#WAV01 a>b<c.wav", u"#WAV01 <drums>a>b<c.wav"},
#endif
      {kModeClear, u"#WAV01 x>y <old>kick.wav", u"#WAV01 x>y <old>kick.wav"},
      {kModeClear, u"#WAV01 <kick.wav", u"#WAV01 <kick.wav"},
      {kModeRedefine, u"#WAV01<old>kick.wav", u"#WAV01<drums>kick.wav"},
      {kModeRedefine, u"#WAV01 x <old>kick.wav", u"#WAV01 x <drums>kick.wav"},
      // A tag that differs only in ASCII letter case counts as the same.
      {kModeRedefine, u"#WAV01 <DRUMS>kick.wav", u"#WAV01 <DRUMS>kick.wav"},
      // Nothing to name: left alone in every mode.
      {kModeNormal, u"#WAV01", u"#WAV01"},
      {kModeClear, u"#WAV", u"#WAV"},
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
  };
  return cases;
}

std::string Describe(const LineCase& c) { return "mode " + std::to_string(c.mode) + ": \"" + U8(c.before) + "\""; }

}  // namespace

TEST_F(ConvertLine, ModesAndSplits) {
  for (const auto* table : {&ModeTable(), &SplitTable()}) {
    for (const LineCase& c : *table) {
      state.ConvertMode = c.mode;
      std::u16string line = c.before;
      EXPECT_EQ(ConvertMaterialLine(state, set, u"<drums>", line), c.after != c.before) << Describe(c);
      EXPECT_EQ(line, c.after) << Describe(c);
    }
  }
  EXPECT_TRUE(state.Failures.empty());
}

// A folder's conversion looks the files up in one listing of the sound set; it must decide every
// line as the lookup of the line alone does, and leave everything else byte for byte.
TEST_F(ConvertLine, FolderConversionDecidesLikeTheLineAlone) {
  for (const int mode : {kModeNormal, kModeRedefine, kModeClear}) {
    const std::u16string charts = t.MakeFolder(u"charts" + std::u16string(1, char16_t(u'0' + mode)));
    std::string before, after;
    for (const auto* table : {&ModeTable(), &SplitTable()}) {
      for (const LineCase& c : *table) {
        if (c.mode != mode) continue;
        platform::AppendLine(before, platform::ToCp932(c.before));
        platform::AppendLine(after, platform::ToCp932(c.after));
      }
    }
    // An LF chart keeps its LF line ends, and its last line its missing end.
    std::string lf_before = before, lf_after = after;
    for (std::string* s : {&lf_before, &lf_after}) {
      std::string out;
      for (std::size_t i = 0; i < s->size(); ++i) {
        if ((*s)[i] != '\r') out.push_back((*s)[i]);
      }
      out.pop_back();
      *s = out;
    }
    t.Write(u"charts" + std::u16string(1, char16_t(u'0' + mode)) + u"/all.bms", before);
    t.Write(u"charts" + std::u16string(1, char16_t(u'0' + mode)) + u"/lf.bms", lf_before);
    state.ConvertMode = mode;
    state.BackupOn = false;
    ASSERT_TRUE(Convert(set, charts));
    EXPECT_EQ(ReadBytes(platform::JoinPath(charts, u"all.bms")), after) << "mode " << mode;
    EXPECT_EQ(ReadBytes(platform::JoinPath(charts, u"lf.bms")), lf_after) << "mode " << mode;
  }
}
