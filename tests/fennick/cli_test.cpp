#include "cli.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FennickTest.h"

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
  Args With(Args extra) const {
    extra.insert(extra.begin(), {u"--source", set, u"--sound-set", u"--no-recursive"});
    return extra;
  }
  std::u16string set, charts;
};

}  // namespace

TEST_F(CliTest, OptionsReachTheRun) {
  EXPECT_EQ(CliMain(With({u"--dry-run", charts})), 0);
  EXPECT_EQ(state().DeletedCount, 1);
  EXPECT_EQ(state().ProcessedCount, 1);
  EXPECT_EQ(Names(charts), (std::vector<std::u16string>{u"kick.wav", u"song.bms"})) << "a dry run changes nothing";
  EXPECT_EQ(Read(charts + u"/song.bms"), "#WAV01 kick.wav\r\n");

  EXPECT_EQ(CliMain(With({u"--no-sync-delete", u"--no-backup", u"--mode", u"redefine", charts})), 0);
  EXPECT_EQ(Names(charts), (std::vector<std::u16string>{u"kick.wav", u"song.bms"}));
  EXPECT_EQ(Read(charts + u"/song.bms"), "#WAV01 <drums>kick.wav\r\n");
  EXPECT_EQ(state().ConvertMode, kModeRedefine);

  EXPECT_EQ(CliMain(With({u"--no-convert", u"--sync-delete", charts})), 0);
  EXPECT_EQ(Names(charts), std::vector<std::u16string>{u"song.bms"});

  // Clear mode alone runs without any source.
  EXPECT_EQ(CliMain({u"--source", t / u"gone", u"--mode", u"clear", u"--no-sync-delete", u"--no-recursive",
                     u"--include", u"*.BMS", u"--no-backup", charts}),
            0);
  EXPECT_EQ(Read(charts + u"/song.bms"), "#WAV01 kick.wav\r\n");
}

TEST_F(CliTest, ExitStatus) {
  struct Case {
    const char* what;
    Args args;
    int status;
  };
  const std::vector<Case> cases = {
      {"no target", With({}), 1},
      {"unknown option", With({u"--fast", charts}), 1},
      {"unknown mode", With({u"--mode", u"loud", charts}), 1},
      {"target missing", With({t / u"gone"}), 1},
      {"overlap without --yes", {u"--source", set, u"--sound-set", set}, 1},
      {"overlap with --yes: the sound set is kept, and that is reported",
       {u"--source", set, u"--sound-set", u"--yes", set},
       2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CliMain(c.args), c.status) << c.what;
  }
  EXPECT_EQ(Read(charts + u"/song.bms"), "#WAV01 kick.wav\r\n");
  EXPECT_EQ(Names(set), std::vector<std::u16string>{u"kick.wav"});
}
