#include "quarrow/Run.h"
#ifndef _WIN32
#include <fcntl.h>

#include "tests/support/Posix.h"
#endif
#include "tests/support/Recorders.h"
#include "tests/support/TempDir.h"
#include "toolkit/files/Paths.h"

using namespace quarrow;

namespace {

using Steps = std::vector<std::u16string>;

struct RunFixture : ::testing::Test {
  RunFixture() {
    for (const char16_t* name : {u"a.bms", u"notes.txt"}) t.Write(name, "#WAV01 a.wav\r\n");
    t.Write(u"b.bme", "#TITLE b\r\n");
    t.MakeFolder(u"sub");
    t.Write(u"sub/c.bms", "#WAV01 c.wav\r\n");
    std::tie(options.TargetText, options.FileCheckOn) = std::make_tuple(t.Path(), false);
    options.Rules = {MakeRuleEntry(u"#WAV?? *.wav", u"#WAV?? *.ogg")};
  }
  std::tuple<std::u16string, std::u16string, MsgIcon> Said() const {
    return {user.Last().text, user.Last().title, user.Last().icon};
  }
  // Every step a front end hears of, the colouring of the folder boxes included ("box 0 red").
  RunHooks Recording(Steps& steps) {
    RunHooks hooks;
    hooks.PathChecked = [&](int i, bool ok) { steps.push_back(u"box " + paths::Decimal(i) + (ok ? u"" : u" red")); };
    hooks.Begin = [&] { steps.push_back(u"begin"); };
    hooks.Changed = [&](const ChartChange& c) { steps.push_back(c.Path); };
    hooks.Refresh = [&] { steps.push_back(u"refresh"); };
    hooks.End = [&] { steps.push_back(u"end"); };
    return hooks;
  }
  TempDir t;
  ScriptedUser user;
  RunOptions options;
};

}  // namespace

TEST_F(RunFixture, WarningsStopARunUntouchedAndARunRewritesTheListedChartsWithTheCounts) {
  const std::u16string target = u"正確なターゲットパスを指定してください。", path = u"パスの指定";
  const Steps both_red = {u"box 0 red", u"box 1 red", u"box 0"};
  // material base, target, rules?, then the warning and the boxes; nothing is begun
  const std::vector<std::tuple<std::u16string, std::u16string, bool, std::u16string, std::u16string, Steps>> cases = {
      {u"", u"", true, target, path, both_red}, {u"  ", t / u"missing", true, target, path, both_red},
      {t / u"missing", t.Path(), true,
       u"正確なマテリアルベースパスを指定してください。\r\n指定しない場合は、空白にしてください。", path,
       {u"box 0 red", u"box 1"}},
      {u"", u"  " + t.Path(), false, u"ルールがありません。", u"ルールの指定", {u"box 0 red", u"box 1", u"box 0"}},
  };
  Steps steps;
  const RunHooks hooks = Recording(steps);
  for (const auto& [material, folder, rules, text, title, boxes] : cases) {
    RunOptions o = options;
    std::tie(o.MaterialText, o.TargetText, o.FileCheckOn) = std::make_tuple(material, folder, true);
    if (!rules) o.Rules.clear();
    steps.clear();
    EXPECT_EQ(quarrow::Run(user.Context(), o, hooks).Outcome, RunOutcome::Warned) << U8(text);
    EXPECT_EQ(std::make_tuple(Said(), steps), std::make_tuple(std::make_tuple(text, title, MsgIcon::Exclamation), boxes));
  }

  // Without the file check a missing material base is passed over; its box stays red.
  options.MaterialText = t / u"missing";
  steps.clear();
  EXPECT_EQ(quarrow::Run(user.Context(), options, hooks).Outcome, RunOutcome::Finished);
  EXPECT_EQ(steps, (Steps{u"box 0 red", u"box 1", u"begin", t / u"a.bms", u"refresh", u"end"}));
  EXPECT_EQ(Said(), std::make_tuple(u"処理/対象 = 1/2", u"処理結果", MsgIcon::None))
      << "not recursive; notes.txt is not in the include list";
  EXPECT_TRUE(user.Showed(u"title:置換中 - 1 / 1\r\nb.bme")) << "the counts before each chart";
}

