// The command line as another process sees it on Windows, what Windows is told about it, and charts
// rewritten there: read-only, in use, with an access list of their own.

#include "quarrow/Run.h"
#include "toolkit/platform/win32.h"
#include "tests/support/Recorders.h"
#include "tests/support/TempDir.h"
#include "tests/support/Windows.h"

namespace {

// quarrow-cli started from a command line as cmd hands it on, the rule and its options first.
int Cli(const std::u16string& args, std::string& output) {
  const std::u16string exe = platform::JoinPath(platform::ExecutableFolder(), u"quarrow-cli.exe");
  const std::u16string rule = u" --rule \"#WAV?? *.wav\" \"#WAV?? *.ogg\" --no-file-check ";
  return RunCommandLine(exe, u"\"" + exe + u"\"" + rule + args, output);
}

quarrow::RunOptions RewriteWavToOgg(const std::u16string& folder, bool backup) {
  quarrow::RunOptions options;
  options.TargetText = folder;
  options.FileCheckOn = false;
  options.BackupOn = backup;
  options.Rules = {quarrow::MakeRuleEntry(u"#WAV?? *.wav", u"#WAV?? *.ogg")};
  return options;
}

}  // namespace

TEST(WindowsQuarrowCli, AJapaneseFolderNameArrivesWholeAndAFolderTypedAsCmdCompletesIt) {
  TempDir t;
  const auto folder = t.MakeFolder(u"曲 フォルダ");
  t.Write(u"曲 フォルダ/ピアノ.bms", "#WAV01 ピ.wav\r\n");
  std::string output;
  // "FOLDER\" as cmd's completion writes it: the option after it stays an option.
  EXPECT_EQ(Cli(u"\"" + folder + u"\\\" --dry-run", output), 0) << output;
  EXPECT_NE(output.find("would rewrite " + U8(folder + u"\\ピアノ.bms")), std::string::npos) << output;
}

TEST(WindowsQuarrowCli, ItsIconVersionAndManifestAreInside) {
  const std::u16string path = platform::JoinPath(platform::ExecutableFolder(), u"quarrow-cli.exe");
  const std::wstring wide(path.begin(), path.end());
  DWORD ignored = 0;
  std::vector<char> version(GetFileVersionInfoSizeW(wide.c_str(), &ignored));
  ASSERT_FALSE(version.empty());
  ASSERT_TRUE(GetFileVersionInfoW(wide.c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
  wchar_t* text = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(version.data(), L"\\StringFileInfo\\041104B0\\FileDescription",
                             reinterpret_cast<void**>(&text), &length));
  EXPECT_EQ(std::wstring(text), L"Quarrow ライン置換エディタ (コマンドライン)");
  const HMODULE module = LoadLibraryExW(wide.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  const HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  ASSERT_NE(manifest, nullptr);
  const std::string xml(static_cast<const char*>(LockResource(LoadResource(module, manifest))),
                        SizeofResource(module, manifest));
  for (const char* setting : {"<longPathAware", ">UTF-8</activeCodePage>", "PerMonitorV2", "8e0f7a12-bfb3-4fe8"}) {
    EXPECT_NE(xml.find(setting), std::string::npos) << setting;
  }
  EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)), nullptr) << "an icon";
  FreeLibrary(module);
}

TEST(WindowsQuarrowCli, OnlyAnotherRunKeepsARunOutOfAFolder) {
  TempDir t;
  t.Write(u"a.bms", "#WAV01 a.wav\r\n");
  const std::u16string args = u"--no-backup \"" + t.Path() + u"\"";
  std::string output;
  {
    platform::IoError error;
    const platform::Folder folder = platform::Folder::Open(t.Path(), error);
    platform::FolderLock lock;
    ASSERT_TRUE(lock.Acquire(folder, error) && lock.Exclusive());
    EXPECT_EQ(Cli(args, output), 2);
    const std::string holder = " (quarrow_tests、プロセス " + std::to_string(GetCurrentProcessId()) + ")";
    EXPECT_NE(output.find("別の実行がこのフォルダを処理中です" + holder), std::string::npos) << output;
    EXPECT_EQ(t.Read(u"a.bms"), "#WAV01 a.wav\r\n");
    EXPECT_EQ(t.Names().size(), 1u);
  }
  // Once the lock is let go: a program that merely lists the folder, letting nobody else write it, is no run.
  HeldOpen reader(t.Path(), false);
  ASSERT_TRUE(reader.IsOpen());
  EXPECT_EQ(Cli(args, output), 0) << output;
  EXPECT_EQ(t.Read(u"a.bms"), "#WAV01 a.ogg\r\n");
}

TEST(WindowsQuarrowRun, AChartInUseStaysAsItWasWithNoBackupAndIsReportedSo) {
  for (const bool backup : {true, false}) {
    TempDir t;
    t.Write(u"a.bms", "#WAV01 a.wav\r\n");
    ScriptedUser user;
    const quarrow::RunOptions options = RewriteWavToOgg(t.Path(), backup);
    {
      HeldOpen editor(t / u"a.bms");
      ASSERT_TRUE(editor.IsOpen());
      const RunResult result = quarrow::Run(user.Context(), options);
      ASSERT_EQ(result.Failures.size(), 1u) << backup;
      EXPECT_NE(result.Failures[0].Reason.find(u"使用中"), std::u16string::npos) << U8(result.Failures[0].Reason);
      EXPECT_EQ(t.Names(), std::vector<std::u16string>{u"a.bms"}) << "neither a backup nor a temporary file";
    }
    EXPECT_TRUE(quarrow::Run(user.Context(), options).Failures.empty());
    EXPECT_EQ(t.Read(u"a.bms"), "#WAV01 a.ogg\r\n");
    EXPECT_EQ(t.Names().size(), backup ? 2u : 1u);
  }
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
  EXPECT_TRUE(quarrow::Run(user.Context(), RewriteWavToOgg(t.Path(), true)).Failures.empty());
  EXPECT_EQ(t.Read(u"a.bms"), "#WAV01 a.ogg\r\n");
  EXPECT_EQ(t.Read(u"a.bms~1.mbk"), "#WAV01 a.wav\r\n");
  EXPECT_EQ(AttributesOf(chart), platform::kAttrNormal) << "read-only no more, as on POSIX";
  ASSERT_TRUE(platform::PathInfo(chart, new_chart, error) && platform::PathInfo(t / u"a.bms~1.mbk", backup, error));
  EXPECT_EQ(new_chart.Times.Write, stamp.Write);
  EXPECT_EQ(backup.Id, old_chart.Id) << "the backup is a second name of the old chart, not a copy";
}

TEST(WindowsQuarrowRun, ARewrittenChartKeepsTheAccessListOfTheOldOne) {
  TempDir t;
  const auto chart = t.Write(u"a.bms", "#WAV01 a.wav\r\n");
  const auto plain = t.Write(u"plain.txt", "");
  // Everyone may change this chart, which a new file in the folder would not give.
  ASSERT_TRUE(SetAccessList(chart, u"D:P(A;;FA;;;WD)(A;;FA;;;SY)"));
  const std::u16string list = AccessList(chart);
  ASSERT_NE(list, AccessList(plain));
  ScriptedUser user;
  EXPECT_TRUE(quarrow::Run(user.Context(), RewriteWavToOgg(t.Path(), false)).Failures.empty());
  EXPECT_EQ(t.Read(u"a.bms"), "#WAV01 a.ogg\r\n");
  EXPECT_EQ(U8(AccessList(chart)), U8(list));
}
