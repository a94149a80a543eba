#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "quarrow/mdlMain.h"
#ifndef _WIN32
#include <fcntl.h>

#include "tests/support/Posix.h"
#endif
#include "tests/support/Recorders.h"
#include "tests/support/TempDir.h"
#include "toolkit/cli/ConsoleViews.h"
#include "toolkit/mdlAppGlobal.h"
#include "toolkit/mdlTools.h"
#include "toolkit/platform/fs.h"

using namespace quarrow;

namespace {

// A target tree, the user, and the options of a run over it.
struct RunFixture : ::testing::Test {
  RunFixture() {
    t.Write(u"a.bms", "#WAV01 a.wav\r\n");
    t.Write(u"b.bme", "#TITLE b\r\n");
    t.Write(u"notes.txt", "#WAV01 a.wav\r\n");
    t.MakeFolder(u"sub");
    t.Write(u"sub/c.bms", "#WAV01 c.wav\r\n");
    options.TargetText = t.Path();
    options.FileCheckOn = false;
    options.Rules = {MakeRuleEntry(u"#WAV?? *.wav", u"#WAV?? *.ogg")};
  }
  TempDir t;
  ScriptedUser user;
  RunOptions options;
};

}  // namespace

TEST_F(RunFixture, WarningsStopTheRunBeforeAnythingIsTouched) {
  using Boxes = std::vector<std::pair<int, bool>>;
  struct Case {
    std::u16string material, target;
    bool rules;
    std::u16string text, title;
    Boxes boxes;  // every colouring of the folder boxes, in order (false: red)
  };
  const std::vector<Case> cases = {
      {u"", u"", true, u"正確なターゲットパスを指定してください。", u"パスの指定", {{0, false}, {1, false}, {0, true}}},
      {u"  ", t / u"missing", true, u"正確なターゲットパスを指定してください。", u"パスの指定",
       {{0, false}, {1, false}, {0, true}}},
      {t / u"missing", t.Path(), true,
       u"正確なマテリアルベースパスを指定してください。\r\n指定しない場合は、空白にしてください。", u"パスの指定",
       {{0, false}, {1, true}}},
      {u"", u"  " + t.Path(), false, u"ルールがありません。", u"ルールの指定", {{0, false}, {1, true}, {0, true}}},
  };
  for (const auto& c : cases) {
    RunOptions o = options;
    o.MaterialText = c.material;
    o.TargetText = c.target;
    o.FileCheckOn = true;
    if (!c.rules) o.Rules.clear();
    Boxes boxes;
    bool began = false;
    RunHooks hooks;
    hooks.PathChecked = [&](int i, bool ok) { boxes.emplace_back(i, ok); };
    hooks.Begin = [&] { began = true; };
    EXPECT_EQ(quarrow::Run(o, hooks).Outcome, RunOutcome::Warned);
    EXPECT_FALSE(began);
    EXPECT_EQ(user.Last().text, c.text);
    EXPECT_EQ(user.Last().title, c.title);
    EXPECT_EQ(user.Last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(boxes, c.boxes) << U8(c.text);
  }
  // Without the file check a missing material base is passed over; the box stays red.
  options.MaterialText = t / u"missing";
  Boxes boxes;
  RunHooks hooks;
  hooks.PathChecked = [&](int i, bool ok) { boxes.emplace_back(i, ok); };
  EXPECT_EQ(quarrow::Run(options, hooks).Outcome, RunOutcome::Finished);
  EXPECT_EQ(boxes, (Boxes{{0, false}, {1, true}}));
  EXPECT_EQ(t.Read(u"sub/c.bms"), "#WAV01 c.wav\r\n");
}

TEST_F(RunFixture, ARunRewritesTheListedChartsAndReportsTheCounts) {
  std::vector<std::u16string> steps;
  RunHooks hooks;
  hooks.Begin = [&] { steps.push_back(u"begin"); };
  hooks.Changed = [&](const ChartChange& c) { steps.push_back(c.Path); };
  hooks.Refresh = [&] { steps.push_back(u"refresh"); };
  hooks.End = [&] { steps.push_back(u"end"); };
  EXPECT_EQ(quarrow::Run(options, hooks).Outcome, RunOutcome::Finished);
  EXPECT_EQ(steps, (std::vector<std::u16string>{u"begin", t / u"a.bms", u"refresh", u"end"}));
  EXPECT_EQ(user.Last().text, u"処理/対象 = 1/2");
  EXPECT_EQ(user.Last().title, u"処理結果");
  EXPECT_EQ(user.Last().icon, MsgIcon::None);
  EXPECT_EQ(t.Read(u"a.bms"), "#WAV01 a.ogg\r\n");
  EXPECT_EQ(t.Read(u"notes.txt"), "#WAV01 a.wav\r\n") << "not in the include list";
  EXPECT_EQ(t.Read(u"sub/c.bms"), "#WAV01 c.wav\r\n") << "not recursive";
  EXPECT_TRUE(user.Showed(u"title:置換中 - 1 / 1\r\nb.bme")) << "the counts before each chart";
  EXPECT_FALSE(user.view->shown);

  options.RecursiveOn = true;
  options.DryRun = true;
  steps.clear();
  quarrow::Run(options, hooks);
  EXPECT_EQ(user.Last().text, u"処理/対象 = 1/3");
  EXPECT_EQ(t.Read(u"sub/c.bms"), "#WAV01 c.wav\r\n") << "a dry run writes nothing";
  options.DryRun = false;
  quarrow::Run(options, hooks);
  EXPECT_EQ(t.Read(u"sub/c.bms"), "#WAV01 c.ogg\r\n");
}

#ifndef _WIN32  // permissions, descriptors and processes of POSIX; Windows has tests of its own
TEST_F(RunFixture, EveryFolderThatCannotBeReadIsAFailureWithItsReason) {
  t.MakeFolder(u"a.bms.mbk1");  // the temporary file's name is taken by a folder
  t.MakeFolder(u"sealed");
  t.Write(u"sealed/d.bms", "#WAV01 d.wav\r\n");
  Chmod(t.Path(), 0755);
  Chmod(t / u"sub", 0777);
  Chmod(t / u"sealed", 0);
  // As root: a sticky folder where the other user may add the new chart but not put it in place of
  // root's, so that a chart fails after it was written.
  const bool sticky = geteuid() == 0;
  if (sticky) {
    t.MakeFolder(u"sticky");
    Chmod(t / u"sticky", 01777);
    t.Write(u"sticky/e.bms", "#WAV01 e.wav\r\n");
  }
  options.RecursiveOn = true;
  const int status = RunUnprivileged([&] {
    const RunResult result = quarrow::Run(options);
    const std::u16string& text = user.Last().text;
    if (result.Failures.size() != (sticky ? 3u : 2u) || result.Failures[1].Path != t / u"sealed") return 1;
    const std::u16string counts = sticky ? u"処理/対象 = 1/4\r\n書き換えに失敗した譜面・フォルダ = 3" :
                                           u"処理/対象 = 1/3\r\n書き換えに失敗した譜面・フォルダ = 2";
    return text.rfind(counts + u"\r\n　" + t / u"a.bms: 一時ファイル", 0) == 0 ? 0 : 2;
  });
  Chmod(t / u"sealed", 0755);
  EXPECT_EQ(status, 0) << "the charts of sub are rewritten; a.bms and the sealed folder are listed";
  EXPECT_EQ(t.Read(u"a.bms"), "#WAV01 a.wav\r\n");
  EXPECT_EQ(t.Read(u"sealed/d.bms"), "#WAV01 d.wav\r\n");
}

TEST_F(RunFixture, ATreeDeeperThanAPathCanBeIsWalkedWhole) {
  // 200 levels of 30-character names: far past the longest path the system takes.
  const std::string name(30, 'd');
  int fd = open(U8(t / u"sub").c_str(), O_RDONLY | O_DIRECTORY);
  for (int level = 0; level < 200; ++level) {
    ASSERT_EQ(mkdirat(fd, name.c_str(), 0755), 0);
    const int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
  }
  const int chart = openat(fd, "deep.bms", O_WRONLY | O_CREAT, 0644);
  ASSERT_EQ(write(chart, "#WAV01 x.wav\r\n", 14), 14);
  close(chart);
  options.RecursiveOn = true;
  const RunResult result = quarrow::Run(options);
  EXPECT_TRUE(result.Failures.empty()) << U8(result.Failures.empty() ? u"" : result.Failures[0].Reason);
  EXPECT_EQ(user.Last().text, u"処理/対象 = 3/4");
  char bytes[32] = {};
  const int back = openat(fd, "deep.bms", O_RDONLY);
  ASSERT_EQ(read(back, bytes, sizeof bytes), 14);
  close(back);
  close(fd);
  EXPECT_STREQ(bytes, "#WAV01 x.ogg\r\n");
}

TEST_F(RunFixture, TwoRunsOnOneFolderNeverMixTheirCharts) {
  const std::string body = "#WAV01 a.wav\r\n" + std::string(4000, 'x') + "\r\n";
  for (int i = 0; i < 300; ++i) t.Write(u"m" + mdlTools::Decimal(i) + u".bms", body);
  RunOptions other = options;
  other.Rules = {MakeRuleEntry(u"#WAV?? *.wav", u"#WAV?? *.mp3")};
  pid_t runs[2];
  for (int k = 0; k < 2; ++k) {
    runs[k] = fork();
    if (runs[k] == 0) _exit(quarrow::Run(k == 0 ? options : other).Failures.empty() ? 0 : 2);
  }
  for (const pid_t run : runs) {
    int status = 0;
    ASSERT_EQ(waitpid(run, &status, 0), run);
    EXPECT_TRUE(WIFEXITED(status)) << "a run ends by itself, whether it waited its turn or not";
  }
  for (int i = 0; i < 300; ++i) {
    const std::string bytes = t.Read(u"m" + mdlTools::Decimal(i) + u".bms");
    const std::string head = bytes.substr(0, 14);
    EXPECT_TRUE(head == "#WAV01 a.ogg\r\n" || head == "#WAV01 a.mp3\r\n" || head == "#WAV01 a.wav\r\n") << i;
    EXPECT_EQ(bytes.size(), body.size()) << i << ": one run's chart, whole";
  }
  for (const std::u16string& name : t.Names()) EXPECT_EQ(name.find(u".mbk1"), std::u16string::npos) << U8(name);
}

#endif

TEST_F(RunFixture, CancelAnsweredNoGoesOnAndYesStops) {
  options.RecursiveOn = true;
  // Progress events of a run: 1-4 preparing, 5-8 the target folder (8 is its poll), 9-11 a.bms,
  // 12-14 b.bme. A click is delivered at the next poll.
  auto click_at = [&](int when, bool answer) {
    t.Write(u"a.bms", "#WAV01 a.wav\r\n");
    t.Write(u"sub/c.bms", "#WAV01 c.wav\r\n");
    user.view->events = 0;
    user.view->asked.clear();
    user.view->answers = {answer};
    user.view->on_events = [&, when](int n) {
      if (n == when) user.view->pending_clicks = 1;
    };
  };
  click_at(8, false);
  EXPECT_EQ(quarrow::Run(options).Outcome, RunOutcome::Finished);
  EXPECT_EQ(user.view->asked, std::vector<std::u16string>{u"ファイルリスト取得中"});
  EXPECT_EQ(user.Last().text, u"処理/対象 = 2/3");

  click_at(13, true);
  EXPECT_EQ(quarrow::Run(options).Outcome, RunOutcome::Cancelled);
  EXPECT_EQ(user.view->asked, std::vector<std::u16string>{u"置換中"});
  EXPECT_EQ(user.Last().text, u"処理/対象 = 1/1") << "the chart under way is finished first";
  EXPECT_EQ(t.Read(u"a.bms"), "#WAV01 a.ogg\r\n");
  EXPECT_EQ(t.Read(u"sub/c.bms"), "#WAV01 c.wav\r\n") << "the subfolder was never reached";
  EXPECT_FALSE(user.view->shown);

  click_at(8, true);
  EXPECT_EQ(quarrow::Run(options).Outcome, RunOutcome::Cancelled);
  EXPECT_EQ(user.Last().text, u"処理/対象 = 0/0");
  EXPECT_EQ(t.Read(u"a.bms"), "#WAV01 a.wav\r\n");
}

TEST_F(RunFixture, ATerminateSignalStopsLikeCtrlCAndLeavesNoTemporaryFile) {
  mdlAppGlobal::SetCancelView(std::make_unique<ConsoleCancelView>());
  options.RecursiveOn = true;
  RunHooks hooks;
  hooks.Changed = [](const ChartChange&) { raise(SIGTERM); };  // while the first folder is put in place
  EXPECT_EQ(quarrow::Run(options, hooks).Outcome, RunOutcome::Cancelled);
  EXPECT_EQ(t.Read(u"a.bms"), "#WAV01 a.ogg\r\n");
  EXPECT_EQ(t.Read(u"sub/c.bms"), "#WAV01 c.wav\r\n");
  EXPECT_EQ(t.Names(), (std::vector<std::u16string>{u"a.bms", u"a.bms~1.mbk", u"b.bme", u"notes.txt", u"sub"}));
}
