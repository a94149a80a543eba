#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "Unprivileged.h"
#include "mdlAppParam.h"
#include "mdlMain.h"
#include "platform/fs.h"

using namespace quarrow;

namespace {

std::string Read(const std::u16string& path) {
  std::string bytes;
  EXPECT_TRUE(platform::ReadFile(path, bytes)) << U8(path);
  return bytes;
}

// A fresh run state with the given rules; the file check and backups as asked.
struct ChartRun {
  explicit ChartRun(std::vector<std::pair<std::u16string, std::u16string>> rules, bool backup = true,
                    bool file_check = false) {
    State() = RunState();
    State().BackupOn = backup;
    State().FileCheckOn = file_check;
    State().TextModeOn = 1;
    std::vector<RuleEntry> entries;
    for (const auto& [s, r] : rules) entries.push_back(MakeRuleEntry(s, r));
    BuildRules(entries);
    params.TargetFolder = t.Path();
  }
  void Process(const std::u16string& name) { ProcessChart(params, t.Path(), name); }
  std::vector<std::u16string> Names() {
    std::vector<platform::DirEntry> entries;
    platform::ListFolder(t.Path(), entries);
    std::vector<std::u16string> names;
    for (const auto& e : entries) names.push_back(e.Name);
    return names;
  }
  TempDir t;
  RunParams params;
};

const std::vector<std::pair<std::u16string, std::u16string>> kWavToOgg = {{u"#WAV?? *.wav", u"#WAV?? *.ogg"}};

}  // namespace

TEST(SplitLine, HeadBracketAndFileName) {
  struct Case {
    std::u16string line, command;
    bool indexed;
    std::u16string head, bracket, file;
  };
  const std::vector<Case> cases = {
      {u"#WAV01 kick.ogg", u"#WAV", true, u"#WAV01 ", u"", u"kick.ogg"},
      {u"#WAV0A\t\t<drum>kick.ogg", u"#WAV", true, u"#WAV0A\t\t", u"<drum>", u"kick.ogg"},
      {u"#BMP01 <>back.bmp", u"#BMP", true, u"#BMP01 ", u"<>", u"back.bmp"},
      {u"#BMP02 x<y>.bmp", u"#BMP", true, u"#BMP02 ", u"", u"x<y>.bmp"},
      {u"#BMP03 <abc", u"#BMP", true, u"#BMP03 ", u"", u"<abc"},
      {u"#BMP04 >a<b>", u"#BMP", true, u"#BMP04 ", u"", u">a<b>"},
      {u"#WAV01kick.wav", u"#WAV", true, u"#WAV01", u"", u"kick.wav"},
      {u"#WAV01 kick.wav  ", u"#WAV", true, u"#WAV01 ", u"", u"kick.wav  "},
      {u"#WAV01", u"#WAV", true, u"#WAV01", u"", u""},
      {u"#WAV1", u"#WAV", true, u"#WAV1", u"", u""},
      {u"#WAV01   ", u"#WAV", true, u"#WAV01   ", u"", u""},
      {u"#STAGEFILE <a>b.bmp", u"#STAGEFILE", false, u"#STAGEFILE ", u"", u"<a>b.bmp"},
      {u"#MIDIFILE\tsong.mid", u"#MIDIFILE", false, u"#MIDIFILE\t", u"", u"song.mid"},
  };
  for (const auto& c : cases) {
    const SplitLine s = c.indexed ? SplitIndexedLine(c.line, c.command) : SplitPlainLine(c.line, c.command);
    EXPECT_EQ(s.Head, c.head) << U8(c.line);
    EXPECT_EQ(s.Bracket, c.bracket) << U8(c.line);
    EXPECT_EQ(s.FileName, c.file) << U8(c.line);
  }
}

