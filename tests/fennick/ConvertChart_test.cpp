#include <gtest/gtest.h>

#include <string>

#include "FennickTest.h"
#include "mdlMain.h"

using namespace fennick;
using namespace fennick_test;

namespace {

class ConvertChartTest : public FennickTest {
 protected:
  ConvertChartTest() {
    set = t.MakeFolder(u"drums");
    t.Write(u"drums/kick.wav", "");
    t.Write(u"drums/" + platform::DecodeUtf8("\xe3\x83\x94\xe3\x82\xa2\xe3\x83\x8e.wav"), "");  // ピアノ.wav
    charts = t.MakeFolder(u"charts");
  }
  std::u16string Chart(const std::u16string& name) const { return platform::JoinPath(charts, name); }

  std::u16string set, charts;
};

}  // namespace

// Every byte that is not part of a converted set tag or a line end comes out as it went in:
// Shift-JIS text, bytes that are no Shift-JIS at all, a lone LF inside a line.
TEST_F(ConvertChartTest, OnlyTheSetTagAndLineEndsChange) {
  const std::string sjis_title = platform::ToCp932(u"#TITLE 桜の雨");
  const std::string before = sjis_title + "\r\n" + "#GENRE \xff\x80 broken\r" +  // lone CR ends a line too
                             "#ARTIST a\nb\r\n" +                                // lone LF stays inside
                             "#WAV01 kick.wav\r\n" + platform::ToCp932(u"#WAV02 ピアノ.wav") + "\r\n" +
                             "#WAV03 none.wav\r\n" + "#00111:0102";  // last line without an end
  const std::string after = sjis_title + "\r\n" + "#GENRE \xff\x80 broken\r\n" + "#ARTIST a\nb\r\n" +
                            "#WAV01 <drums>kick.wav\r\n" + platform::ToCp932(u"#WAV02 <drums>ピアノ.wav") + "\r\n" +
                            "#WAV03 none.wav\r\n" + "#00111:0102\r\n";
  t.Write(u"charts/song.bms", before);
  SetWriteTime(Chart(u"song.bms"), 1500000000);
  // Charts without a line to convert are counted and not rewritten: no line end is added.
  const std::string unchanged = "#WAV01 none.wav\n#BMP01 <drums>kick.wav";
  t.Write(u"charts/same.bms", unchanged);
  t.Write(u"charts/empty.bms", "");
  SetWriteTime(Chart(u"same.bms"), 1400000000);

  ConvertChart(set, charts, u"song.bms");
  ConvertChart(set, charts, u"same.bms");
  ConvertChart(set, charts, u"empty.bms");
  EXPECT_EQ(Read(Chart(u"song.bms")), after);
  EXPECT_EQ(Read(Chart(u"same.bms")), unchanged);
  EXPECT_EQ(WriteTime(Chart(u"same.bms")), 1400000000LL * 1000000000LL);
  EXPECT_EQ(Names(charts), (std::vector<std::u16string>{u"empty.bms", u"same.bms", u"song.bms", u"song.bms~1.cbk"}));
  EXPECT_EQ(Read(Chart(u"song.bms~1.cbk")), before);
  EXPECT_EQ(WriteTime(Chart(u"song.bms")), 1500000000LL * 1000000000LL) << "the chart keeps its date";
  EXPECT_EQ(state().TargetCount, 3);
  EXPECT_EQ(state().ProcessedCount, 1);
  EXPECT_TRUE(state().Failures.empty());
}

