#include "toolkit/run/ChartFile.h"

#ifndef _WIN32
#include "tests/support/Posix.h"
#endif
#include "tests/support/TempDir.h"
#include "toolkit/files/Paths.h"

using namespace run;

namespace {

// A rewrite that turns ".wav" into ".ogg" on "#WAV" lines and leaves every other line alone.
LineRewrite WavToOgg() {
  LineRewrite r;
  r.MayChange = [](std::string_view raw) { return raw.substr(0, 4) == "#WAV"; };
  r.Rewrite = [](std::u16string& line, text::ChartEncoding) {
    const std::size_t at = line.rfind(u".wav");
    return at != std::u16string::npos && (line.replace(at, 4, u".ogg"), true);
  };
  return r;
}

// One run over a chart of a temporary folder, with what it reported.
struct Pass {
  explicit Pass(const TempDir& t) : t(t) {}
  Outcome Rewrite(const std::u16string& name, bool backup = true, bool dry_run = false,
                  const LineRewrite& rewrite = WavToOgg()) {
    platform::IoError error;
    const platform::Folder folder = OpenFolder(t.Path());
    std::vector<platform::DirEntry> listing;
    EXPECT_TRUE(folder.List(listing, error));
    ChartFolder charts(folder, u"mbk", backup, dry_run);
    if (!charts.Begin(listing, why, [this](const std::u16string& p) { leftovers.push_back(p); })) return Outcome::Failed;
    return charts.Rewrite(name, rewrite, changed, why);
  }
  const TempDir& t;
  std::vector<std::u16string> leftovers;  // the temporary files of killed runs, told at Begin
  ChartChange changed;
  std::u16string why;
};

}  // namespace

TEST(ChartFile, OnlyRewrittenLinesChangeAndLinesEndAsTheirChartEnds) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      // CR LF charts: a lone CR ends a line, a lone LF stays inside it; CR LF ends every line written.
      {"#TITLE \x8d\xf7\r\n\r\n#WAV01 kick.wav\r\n#WAV02 \xff\xfe.wav\r\n#ARTIST a\nb\r\xe6\x97\xa5\r\n#WAV03 last.wav",
       "#TITLE \x8d\xf7\r\n\r\n#WAV01 kick.ogg\r\n#WAV02 \xff\xfe.ogg\r\n#ARTIST a\nb\r\n\xe6\x97\xa5\r\n#WAV03 last.ogg\r\n"},
      // LF charts keep LF, and a last line without an end stays without one.
      {"#TITLE t\n#WAV01 a.wav\n\n#BPM 120", "#TITLE t\n#WAV01 a.ogg\n\n#BPM 120"},
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
    EXPECT_EQ(std::make_tuple(t.Read(u"a.bms"), t.Read(u"a.bms~1.mbk"), t.Names()),
              std::make_tuple(after, before, std::vector<std::u16string>{u"a.bms", u"a.bms~1.mbk"}));
    EXPECT_TRUE(platform::GetFileTimes(chart, got) && got.Write == stamp.Write);
#ifndef _WIN32
    EXPECT_EQ(ModeOf(chart), 0640u);
#endif
  }
}