TEST(CheckMaterialFile, CandidatePathsInTheChartFolderOrTheMaterialBase) {
  TempDir f, m;
  f.Write(u"kick.ogg", "");
  f.Write(u"x<y>.bmp", "");
  f.Write(u"title.bmp", "");
  f.MakeFolder(u"snd");
  f.Write(u"snd/kick.ogg", "");
  m.MakeFolder(u"drum");
  m.Write(u"drum/kick.ogg", "");
  m.Write(u"back.bmp", "");
  RunParams with_base{m.Path(), f.Path()}, without_base{u"", f.Path()};
  struct Case {
    std::u16string line;
    int command;
    bool with_base, want;
  };
  const std::vector<Case> cases = {
      {u"#WAV01 kick.ogg", 1, true, true},
      {u"#WAV01 KICK.OGG", 1, true, true},  // names are found without ASCII case, as on Windows
      {u"#WAV01 missing.ogg", 1, true, false},
      {u"#WAV0A\t\t<drum>kick.ogg", 1, true, true},
      {u"#WAV0A <DRUM>kick.ogg", 1, true, true},
      {u"#WAV01 <drum>kick.ogg", 1, false, false},  // a sound set but no material base folder
      {u"#BMP01 <>back.bmp", 2, true, true},
      {u"#BMP02 x<y>.bmp", 2, true, true},
      {u"#STAGEFILE title.bmp", 3, true, true},
      {u"#STAGEFILE <drum>kick.ogg", 3, true, false},  // no bracket part without an index
      {u"#WAV02 snd\\kick.ogg", 1, true, true},
      {u"#WAV02 snd/kick.ogg", 1, true, true},
      {u"#WAV01 kick.ogg ", 1, true, false},  // trailing blanks stay part of the name
      {u"#WAV01 snd", 1, true, false},         // a folder is no material file
      {u"#WAV01 ", 1, true, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckMaterialFile(c.with_base ? with_base : without_base, f.Path(), c.line, c.command), c.want)
        << U8(c.line);
  }
}

TEST(ProcessChart, RewritesMatchedLinesAndKeepsEveryOtherByte) {
  ChartRun run(kWavToOgg);
  const std::string before =
      "#TITLE \x8d\xf7\r\n"             // Shift-JIS
      "#WAV01 kick.wav\r\n"
      "#WAV02 \xff\xfe broken.wav\r\n"  // bytes that are no text at all, in a rewritten line
      "#ARTIST a\nb\r"                  // a lone LF stays inside, a lone CR ends the line
      "\xe6\x97\xa5 utf8\r\n"           // UTF-8
      "#wav03 last.wav";                // no line end
  const auto chart = run.t.Write(u"a.bms", before);
  platform::FileTimes stamp;
  stamp.Access = 1500000000LL * 1000000000LL;
  stamp.Write = 1400000000LL * 1000000000LL;
  ASSERT_TRUE(platform::SetFileTimes(chart, stamp));

  run.Process(u"a.bms");
  platform::FileTimes after;
  ASSERT_TRUE(platform::GetFileTimes(chart, after));
  EXPECT_EQ(after.Write, stamp.Write);  // the access time is that of the reading, carried over too
  EXPECT_EQ(Read(chart),
            "#TITLE \x8d\xf7\r\n"
            "#WAV01 kick.ogg\r\n"
            "#WAV02 \xff\xfe broken.ogg\r\n"
            "#ARTIST a\nb\r\n"
            "\xe6\x97\xa5 utf8\r\n"
            "#WAV03 last.ogg\r\n");
  EXPECT_EQ(Read(run.t / u"a.bms~1.mbk"), before);
  EXPECT_EQ(run.Names(), (std::vector<std::u16string>{u"a.bms", u"a.bms~1.mbk"}));
  EXPECT_EQ(State().TargetCount, 1);
  EXPECT_EQ(State().ProcessedCount, 1);
  EXPECT_TRUE(State().Failures.empty());
}

TEST(ProcessChart, ChartsNoRuleChangesStayAsTheyWere) {
  ChartRun run(kWavToOgg);
  run.t.Write(u"empty.bms", "");
  run.t.Write(u"other.bms", "#TITLE x\n#WAV01 a.wav\n");  // LF only: one line that matches no rule
  run.Process(u"empty.bms");
  run.Process(u"other.bms");
  EXPECT_EQ(Read(run.t / u"empty.bms"), "");
  EXPECT_EQ(Read(run.t / u"other.bms"), "#TITLE x\n#WAV01 a.wav\n");
  EXPECT_EQ(run.Names().size(), 2u) << "no temporary or backup file is left";
  EXPECT_EQ(State().TargetCount, 2);
  EXPECT_EQ(State().ProcessedCount, 0);
}