// Whatever the include list takes, neither program's backups nor temporary files are charts.
TEST_F(RunFixture, TheProgramsOwnFilesAreNeverCharts) {
  for (const char16_t* name : {u"a.bms~1.mbk", u"b.bme~2.cbk", u"x.bms.cbk1", u"b.bme.MBK1"}) t.Write(name, "#WAV01 a.wav\r\n");
  std::tie(options.IncludeText, options.BackupOn) = std::make_tuple(u"*", false);
  quarrow::Run(user.Context(), options);
  EXPECT_EQ(user.Last().text, u"処理/対象 = 2/3") << "a.bms and notes.txt: the own files are no charts";
}

#ifndef _WIN32  // permissions, descriptors and processes of POSIX; Windows has tests of its own
TEST_F(RunFixture, EveryFolderThatCannotBeReadIsAFailureWithItsReason) {
  t.MakeFolder(u"a.bms.mbk1");  // the temporary file's name is taken by a folder
  t.MakeFolder(u"sealed");
  t.Write(u"sealed/d.bms", "#WAV01 d.wav\r\n");
  Chmod(t.Path(), 0755);
  Chmod(t / u"sub", 0777);
  Chmod(t / u"sealed", 0);
  options.RecursiveOn = true;
  const int status = RunUnprivileged([&] {
    const RunResult result = quarrow::Run(user.Context(), options);
    if (result.Failures.size() != 2u || result.Failures[1].Path != t / u"sealed") return 1;
    const std::u16string counts = u"処理/対象 = 1/3\r\n書き換えに失敗した譜面・フォルダ = 2";
    return user.Last().text.rfind(counts + u"\r\n　" + t / u"a.bms: 一時ファイル", 0) == 0 ? 0 : 2;
  });
  Chmod(t / u"sealed", 0755);
  EXPECT_EQ(status, 0) << "the charts of sub are rewritten; a.bms and the sealed folder are listed";
}

TEST_F(RunFixture, ATreeDeeperThanAPathCanBeIsWalkedWhole) {
  // 200 levels of 30-character names: far past the longest path the system takes.
  const std::string name(30, 'd');
  int fd = open(U8(t / u"sub").c_str(), O_RDONLY | O_DIRECTORY), chart;
  for (int level = 0, next; level < 200; ++level, close(fd), fd = next) {
    ASSERT_EQ(mkdirat(fd, name.c_str(), 0755), 0);
    next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
  }
  const char bytes[] = "#WAV01 x.wav\r\n";
  ASSERT_EQ(write(chart = openat(fd, "deep.bms", O_WRONLY | O_CREAT, 0644), bytes, 14), 14);
  close(chart);
  options.RecursiveOn = true;
  quarrow::Run(user.Context(), options);
  close(fd);
  EXPECT_EQ(user.Last().text, u"処理/対象 = 3/4") << "no failure listed";
}
#endif

TEST_F(RunFixture, AStopEndsAfterTheChartUnderWay) {
  options.RecursiveOn = true;
  // Progress events of a run: 1-4 preparing, 5-8 the target folder (8 is its poll), 9-11 a.bms,
  // 12-14 b.bme. A click is delivered at the next poll; the run is asked whether to stop.
  auto click_at = [&](int when, bool answer) {
    t.Write(u"a.bms", "#WAV01 a.wav\r\n");
    t.Write(u"sub/c.bms", "#WAV01 c.wav\r\n");
    std::tie(user.view->events, user.view->asked, user.view->answers) = std::make_tuple(0, Steps{}, std::deque{answer});
    user.view->on_events = [&, when](int n) { user.view->pending_clicks = n == when ? 1 : 0; };
    const RunOutcome outcome = quarrow::Run(user.Context(), options).Outcome;
    return std::make_tuple(outcome, user.view->asked, user.Last().text, t.Read(u"a.bms") + t.Read(u"sub/c.bms"));
  };
  // The chart under way is finished first; the subfolder is never reached.
  EXPECT_EQ(click_at(13, true), std::make_tuple(RunOutcome::Cancelled, Steps{u"置換中"}, u"処理/対象 = 1/1",
                                                "#WAV01 a.ogg\r\n#WAV01 c.wav\r\n"));
  EXPECT_EQ(click_at(8, true), std::make_tuple(RunOutcome::Cancelled, Steps{u"ファイルリスト取得中"},
                                               u"処理/対象 = 0/0", "#WAV01 a.wav\r\n#WAV01 c.wav\r\n"));
}
