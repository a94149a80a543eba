#include "toolkit/mdlChartFile.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "tests/support/Posix.h"
#endif
#include "tests/support/TempDir.h"
#include "toolkit/mdlTools.h"

using namespace mdlChartFile;

namespace {

// A rewrite that turns ".wav" into ".ogg" on "#WAV" lines and leaves every other line alone.
LineRewrite WavToOgg() {
  LineRewrite r;
  r.MayChange = [](std::string_view raw) { return raw.substr(0, 4) == "#WAV"; };
  r.Rewrite = [](std::u16string& line) {
    const std::size_t at = line.rfind(u".wav");
    return at != std::u16string::npos && (line.replace(at, 4, u".ogg"), true);
  };
  return r;
}

// One run over the charts of a temporary folder (put in place when it ends), with what it reported.
struct Pass {
  explicit Pass(const TempDir& t) : t(t) {}
  Outcome Rewrite(const std::u16string& name, bool backup = true, bool dry_run = false,
                  const LineRewrite& rewrite = WavToOgg()) {
    platform::IoError error;
    const platform::Folder folder = OpenFolder(t.Path());
    std::vector<platform::DirEntry> listing;
    EXPECT_TRUE(folder.List(listing, error));
    CommitReport report{[this](const ChartChange& c) { placed.push_back(c); },
                        [this](const std::u16string&, const std::u16string& why) { failed.push_back(why); }};
    ChartFolder charts(folder, u"mbk", backup, dry_run, report);
    if (!charts.Begin(listing, why)) return Outcome::Failed;
    return charts.Rewrite(name, rewrite, changed, why);
  }
  const TempDir& t;
  std::vector<ChartChange> placed;
  std::vector<std::u16string> failed;  // why each chart could not be put in place
  ChartChange changed;
  std::u16string why;
};

}  // namespace

TEST(mdlChartFile, OnlyRewrittenLinesChangeAndLinesEndAsTheirChartEnds) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      // CR LF charts: a lone CR ends a line, a lone LF stays inside it; CR LF ends every line written.
      {"#TITLE \x8d\xf7\r\n\r\n#WAV01 kick.wav\r\n#WAV02 \xff\xfe.wav\r\n#ARTIST a\nb\r\xe6\x97\xa5\r\n#WAV03 last.wav",
       "#TITLE \x8d\xf7\r\n\r\n#WAV01 kick.ogg\r\n#WAV02 \xff\xfe.ogg\r\n#ARTIST a\nb\r\n\xe6\x97\xa5\r\n#WAV03 last.ogg\r\n"},
      // LF charts keep LF, and a last line without an end stays without one.
      {"#TITLE t\n#WAV01 a.wav\n\n#BPM 120", "#TITLE t\n#WAV01 a.ogg\n\n#BPM 120"},
      {"#WAV01 a.wav\n#WAV02 b.wav\n", "#WAV01 a.ogg\n#WAV02 b.ogg\n"},
      {"#BPM 1\n#WAV01 a.wav", "#BPM 1\n#WAV01 a.ogg"},
      // One CR among many LFs: the old rule, one line that never starts with #WAV02.
      {"#WAV01 a.wav\n#WAV02 b.wav\r", "#WAV01 a.wav\n#WAV02 b.ogg\r\n"},
  };
  for (const auto& [before, after] : cases) {
    TempDir t;
    const auto chart = t.Write(u"a.bms", before);
#ifndef _WIN32
    Chmod(chart, 0640);  // a private chart stays private
#endif
    platform::FileTimes stamp{false, 0, 1500000000LL * 1000000000LL, 1400000000LL * 1000000000LL}, got;
    ASSERT_TRUE(platform::SetFileTimes(chart, stamp));
    Pass pass(t);
    // No temporary file is left; the chart keeps its time stamp and permissions.
    EXPECT_EQ(pass.Rewrite(u"a.bms"), Outcome::Rewritten);
    EXPECT_EQ(std::make_tuple(pass.placed.size(), t.Read(u"a.bms"), t.Read(u"a.bms~1.mbk"), t.Names()),
              std::make_tuple(1u, after, before, std::vector<std::u16string>{u"a.bms", u"a.bms~1.mbk"}));
    EXPECT_TRUE(platform::GetFileTimes(chart, got) && got.Write == stamp.Write);
#ifndef _WIN32
    EXPECT_EQ(ModeOf(chart), 0640u);
#endif
  }
}