TEST(ProcessChart, BackupsNeverReplaceEachOther) {
  ChartRun run(kWavToOgg);
  run.t.Write(u"a.bms", "#WAV01 a.wav\r\n");
  run.t.Write(u"a.bms~1.mbk", "older backup");
  run.Process(u"a.bms");
  EXPECT_EQ(Read(run.t / u"a.bms~1.mbk"), "older backup");
  EXPECT_EQ(Read(run.t / u"a.bms~2.mbk"), "#WAV01 a.wav\r\n");
  EXPECT_EQ(Read(run.t / u"a.bms"), "#WAV01 a.ogg\r\n");
}

TEST(ProcessChart, AMatchThatKeepsTheTextStillRewrites) {
  ChartRun run({{u"#TITLE *", u"#TITLE *"}}, true);
  run.t.Write(u"a.bms", "#TITLE same\n");
  run.Process(u"a.bms");
  EXPECT_EQ(State().ProcessedCount, 1);
  EXPECT_EQ(Read(run.t / u"a.bms~1.mbk"), "#TITLE same\n");
  EXPECT_EQ(Read(run.t / u"a.bms"), "#TITLE same\n\r\n") << "the lone LF stays inside the one line";
}

TEST(ProcessChart, TheFirstMatchingRuleAppliesAndTheFileCheckCanRefuseIt) {
  ChartRun run({{u"#WAV01 *.wav", u"#WAV01 *.ogg"}, {u"#WAV?? *", u"#WAV?? x*"}, {u"#TITLE *", u"#TITLE new *"}},
               true, true);
  run.t.Write(u"kick.ogg", "");
  run.t.Write(u"a.bms", "#WAV01 kick.wav\r\n#WAV01 snare.wav\r\n#WAV02 a\r\n#TITLE t\r\n");
  run.Process(u"a.bms");
  // kick.ogg exists; snare.ogg does not, and the refused line tries no later rule; xa is missing.
  EXPECT_EQ(Read(run.t / u"a.bms"), "#WAV01 kick.ogg\r\n#WAV01 snare.wav\r\n#WAV02 a\r\n#TITLE new t\r\n");

  ChartRun refused({{u"#WAV01 *.wav", u"#WAV01 *.ogg"}}, true, true);
  refused.t.Write(u"b.bms", "#wav01 kick.wav\r\n");
  refused.Process(u"b.bms");
  EXPECT_EQ(Read(refused.t / u"b.bms"), "#wav01 kick.wav\r\n");
  EXPECT_EQ(State().ProcessedCount, 0) << "a refused rewrite leaves the chart alone";
  EXPECT_EQ(refused.Names().size(), 1u);
}

TEST(ProcessChart, ReadOnlyChartIsReplacedWithoutBackup) {
  ChartRun run(kWavToOgg, false);
  const auto chart = run.t.Write(u"a.bms", "#WAV01 a.wav\r\n");
  ASSERT_TRUE(platform::SetAttributes(chart, platform::kAttrReadOnly));
  run.Process(u"a.bms");
  EXPECT_EQ(Read(chart), "#WAV01 a.ogg\r\n");
  EXPECT_EQ(run.Names(), std::vector<std::u16string>{u"a.bms"});
}

TEST(ProcessChart, ATextTheChartsCodePageCannotHoldFailsTheChart) {
  ChartRun run({{u"#TITLE *", u"#TITLE caf\u00E9 *"}}, true);
  run.t.Write(u"a.bms", "#TITLE x\r\n");
  run.Process(u"a.bms");
  EXPECT_EQ(Read(run.t / u"a.bms"), "#TITLE x\r\n");
  EXPECT_EQ(run.Names().size(), 1u);
  ASSERT_EQ(State().Failures.size(), 1u);
  EXPECT_EQ(State().ProcessedCount, 0);
}

