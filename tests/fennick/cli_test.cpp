#include "fennick/Cli.h"

#include "tests/fennick/FennickTest.h"
#include "tests/support/Trash.h"

using namespace fennick;
using namespace fennick_test;
using Args = std::vector<std::u16string>;

namespace {

// A sound set holding kick.wav and loops/; charts holding both, a chart naming kick.wav, one that doesn't.
class CliTest : public FennickTest {
 protected:
  CliTest() {
    t.Write(u"drums/kick.wav", "");
    t.Write(u"charts/song.bms", "#WAV01 kick.wav\r\n");
    t.Write(u"charts/kick.wav", "");
    t.Write(u"charts/other.bms", "#WAV01 snare.wav\r\n");
    for (const char16_t* folder : {u"drums/loops", u"charts/loops"}) t.MakeFolder(folder);
    t.Write(u"charts/loops/a.wav", "");
  }
  // Runs the command line, after the options that name the set unless `with_set` is false.
  int Cli(Args extra, bool with_set = true) {
    if (with_set) extra.insert(extra.begin(), {u"--source", set, u"--sound-set", u"--no-recursive"});
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const int status = CliMain(extra);
    out = ::testing::internal::GetCapturedStdout();
    err = ::testing::internal::GetCapturedStderr();
    return status;
  }
  std::string Song() const { return ReadBytes(charts + u"/song.bms"); }
  const std::u16string set = t.MakeFolder(u"drums"), charts = t.MakeFolder(u"charts");
  std::string out, err;
};

}  // namespace

TEST_F(CliTest, OptionsReachTheRun) {
  EXPECT_EQ(Cli({u"--dry-run", charts}), 0);
  for (const std::string& line : {"would delete " + U8(charts + Sep(u"/kick.wav")) + "\n",
                                  std::string("同期削除数 = 2\nマテリアル変換 処理/対象 = 1 / 2")})
    EXPECT_NE(out.find(line), std::string::npos) << out;

  EXPECT_EQ(Cli({u"--no-sync-delete", u"--no-backup", u"--mode=redefine", charts}), 0);
  EXPECT_EQ(std::make_pair(Names(charts), Song()),
            std::make_pair(NameList{u"kick.wav", u"loops", u"other.bms", u"song.bms"}, std::string("#WAV01 <drums>kick.wav\r\n")));

  EXPECT_EQ(Cli({u"--no-convert", u"--sync-delete", charts}), 0);
  EXPECT_EQ(Names(charts), (NameList{u"other.bms", u"song.bms"}));
  EXPECT_NE(out.find("deleted " + U8(charts + Sep(u"/loops")) + " (folder, 1 entries)\n"), std::string::npos) << out;

  // Clear mode alone runs without any source.
  EXPECT_EQ(Cli({u"--source", t / u"gone", u"--mode", u"clear", u"--no-sync-delete", u"--no-recursive", u"--include",
                 u"*.BMS", u"--no-backup", charts}, false), 0);
  EXPECT_EQ(Song(), "#WAV01 kick.wav\r\n");
}

TEST_F(CliTest, ExitStatus) {
  const std::vector<std::tuple<const char*, Args, bool, int>> cases = {
      {"the version alone: no run after it", {u"-V"}, false, 0},
      {"unknown mode", {u"--mode", u"loud", charts}, true, 1},
      {"source missing: never its parent", {u"--source", set + u"/gone", u"--sound-set", charts}, false, 1},
      {"overlap with --yes: the sound set is kept, and that is reported",
       {u"--source", set, u"--sound-set", u"--yes", set}, false, 2},
  };
  for (const auto& [what, args, with_set, status] : cases) EXPECT_EQ(Cli(args, with_set), status) << what;
  EXPECT_EQ(Cli({u"--no-convert", u"--no-sync-delete", charts}) + out.size(), 1u) << "nothing chosen: a warning, not on stdout " << err;
  EXPECT_EQ(std::make_pair(Song(), Names(set)),
            std::make_pair(std::string("#WAV01 kick.wav\r\n"), NameList{u"kick.wav", u"loops"}));
}

#ifndef _WIN32
// With --trash the set's namesakes, files and folders, go to the trash whole, whence they come back
// under their names; the listing and the result say where they went.
TEST_F(CliTest, TrashTakesWhatSyncDeletionWouldDelete) {
  const DataHome home(t / u"data");
  for (const std::u16string run : {u"--dry-run", u"--no-backup"}) {
    EXPECT_EQ(Cli({run, u"--trash", u"--no-convert", charts}), 0);
    const std::string moved = run == u"--dry-run" ? "would move to trash " : "moved to trash ";
    EXPECT_NE(out.find(moved + U8(charts + u"/loops") + " (folder, 1 entries)\n"), std::string::npos) << out;
  }
  const std::string trash = U8(t / u"data/Trash");
  EXPECT_EQ(Restore(trash, "kick.wav") + Restore(trash, "loops"), U8(charts + u"/kick.wav") + U8(charts + u"/loops"));
}
#endif