TEST(mdlChartFile, DryRunsUnchangedAndFailedChartsWriteNothingAndLoseOnlyReadOnly) {
  TempDir t;
  const std::string wav = "#WAV01 a.wav\r\n#WAV02 " + std::string(5000, 'x') + ".wav\r\n", ogg = "#TITLE x\r\n#WAV01 a.ogg\n";
  t.Write(u"a.bms", wav);
  const auto chart = t.Write(u"u.bms", ogg);
  ASSERT_TRUE(platform::SetAttributes(chart, platform::kAttrReadOnly));
  Pass pass(t);
  EXPECT_EQ(pass.Rewrite(u"a.bms", true, true), Outcome::Rewritten);
  ASSERT_EQ(pass.changed.Lines.size(), 2u);
  EXPECT_EQ(pass.changed.Lines[0], std::make_pair(std::u16string(u"#WAV01 a.wav"), std::u16string(u"#WAV01 a.ogg")));
  EXPECT_EQ(pass.changed.Lines[1].first.size(), kShownLineLength + 1) << "a long line is kept cut";
  EXPECT_EQ(pass.Rewrite(u"u.bms", true, true), Outcome::Unchanged);
  EXPECT_EQ(std::make_tuple(AttributesOf(chart), pass.placed.size(), t.Names().size()),
            std::make_tuple(platform::kAttrReadOnly, 0u, 2u)) << "a dry run changes nothing";
  EXPECT_EQ(pass.Rewrite(u"u.bms"), Outcome::Unchanged);
  EXPECT_EQ(AttributesOf(chart), platform::kAttrNormal);
  EXPECT_EQ(pass.Rewrite(u"missing.bms"), Outcome::Failed);
  LineRewrite foreign = WavToOgg();
  foreign.MayChange = nullptr;  // every line offered
  foreign.Rewrite = [](std::u16string& line) { return line += u"\u00E9", true; };
  EXPECT_EQ(pass.Rewrite(u"u.bms", true, false, foreign), Outcome::Failed) << "a text Shift-JIS cannot hold";
  EXPECT_EQ(std::make_tuple(t.Read(u"a.bms"), t.Read(u"u.bms"), t.Names().size()),
            std::make_tuple(wav, ogg, std::size_t{2}));
}

TEST(mdlChartFile, BackupsAndTemporaryFilesNeverReplaceAnythingButAKilledRunsLeftovers) {
  TempDir t;
  t.Write(u"a.bms", "#WAV01 a.wav\r\n");
  t.Write(u"a.bms~1.mbk", "older");
  t.Write(u"a.bms.mbk1", "a killed run's half-written chart");
  t.Write(u"orphan.bms.mbk1", "no chart of this name: not ours to remove");
  t.Write(u"b.bms", "#WAV01 b.wav\r\n");
  t.MakeFolder(u"b.bms.mbk1");
  Pass pass(t);
  ASSERT_EQ(pass.Rewrite(u"a.bms"), Outcome::Rewritten);
  EXPECT_EQ(t.Read(u"a.bms") + "|" + t.Read(u"a.bms~1.mbk") + "|" + t.Read(u"a.bms~2.mbk"),
            "#WAV01 a.ogg\r\n|older|#WAV01 a.wav\r\n");
  EXPECT_TRUE(platform::PathExists(t / u"orphan.bms.mbk1") && !platform::PathExists(t / u"a.bms.mbk1"));
  EXPECT_EQ(pass.Rewrite(u"b.bms"), Outcome::Failed) << "a name that will not go is never written into";
  EXPECT_TRUE(t.Read(u"b.bms") == "#WAV01 b.wav\r\n" && platform::FolderExists(t / u"b.bms.mbk1"));
  // Every backup number taken: the chart is written, its failure told, no temporary file left.
  for (int n = 3; n <= kMaxBackupNumber; ++n) Touch(t / (u"a.bms~" + mdlTools::Decimal(n) + u".mbk"));
  t.Write(u"a.bms", "#WAV01 b.wav\r\n");
  EXPECT_EQ(pass.Rewrite(u"a.bms"), Outcome::Rewritten);
  EXPECT_EQ(pass.failed, std::vector<std::u16string>{u"バックアップを作れません"});
  EXPECT_EQ(std::make_pair(t.Read(u"a.bms"), platform::PathExists(t / u"a.bms.mbk1")),
            std::make_pair(std::string("#WAV01 b.wav\r\n"), false));
#ifndef _WIN32  // another run on Windows: in the Windows tests, through a command line
  // While another run holds the folder nothing in it is rewritten, its temporary files included.
  ASSERT_TRUE(platform::RemoveTree(t / u"b.bms.mbk1"));
  t.Write(u"b.bms.mbk1", "the other run's chart");
  const int other = open(U8(t.Path()).c_str(), O_RDONLY | O_DIRECTORY);  // a lock of its own, as another run's
  ASSERT_EQ(flock(other, LOCK_EX), 0);
  EXPECT_EQ(pass.Rewrite(u"b.bms"), Outcome::Failed);
  EXPECT_EQ(pass.why, u"別の実行がこのフォルダを処理中です (toolkit_tests、プロセス " +
                          platform::DecodeUtf8(std::to_string(getpid())) + u")")
      << "the holder, as Linux tells it";
  close(other);
  EXPECT_EQ(t.Read(u"b.bms.mbk1") + t.Read(u"b.bms"), "the other run's chart#WAV01 b.wav\r\n");
#endif
}

#ifndef _WIN32  // another user
TEST(mdlChartFile, ARenameThatFailsLeavesTheOldChartAndNoLeftovers) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to own the chart while another user rewrites it";
  TempDir t;
  Chmod(t.Path(), 01777);
  // In a sticky folder another user may add files but not replace this chart, which root owns.
  const auto chart = t.Write(u"a.bms", "#WAV01 a.wav\r\n");
  Chmod(chart, 0644);
  // Written and backed up, then not put in place: the backup, a second name of the old chart, went.
  EXPECT_EQ(RunUnprivileged([&] {
              Pass pass(t);
              return pass.Rewrite(u"a.bms") != Outcome::Rewritten ? 1
                     : pass.failed.size() == 1 && pass.failed[0].starts_with(u"書き換えたファイルを置けません") ? 0 : 2;
            }), 0);
  EXPECT_EQ(std::make_pair(ReadBytes(chart), t.Names()),
            std::make_pair(std::string("#WAV01 a.wav\r\n"), std::vector<std::u16string>{u"a.bms"}));
}
#endif