TEST(ProcessChart, FailuresLeaveTheChartAsItWasAndAreCounted) {
  {
    ChartRun run(kWavToOgg);
    run.Process(u"missing.bms");
    ASSERT_EQ(State().Failures.size(), 1u);
    EXPECT_EQ(State().Failures[0].Path, run.t / u"missing.bms");
    EXPECT_EQ(State().ProcessedCount, 0);
  }
  {
    // The temporary file's name is taken by a folder.
    ChartRun run(kWavToOgg);
    run.t.Write(u"a.bms", "#WAV01 a.wav\r\n");
    run.t.MakeFolder(u"a.bms.mbk1");
    run.Process(u"a.bms");
    EXPECT_EQ(Read(run.t / u"a.bms"), "#WAV01 a.wav\r\n");
    EXPECT_EQ(State().Failures.size(), 1u);
    EXPECT_EQ(State().ProcessedCount, 0);
  }
}

TEST(ProcessChart, UnreadableChartAndUnwritableFolderAsAnOrdinaryUser) {
  ChartRun run(kWavToOgg);
  ASSERT_EQ(chmod(U8(run.t.Path()).c_str(), 0755), 0);
  const auto secret = run.t.Write(u"secret.bms", "#WAV01 a.wav\r\n");
  ASSERT_EQ(chmod(U8(secret).c_str(), 0600), 0);
  ASSERT_EQ(chmod(U8(run.t.Path()).c_str(), 0755), 0);
  const auto open = run.t.Write(u"open.bms", "#WAV01 a.wav\r\n");
  ASSERT_EQ(chmod(U8(open).c_str(), 0644), 0);
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";

  // As another user: the secret chart cannot be read, and no temporary file can be made beside the
  // readable one. Each fails alone and the run goes on.
  const int result = RunUnprivileged([&] {
    run.Process(u"secret.bms");
    run.Process(u"open.bms");
    return static_cast<int>(State().Failures.size()) * 10 + State().ProcessedCount;
  });
  EXPECT_EQ(result, 20);
  EXPECT_EQ(Read(secret), "#WAV01 a.wav\r\n");
  EXPECT_EQ(Read(open), "#WAV01 a.wav\r\n");
  EXPECT_EQ(run.Names().size(), 2u);
}

TEST(ProcessChart, AFailingRenameLeavesTheOldChartAndNoLeftovers) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to own the chart while another user rewrites it";
  ChartRun run(kWavToOgg);
  ASSERT_EQ(chmod(U8(run.t.Path()).c_str(), 01777), 0);
  // In a sticky folder another user may add files but not replace this chart, which root owns.
  const auto chart = run.t.Write(u"a.bms", "#WAV01 a.wav\r\n");
  ASSERT_EQ(chmod(U8(chart).c_str(), 0644), 0);
  const int result = RunUnprivileged([&] {
    run.Process(u"a.bms");
    if (State().Failures.size() != 1 || State().ProcessedCount != 0) return 1;
    return State().Failures[0].Reason == u"書き換えたファイルを置けません" ? 0 : 2;
  });
  EXPECT_EQ(result, 0) << "the rename, and only the rename, failed";
  EXPECT_EQ(Read(chart), "#WAV01 a.wav\r\n");
  EXPECT_EQ(run.Names(), std::vector<std::u16string>{u"a.bms"});
}

TEST(ProcessChart, DryRunReportsAndWritesNothing) {
  ChartRun run(kWavToOgg);
  State().DryRun = true;
  std::vector<ChartChange> changes;
  State().OnChange = [&](const ChartChange& c) { changes.push_back(c); };
  const auto chart = run.t.Write(u"a.bms", "#TITLE t\r\n#WAV01 a.wav\r\n");
  ASSERT_TRUE(platform::SetAttributes(chart, platform::kAttrReadOnly));
  run.Process(u"a.bms");
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].Path, chart);
  ASSERT_EQ(changes[0].Lines.size(), 1u);
  EXPECT_EQ(changes[0].Lines[0].first, u"#WAV01 a.wav");
  EXPECT_EQ(changes[0].Lines[0].second, u"#WAV01 a.ogg");
  EXPECT_EQ(Read(chart), "#TITLE t\r\n#WAV01 a.wav\r\n");
  EXPECT_EQ(platform::GetAttributes(chart), platform::kAttrReadOnly) << "not even attributes change";
  EXPECT_EQ(run.Names().size(), 1u);
  State() = RunState();
}
