#include "fennick/cli.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fennick/FennickTest.h"

using namespace fennick;
using namespace fennick_test;
using Args = std::vector<std::u16string>;

namespace {

class CliTest : public FennickTest {
 protected:
  CliTest() {
    set = t.MakeFolder(u"drums");
    t.Write(u"drums/kick.wav", "");
    charts = t.MakeFolder(u"charts");
    t.Write(u"charts/song.bms", "#WAV01 kick.wav\r\n");
    t.Write(u"charts/kick.wav", "");
  }
  int Cli(Args extra, bool with_set = true) {
    if (with_set) extra.insert(extra.begin(), {u"--source", set, u"--sound-set", u"--no-recursive"});
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const int status = CliMain(extra);
    out = ::testing::internal::GetCapturedStdout();
    ::testing::internal::GetCapturedStderr();
    return status;
  }
  std::u16string set, charts;
  std::string out;
};

}  // namespace

TEST_F(CliTest, OptionsReachTheRun) {
  EXPECT_EQ(Cli({u"--dry-run", charts}), 0);
  EXPECT_NE(out.find("would delete " + U8(charts + Sep(u"/kick.wav"))), std::string::npos) << out;
  EXPECT_NE(out.find("同期削除数 = 1\nマテリアル変換 処理/対象 = 1 / 1"), std::string::npos) << out;
  EXPECT_EQ(Names(charts), (NameList{u"kick.wav", u"song.bms"})) << "a dry run changes nothing";

  EXPECT_EQ(Cli({u"--no-sync-delete", u"--no-backup", u"--mode=redefine", charts}), 0);
  EXPECT_EQ(Names(charts), (NameList{u"kick.wav", u"song.bms"}));
  EXPECT_EQ(ReadBytes(charts + u"/song.bms"), "#WAV01 <drums>kick.wav\r\n");

  EXPECT_EQ(Cli({u"--no-convert", u"--sync-delete", charts}), 0);
  EXPECT_EQ(Names(charts), NameList{u"song.bms"});

  // Clear mode alone runs without any source.
  EXPECT_EQ(Cli({u"--source", t / u"gone", u"--mode", u"clear", u"--no-sync-delete", u"--no-recursive", u"--include",
                 u"*.BMS", u"--no-backup", charts},
                false),
            0);
  EXPECT_EQ(ReadBytes(charts + u"/song.bms"), "#WAV01 kick.wav\r\n");
}

TEST_F(CliTest, ExitStatus) {
  struct Case {
    const char* what;
    Args args;
    bool with_set;
    int status;
  };
  const std::vector<Case> cases = {
      {"no target", {}, true, 1},
      {"unknown mode", {u"--mode", u"loud", charts}, true, 1},
      {"target missing", {t / u"gone"}, true, 1},
      {"source missing: never its parent", {u"--source", set + u"/gone", u"--sound-set", charts}, false, 1},
      {"overlap without --yes", {u"--source", set, u"--sound-set", set}, false, 1},
      {"overlap with --yes: the sound set is kept, and that is reported",
       {u"--source", set, u"--sound-set", u"--yes", set}, false, 2},
  };
  for (const Case& c : cases) EXPECT_EQ(Cli(c.args, c.with_set), c.status) << c.what;
  EXPECT_EQ(ReadBytes(charts + u"/song.bms"), "#WAV01 kick.wav\r\n");
  EXPECT_EQ(Names(set), NameList{u"kick.wav"});
}