TEST(ChartFile, DryRunsUnchangedAndFailedChartsWriteNothingLoseOnlyReadOnlyAndBackupsNeverReplaceAnything) {
  TempDir t;
  const std::string wav = "#WAV01 a.wav\r\n#WAV02 " + std::string(5000, 'x') + ".wav\r\n", ogg = "#TITLE x\r\n#WAV01 a.ogg\n";
  t.Write(u"a.bms", wav);
  const auto chart = t.Write(u"u.bms", ogg);
  ASSERT_TRUE(platform::SetAttributes(chart, platform::kAttrReadOnly));
  Pass pass(t);
  EXPECT_EQ(pass.Rewrite(u"a.bms", true, true), Outcome::Rewritten);
  ASSERT_EQ(pass.changed.Lines.size(), 2u);
  EXPECT_EQ(std::make_tuple(pass.changed.Lines[0].first, pass.changed.Lines[0].second, pass.changed.Lines[1].first.size()),
            std::make_tuple(u"#WAV01 a.wav", u"#WAV01 a.ogg", kShownLineLength + 1)) << "a long line is kept cut";
  EXPECT_EQ(pass.Rewrite(u"u.bms", true, true), Outcome::Unchanged);
  EXPECT_EQ(std::make_tuple(AttributesOf(chart), t.Names().size()), std::make_tuple(platform::kAttrReadOnly, 2u))
      << "a dry run changes nothing";
  EXPECT_EQ(pass.Rewrite(u"u.bms"), Outcome::Unchanged);
  EXPECT_EQ(AttributesOf(chart), platform::kAttrNormal);
  EXPECT_EQ(pass.Rewrite(u"missing.bms"), Outcome::Failed);
  EXPECT_EQ(std::make_tuple(t.Read(u"a.bms"), t.Read(u"u.bms"), t.Names().size()),
            std::make_tuple(wav, ogg, std::size_t{2}));
  // Backups and temporary files never replace anything.
  t.Write(u"a.bms~1.mbk", "older");
  t.Write(u"b.bms", "#WAV01 b.wav\r\n");
  t.MakeFolder(u"b.bms.mbk1");
  ASSERT_EQ(pass.Rewrite(u"a.bms"), Outcome::Rewritten);
  EXPECT_EQ(t.Read(u"a.bms") + "|" + t.Read(u"a.bms~1.mbk") + "|" + t.Read(u"a.bms~2.mbk"),
            "#WAV01 a.ogg\r\n#WAV02 " + std::string(5000, 'x') + ".ogg\r\n|older|" + wav);
  EXPECT_EQ(pass.Rewrite(u"b.bms"), Outcome::Failed) << "a name that will not go is never written into";
  EXPECT_TRUE(t.Read(u"b.bms") == "#WAV01 b.wav\r\n" && platform::FolderExists(t / u"b.bms.mbk1"));
  // Every backup number taken: the chart is written, its failure told, no temporary file left.
  for (int n = 3; n <= kMaxBackupNumber; ++n) Touch(t / (u"a.bms~" + paths::Decimal(n) + u".mbk"));
  t.Write(u"a.bms", "#WAV01 b.wav\r\n");
  EXPECT_EQ(std::make_pair(pass.Rewrite(u"a.bms"), pass.why), std::make_pair(Outcome::Failed, std::u16string(u"バックアップを作れません")));
  EXPECT_EQ(std::make_pair(t.Read(u"a.bms"), platform::PathExists(t / u"a.bms.mbk1")),
            std::make_pair(std::string("#WAV01 b.wav\r\n"), false));
#ifndef _WIN32  // another run on Windows: in the Windows tests, through a command line
  // While another run holds the folder nothing in it is rewritten, its temporary files included.
  ASSERT_TRUE(platform::RemoveTree(t / u"b.bms.mbk1"));
  t.Write(u"b.bms.mbk1", "the other run's chart");
  const int other = HoldLock(t.Path());
  EXPECT_EQ(std::make_pair(pass.Rewrite(u"b.bms"), pass.why),
            std::make_pair(Outcome::Failed, u"別の実行がこのフォルダを処理中です (toolkit_tests、プロセス " +
                                                text::DecodeUtf8(std::to_string(getpid())) + u")"))
      << "the holder, as Linux tells it";
  close(other);
  EXPECT_EQ(t.Read(u"b.bms.mbk1") + t.Read(u"b.bms"), "the other run's chart#WAV01 b.wav\r\n");
#endif
}