TEST_F(ConvertChartTest, BackupTakesTheFirstFreeNumberAndWithoutOneReadOnlyChartsAreReplacedToo) {
  t.Write(u"charts/song.bms", "#WAV01 kick.wav\r\n");
  t.Write(u"charts/song.bms~1.cbk", "older backup");
  ConvertChart(set, charts, u"song.bms");
  EXPECT_EQ(Read(Chart(u"song.bms~1.cbk")), "older backup");
  EXPECT_EQ(Read(Chart(u"song.bms~2.cbk")), "#WAV01 kick.wav\r\n");
  EXPECT_EQ(Read(Chart(u"song.bms")), "#WAV01 <drums>kick.wav\r\n");

  state().BackupOn = false;
  const auto chart = t.Write(u"charts/ro.bms", "#WAV01 kick.wav\r\n");
  ASSERT_TRUE(platform::SetAttributes(chart, platform::kAttrReadOnly));
  ConvertChart(set, charts, u"ro.bms");
  EXPECT_EQ(Read(chart), "#WAV01 <drums>kick.wav\r\n");
  EXPECT_EQ(Names(charts).size(), 4u) << "no backup of ro.bms";
}

TEST_F(ConvertChartTest, ChartsThatCannotBeConvertedAreReportedAndLeftAlone) {
  // Missing chart, a folder in the way of the temporary file, and a set name Shift-JIS cannot write.
  t.Write(u"charts/blocked.bms", "#WAV01 kick.wav\r\n");
  t.MakeFolder(u"charts/blocked.bms.cbk1");
  const std::u16string korean = t.MakeFolder(u"드럼");
  t.Write(u"드럼/kick.wav", "");
  t.Write(u"charts/korean.bms", "#WAV01 kick.wav\r\n");

  ConvertChart(set, charts, u"missing.bms");
  ConvertChart(set, charts, u"blocked.bms");
  ConvertChart(korean, charts, u"korean.bms");
  ASSERT_EQ(state().Failures.size(), 3u);
  EXPECT_EQ(state().Failures[0].Path, Chart(u"missing.bms"));
  EXPECT_EQ(state().Failures[1].Path, Chart(u"blocked.bms"));
  EXPECT_EQ(state().Failures[2].Path, Chart(u"korean.bms"));
  EXPECT_EQ(state().TargetCount, 3);
  EXPECT_EQ(state().ProcessedCount, 0);
  EXPECT_EQ(Read(Chart(u"blocked.bms")), "#WAV01 kick.wav\r\n");
  EXPECT_TRUE(platform::FolderExists(Chart(u"blocked.bms.cbk1")));
  EXPECT_EQ(Read(Chart(u"korean.bms")), "#WAV01 kick.wav\r\n");
  EXPECT_EQ(Names(charts), (std::vector<std::u16string>{u"blocked.bms", u"blocked.bms.cbk1", u"korean.bms"}));
}

// A chart that is a symbolic link is replaced by a file of its own; the file it points to, outside
// the chart folder, keeps its content and its permissions. A linked chart with nothing to convert
// stays the link it was, and the file it points to keeps its permissions too.
TEST_F(ConvertChartTest, LinkedChartIsReplacedAndItsTargetNotTouched) {
  const auto outside = t.Write(u"outside.bms", "#WAV01 kick.wav\r\n");
  const auto unchanged = t.Write(u"unchanged.bms", "#WAV01 none.wav\r\n");
  for (const auto& file : {outside, unchanged}) ASSERT_TRUE(platform::SetAttributes(file, platform::kAttrReadOnly));
  Link(outside, Chart(u"song.bms"));
  Link(unchanged, Chart(u"same.bms"));
  ConvertChart(set, charts, u"song.bms");
  ConvertChart(set, charts, u"same.bms");
  EXPECT_FALSE(IsLink(Chart(u"song.bms")));
  EXPECT_EQ(Read(Chart(u"song.bms")), "#WAV01 <drums>kick.wav\r\n");
  EXPECT_EQ(Read(outside), "#WAV01 kick.wav\r\n");
  EXPECT_TRUE(IsLink(Chart(u"song.bms~1.cbk"))) << "the backup is the old link";
  EXPECT_TRUE(IsLink(Chart(u"same.bms")));
  for (const auto& file : {outside, unchanged}) {
    EXPECT_NE(platform::GetAttributes(file) & platform::kAttrReadOnly, 0) << U8(file);
  }
}
