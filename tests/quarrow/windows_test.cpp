// The command line as another process sees it on Windows, and a read-only chart rewritten there.

#include "quarrow/mdlMain.h"
#include "tests/support/Recorders.h"
#include "tests/support/TempDir.h"
#include "tests/support/Windows.h"

namespace {

const std::vector<std::u16string> kRule = {u"--rule", u"#WAV?? *.wav", u"#WAV?? *.ogg", u"--no-file-check"};

int Cli(std::vector<std::u16string> args, std::string& output) {
  args.insert(args.begin(), kRule.begin(), kRule.end());
  return RunProcess(platform::JoinPath(platform::ExecutableFolder(), u"quarrow-cli.exe"), args, output);
}

}  // namespace

TEST(WindowsQuarrowCli, AJapaneseFolderNameArrivesWhole) {
  TempDir t;
  const auto folder = t.MakeFolder(u"曲 フォルダ");
  t.Write(u"曲 フォルダ/ピアノ.bms", "#WAV01 ピ.wav\r\n");
  std::string output;
  EXPECT_EQ(Cli({u"--dry-run", folder}, output), 0) << output;
  EXPECT_NE(output.find("would rewrite " + U8(folder + u"\\ピアノ.bms")), std::string::npos) << output;
}

TEST(WindowsQuarrowCli, AnotherRunsFolderIsLeftAlone) {
  TempDir t;
  t.Write(u"a.bms", "#WAV01 a.wav\r\n");
  std::string output;
  {
    platform::IoError error;
    const platform::Folder folder = platform::Folder::Open(t.Path(), error);
    platform::FolderLock lock;
    ASSERT_TRUE(lock.Acquire(folder, error) && lock.Exclusive());
    EXPECT_EQ(Cli({u"--no-backup", t.Path()}, output), 2);
    EXPECT_NE(output.find("別の実行がこのフォルダを処理中です"), std::string::npos) << output;
    EXPECT_EQ(t.Read(u"a.bms"), "#WAV01 a.wav\r\n");
    EXPECT_EQ(t.Names().size(), 1u);
  }
  EXPECT_EQ(Cli({u"--no-backup", t.Path()}, output), 0) << output;
  EXPECT_EQ(t.Read(u"a.bms"), "#WAV01 a.ogg\r\n");
}

TEST(WindowsQuarrowRun, AReadOnlyChartIsRewrittenAndItsBackupIsItsOldSelf) {
  TempDir t;
  const auto chart = t.Write(u"a.bms", "#WAV01 a.wav\r\n");
  const platform::FileTimes stamp{false, 0, 1500000000LL * 1000000000LL, 1400000000LL * 1000000000LL};
  ASSERT_TRUE(platform::SetFileTimes(chart, stamp));
  ASSERT_TRUE(platform::SetAttributes(chart, platform::kAttrReadOnly));
  platform::FileInfo old_chart, new_chart, backup;
  platform::IoError error;
  ASSERT_TRUE(platform::PathInfo(chart, old_chart, error));
  ScriptedUser user;
  quarrow::RunOptions options;
  options.TargetText = t.Path();
  options.FileCheckOn = false;
  options.Rules = {quarrow::MakeRuleEntry(u"#WAV?? *.wav", u"#WAV?? *.ogg")};
  EXPECT_TRUE(quarrow::Run(options).Failures.empty());
  EXPECT_EQ(t.Read(u"a.bms"), "#WAV01 a.ogg\r\n");
  EXPECT_EQ(t.Read(u"a.bms~1.mbk"), "#WAV01 a.wav\r\n");
  EXPECT_EQ(AttributesOf(chart), platform::kAttrNormal) << "read-only no more, as on POSIX";
  ASSERT_TRUE(platform::PathInfo(chart, new_chart, error) && platform::PathInfo(t / u"a.bms~1.mbk", backup, error));
  EXPECT_EQ(new_chart.Times.Write, stamp.Write);
  EXPECT_EQ(backup.Id, old_chart.Id) << "the backup is a second name of the old chart, not a copy";
  EXPECT_NE(new_chart.Id, old_chart.Id);
}