// What a run leaves alone: a linked chart (a new file at one of its names would part it from the
// others), whose other names nothing reaches; the programs' own files, of which only a temporary
// file beside a chart a run could rewrite, itself a lone file, is a killed run's, and goes.
TEST(ChartFile, LinkedChartsAndOwnFilesOtherThanAKilledRunsTemporaryFileAreLeftAlone) {
  for (const std::u16string own : {u"a.bms~1.mbk", u"A.BMS~12.CBK", u"a.bms.mbk1", u"x.Cbk1"}) EXPECT_TRUE(IsOwnFile(own));
  for (const std::u16string other : {u"~1.mbk", u"a~.mbk", u"a~1x.mbk", u"a.mbk", u"a.mbk2", u".mbk1"}) EXPECT_FALSE(IsOwnFile(other));
  TempDir t, outside;
  for (const char16_t* name : {u"a.bms", u"a.bms.mbk1", u"orphan.bms.mbk1", u"h.bms", u"h.bms.mbk1", u"l.bms",
                               u"l.bms.mbk1", u"a.bms~9.mbk", u"a.bms~9.mbk.mbk1", u"sub.mbk1"}) {
    t.Write(name, "#WAV01 a.wav\r\n");
  }
  t.MakeFolder(u"sub");
  ASSERT_TRUE(platform::SetAttributes(t.Write(u"u.bms", "#TITLE t\r\n"), platform::kAttrReadOnly));  // unchanged
  platform::IoError error;
  for (const std::u16string name : {u"h.bms", u"l.bms.mbk1", u"u.bms"})
    ASSERT_EQ(OpenFolder(t.Path()).Keep(name, name + u"2", error), platform::KeepResult::Made);
  std::vector<std::pair<std::u16string, std::u16string>> linked = {
      {u"h.bms", u"ほかの名前 (ハードリンク) もあるファイルなので書き換えません"}};
#ifndef _WIN32
  Link(outside.Write(u"target.bms", "#WAV01 a.wav\r\n"), t / u"s.bms");
  linked.push_back({u"s.bms", u"シンボリックリンクなので書き換えません"});
#endif
  const std::vector<std::u16string> all = t.Names();
  for (const bool dry_run : {true, false}) {
    Pass pass(t);
    for (const auto& [name, why] : linked) {
      EXPECT_EQ(std::make_pair(pass.Rewrite(name, true, dry_run), pass.why), std::make_pair(Outcome::Failed, why));
    }
    EXPECT_EQ(pass.Rewrite(u"u.bms", true, dry_run), Outcome::Unchanged);
    EXPECT_EQ(AttributesOf(t / u"u.bms2"), platform::kAttrReadOnly) << "its other name keeps read-only";
    EXPECT_EQ(std::make_pair(pass.leftovers.at(0), t.Names().size()), std::make_pair(t / u"a.bms.mbk1", all.size() - !dry_run));
  }
}

#ifndef _WIN32  // another user
TEST(ChartFile, ARenameThatFailsLeavesTheOldChartAndNoLeftovers) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to own the chart while another user rewrites it";
  TempDir t;
  Chmod(t.Path(), 01777);
  // In a sticky folder another user may add files but not replace this chart, which root owns.
  const auto chart = t.Write(u"a.bms", "#WAV01 a.wav\r\n");
  Chmod(chart, 0644);
  // Written and backed up, then not put in place: the backup, a second name of the old chart, went.
  EXPECT_EQ(RunUnprivileged([&] {
              Pass pass(t);
              return pass.Rewrite(u"a.bms") != Outcome::Failed ? 1
                     : pass.why.starts_with(u"書き換えたファイルを置けません") ? 0 : 2;
            }), 0);
  EXPECT_EQ(std::make_pair(ReadBytes(chart), t.Names()),
            std::make_pair(std::string("#WAV01 a.wav\r\n"), std::vector<std::u16string>{u"a.bms"}));
}
#endif

// A writer racing the run between the chart's reading and its placing, as an editor saves: into the
// chart (an old time stamp, so a save in the same tick shows) or a new file of its size and time.
TEST(ChartFile, AChartSavedWhileItIsRewrittenKeepsTheUsersVersionAndGetsNoBackup) {
  const platform::FileTimes stamp{false, 0, 0, 1400000000LL * 1000000000LL};
  for (const auto& [in_place, backup] : {std::pair{false, true}, {false, false}, {true, true}, {true, false}}) {
    TempDir t;
    ASSERT_TRUE(platform::SetFileTimes(t.Write(u"a.bms", "#WAV01 a.wav\r\n"), stamp));
    LineRewrite racing = WavToOgg();
    racing.Rewrite = [&, rewrite = racing.Rewrite](std::u16string& line, text::ChartEncoding encoding) {
      const std::u16string saved = t.Write(in_place ? u"a.bms" : u"new", "#WAV01 z.wav\r\n");
      EXPECT_TRUE(in_place || (platform::SetFileTimes(saved, stamp) && MoveReplacing(saved, t / u"a.bms")));
      return rewrite(line, encoding);
    };
    Pass pass(t);
    EXPECT_EQ(pass.Rewrite(u"a.bms", backup, false, racing), Outcome::Failed);
    EXPECT_EQ(std::make_tuple(pass.why, t.Names(), t.Read(u"a.bms")),
              std::make_tuple(u"実行中に変更されたので書き換えません", std::vector<std::u16string>{u"a.bms"}, "#WAV01 z.wav\r\n"));
  }
}
