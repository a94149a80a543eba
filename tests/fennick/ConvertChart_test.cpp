#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fennick/FennickTest.h"

using namespace fennick;
using namespace fennick_test;

namespace {

class ConvertChartTest : public FennickTest {
 protected:
  ConvertChartTest() {
    set = t.MakeFolder(u"drums");
    t.Write(u"drums/kick.wav", "");
    t.Write(u"drums/ピアノ.wav", "");
    charts = t.MakeFolder(u"charts");
  }
  std::u16string Chart(const std::u16string& name) const { return platform::JoinPath(charts, name); }
  std::u16string set, charts;
};

}  // namespace

// Every byte that is not part of a converted set tag or a line end comes out as it went in; a chart
// with nothing to convert is counted and not rewritten.
TEST_F(ConvertChartTest, OnlyTheSetTagAndLineEndsChange) {
  const std::string sjis_title = platform::ToCp932(u"#TITLE 桜の雨");
  const std::string before = sjis_title + "\r\n#GENRE \xff\x80 broken\r#ARTIST a\nb\r\n#WAV01 kick.wav\r\n" +
                             platform::ToCp932(u"#WAV02 ピアノ.wav") + "\r\n#WAV03 none.wav\r\n#00111:0102";
  const std::string after = sjis_title + "\r\n#GENRE \xff\x80 broken\r\n#ARTIST a\nb\r\n#WAV01 <drums>kick.wav\r\n" +
                            platform::ToCp932(u"#WAV02 <drums>ピアノ.wav") + "\r\n#WAV03 none.wav\r\n#00111:0102\r\n";
  t.Write(u"charts/song.bms", before);
  const std::string unchanged = "#WAV01 none.wav\n#BMP01 <drums>kick.wav";
  t.Write(u"charts/same.bms", unchanged);
  t.Write(u"charts/empty.bms", "");
  ASSERT_TRUE(Convert(set, charts));
  EXPECT_EQ(ReadBytes(Chart(u"song.bms")), after);
  EXPECT_EQ(ReadBytes(Chart(u"song.bms~1.cbk")), before);
  EXPECT_EQ(ReadBytes(Chart(u"same.bms")), unchanged);
  EXPECT_EQ(Names(charts), (NameList{u"empty.bms", u"same.bms", u"song.bms", u"song.bms~1.cbk"}));
  EXPECT_EQ(state.TargetCount, 3);
  EXPECT_EQ(state.ProcessedCount, 1);
  EXPECT_TRUE(state.Failures.empty());
}

TEST_F(ConvertChartTest, ChartsThatCannotBeConvertedAreReportedAndLeftAlone) {
  // A folder in the way of the temporary file, and a set name Shift-JIS cannot write.
  t.Write(u"charts/blocked.bms", "#WAV01 kick.wav\r\n");
  t.MakeFolder(u"charts/blocked.bms.cbk1");
  ASSERT_TRUE(Convert(set, charts));
  const std::u16string korean = t.MakeFolder(u"드럼");
  t.Write(u"드럼/kick.wav", "");
  ASSERT_TRUE(platform::RemoveTree(Chart(u"blocked.bms.cbk1")));
  ASSERT_TRUE(Convert(korean, charts));
  ASSERT_EQ(state.Failures.size(), 2u);
  EXPECT_EQ(state.Failures[0].Path, Chart(u"blocked.bms"));
  EXPECT_EQ(state.Failures[1].Path, Chart(u"blocked.bms"));
  EXPECT_NE(state.Failures[1].Reason.find(u"Shift-JIS"), std::u16string::npos);
  EXPECT_EQ(state.ProcessedCount, 0);
  EXPECT_EQ(ReadBytes(Chart(u"blocked.bms")), "#WAV01 kick.wav\r\n");
  EXPECT_EQ(Names(charts), NameList{u"blocked.bms"});
}

// A chart that is a symbolic link is replaced by a file of its own; the file it points to, outside
// the chart folder, keeps its content and its permissions; a linked chart with nothing to convert
// stays the link it was.
#ifndef _WIN32  // links wine cannot make
TEST_F(ConvertChartTest, LinkedChartIsReplacedAndItsTargetNotTouched) {
  const auto outside = t.Write(u"outside.bms", "#WAV01 kick.wav\r\n");
  const auto unchanged = t.Write(u"unchanged.bms", "#WAV01 none.wav\r\n");
  for (const auto& file : {outside, unchanged}) ASSERT_TRUE(platform::SetAttributes(file, platform::kAttrReadOnly));
  Link(outside, Chart(u"song.bms"));
  Link(unchanged, Chart(u"same.bms"));
  ASSERT_TRUE(Convert(set, charts));
  EXPECT_EQ(ReadBytes(Chart(u"song.bms")), "#WAV01 <drums>kick.wav\r\n");
  EXPECT_EQ(ReadBytes(outside), "#WAV01 kick.wav\r\n");
  EXPECT_EQ(platform::GetAttributes(Chart(u"same.bms")), platform::kAttrReadOnly) << "still the link";
  for (const auto& file : {outside, unchanged}) {
    EXPECT_NE(platform::GetAttributes(file) & platform::kAttrReadOnly, 0) << U8(file);
  }
}
#endif
