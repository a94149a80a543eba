#include "quarrow/Cli.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "tests/support/TempDir.h"

using quarrow::CliMain;

namespace {

using Args = std::vector<std::u16string>;

struct Ran {
  int status;
  std::string out, err;
};

Ran Cli(const Args& args) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const int status = CliMain(args);
  return {status, ::testing::internal::GetCapturedStdout(), ::testing::internal::GetCapturedStderr()};
}

}  // namespace

TEST(QuarrowCli, RunsDryRunsAndReportsByExitStatus) {
  TempDir t;
  t.Write(u"a.bms", "#WAV01 a.wav\r\n#WAV02 b.wav\r\n");
  t.Write(u"a.ogg", "");
  t.MakeFolder(u"sub");
  t.Write(u"sub/b.BMS", "#WAV01 x.wav\r\n");
  auto with = [&](Args extra) {
    extra.insert(extra.begin(), {u"--rule", u"#WAV?? *.wav", u"#WAV?? *.ogg", u"--no-backup"});
    return Cli(extra);
  };
  t.Write(u"a.bms.mbk1", "#WAV01 a.o");  // a killed run's half-written chart
  // Changed lines read as their chart reads: a UTF-8 chart's in UTF-8, its first line behind its mark.
  t.Write(u"sub/u.bms", "\xEF\xBB\xBF#WAV01 \xE3\x83\x89\xE3\x83\xA9\xE3\x83\xA0.wav\r\n");
  Ran r = with({u"--dry-run", u"--recursive", u"--no-file-check", t.Path()});
  EXPECT_NE(r.out.find("would remove " + U8(t / u"a.bms.mbk1") + " (left by a stopped run)\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("would rewrite " + U8(t / u"a.bms") + " (2 lines changed)\n  - #WAV01 a.wav\n  + #WAV01 a.ogg\n"),
            std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  - #WAV01 ドラム.wav\n  + #WAV01 ドラム.ogg\n"), std::string::npos) << r.out;
  EXPECT_EQ(with({u"--file-check", u"--", t.Path()}).status, 0);
  EXPECT_EQ(t.Read(u"a.bms"), "#WAV01 a.ogg\r\n#WAV02 b.wav\r\n") << "b.ogg is missing";
  EXPECT_FALSE(platform::FileExists(t / u"a.bms~1.mbk")) << "--no-backup keeps no old chart";
  // Rules keep the order they were given in: the rule file's comes first and matches the line.
  const auto file = t.Write(u"first.rul", "#WAV01 *\r\n#WAV01 first-*\r\n");
  r = Cli({u"--rules", file, u"--rule", u"#WAV?? *.wav", u"#WAV?? *.ogg", u"--no-file-check", t / u"sub"});
  EXPECT_EQ(std::make_tuple(r.status, t.Read(u"sub/b.BMS")), std::make_tuple(0, "#WAV01 first-x.wav\r\n")) << r.err;
  t.MakeFolder(u"sub/b.BMS.mbk1");
  r = with({u"--recursive", u"--no-file-check", u"--include=*.bms", t.Path()});
  EXPECT_EQ(r.status, 2) << r.err;
  // An invalid rule, a rule file holding one, a missing target, material base or rule file (refused
  // even where the run could go on without it).
  for (const Ran& bad : {Cli({u"--rule", u"*", u"**", t.Path()}),
                         Cli({u"--rules", t.Write(u"bad.rul", "#TITLE *\r\n#TITLE a\r\n\r\n*\r\n**\r\n"), t.Path()}),
                         with({t / u"missing"}),
                         with({u"--no-file-check", u"--material-base", t / u"missing", t.Path()}),
                         with({u"--rules", t / u"none.rul", t.Path()})}) {
    EXPECT_EQ(bad.status, 1) << bad.err;
  }
}

#ifndef _WIN32  // names in quotes
// Typed relative to the shell's folder, in quotes that a folder box would take away: that folder, no other.
TEST(QuarrowCli, ATargetIsThePathAsTheShellGaveItNeverAnotherFolder) {
  TempDir t;
  for (const std::u16string folder : {u"lead", u"\"lead\""}) {
    t.MakeFolder(folder);
    t.Write(folder + u"/a.bms", "#WAV01 a.wav\r\n");
  }
  const std::u16string before = platform::CurrentDirectory();
  ASSERT_TRUE(ChangeDirectory(t.Path()));
  const int status = Cli({u"--rule", u"#WAV?? *.wav", u"#WAV?? *.ogg", u"--no-file-check", u"\"lead\""}).status;
  ASSERT_TRUE(ChangeDirectory(before));
  EXPECT_EQ(std::make_pair(status, t.Read(u"\"lead\"/a.bms") + t.Read(u"lead/a.bms")),
            std::make_pair(0, std::string("#WAV01 a.ogg\r\n#WAV01 a.wav\r\n")));
}
#endif

#ifndef _WIN32  // a full device
TEST(QuarrowCli, OutputThatCannotBeWrittenIsAFailure) {
  TempDir t;
  t.Write(u"a.bms", "#WAV01 a.wav\r\n");
  const int status = std::system(("'" TEST_BIN_DIR "/quarrow-cli' --dry-run --no-file-check --rule '#WAV?? *.wav' "
                                  "'#WAV?? *.ogg' '" + U8(t.Path()) + "' >/dev/full 2>/dev/null").c_str());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
}
#endif
