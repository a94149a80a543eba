#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Recorders.h"
#include "TempDir.h"
#include "cli.h"
#include "mdlAppGlobal.h"
#include "mdlMain.h"
#include "mdlTools.h"
#include "platform/fs.h"

using namespace quarrow;

namespace {

std::string Read(const std::u16string& path) {
  std::string bytes;
  EXPECT_TRUE(platform::ReadFile(path, bytes)) << U8(path);
  return bytes;
}

// A target tree, the recorder of messages and a progress dialog whose button the test presses.
struct RunFixture : ::testing::Test {
  RunFixture() {
    auto owned = std::make_unique<ScriptedCancelView>();
    view = owned.get();
    mdlAppGlobal::SetCancelView(std::move(owned));
    State() = RunState();
    t.Write(u"a.bms", "#WAV01 a.wav\r\n");
    t.Write(u"b.bme", "#TITLE b\r\n");
    t.Write(u"notes.txt", "#WAV01 a.wav\r\n");
    t.MakeFolder(u"sub");
    t.Write(u"sub/c.bms", "#WAV01 c.wav\r\n");
    options.TargetText = t.Path();
    options.FileCheckOn = false;
    options.Rules = {MakeRuleEntry(u"#WAV?? *.wav", u"#WAV?? *.ogg")};
  }
  ~RunFixture() override {
    mdlAppGlobal::SetCancelView(std::make_unique<ScriptedCancelView>());
    State() = RunState();
  }
  const RecordedMessage& Last() { return messages.messages.back(); }

  TempDir t;
  RecordingMessages messages;
  ScriptedCancelView* view;
  RunOptions options;
};

}  // namespace

TEST_F(RunFixture, WarningsStopTheRunBeforeAnythingIsTouched) {
  struct Case {
    std::u16string material, target;
    bool file_check, rules;
    std::u16string text, title;
  };
  const std::vector<Case> cases = {
      {u"", u"", true, true, u"正確なターゲットパスを指定してください。", u"パスの指定"},
      {u"", t / u"missing", true, true, u"正確なターゲットパスを指定してください。", u"パスの指定"},
      {t / u"missing", t.Path(), true, true,
       u"正確なマテリアルベースパスを指定してください。\r\n指定しない場合は、空白にしてください。", u"パスの指定"},
      {u"", t.Path(), true, false, u"ルールがありません。", u"ルールの指定"},
  };
  for (const auto& c : cases) {
    RunOptions o = options;
    o.MaterialText = c.material;
    o.TargetText = c.target;
    o.FileCheckOn = c.file_check;
    if (!c.rules) o.Rules.clear();
    std::vector<std::pair<int, bool>> boxes;
    RunHooks hooks;
    hooks.PathChecked = [&](int i, bool ok) { boxes.emplace_back(i, ok); };
    bool began = false;
    hooks.Begin = [&] { began = true; };
    EXPECT_EQ(quarrow::Run(o, hooks), RunOutcome::Warned);
    EXPECT_FALSE(began);
    EXPECT_EQ(Last().text, c.text);
    EXPECT_EQ(Last().title, c.title);
    EXPECT_EQ(Last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(boxes.back().second, !(c.target.empty() || c.target == t / u"missing") || boxes.back().first == 0);
  }
  EXPECT_EQ(Read(t / u"a.bms"), "#WAV01 a.wav\r\n");
}

TEST_F(RunFixture, AMissingMaterialBaseWithoutTheFileCheckIsPassedOver) {
  options.MaterialText = t / u"missing";
  std::vector<std::pair<int, bool>> boxes;
  RunHooks hooks;
  hooks.PathChecked = [&](int i, bool ok) { boxes.emplace_back(i, ok); };
  EXPECT_EQ(quarrow::Run(options, hooks), RunOutcome::Finished);
  EXPECT_EQ(boxes.front(), std::make_pair(0, false)) << "the box stays red";
  options.MaterialText = u"   ";
  boxes.clear();
  options.FileCheckOn = true;
  EXPECT_EQ(quarrow::Run(options, hooks), RunOutcome::Finished) << "blanks mean no material base folder";
  EXPECT_EQ(boxes.back(), std::make_pair(0, true));
}

TEST_F(RunFixture, ARunRewritesTheListedChartsAndReportsTheCounts) {
  std::vector<std::u16string> steps;
  RunHooks hooks;
  hooks.Begin = [&] { steps.push_back(u"begin"); };
  hooks.Refresh = [&] { steps.push_back(u"refresh"); };
  hooks.End = [&] { steps.push_back(u"end"); };
  EXPECT_EQ(quarrow::Run(options, hooks), RunOutcome::Finished);
  EXPECT_EQ(steps, (std::vector<std::u16string>{u"begin", u"refresh", u"end"}));
  EXPECT_EQ(Last().text, u"処理/対象 = 1/2");
  EXPECT_EQ(Last().title, u"処理結果");
  EXPECT_EQ(Last().icon, MsgIcon::None);
  EXPECT_EQ(Read(t / u"a.bms"), "#WAV01 a.ogg\r\n");
  EXPECT_EQ(Read(t / u"notes.txt"), "#WAV01 a.wav\r\n") << "not in the include list";
  EXPECT_EQ(Read(t / u"sub/c.bms"), "#WAV01 c.wav\r\n") << "not recursive";
  EXPECT_FALSE(view->shown);
  // The progress dialog names each chart with the counts before it.
  bool named = false;
  for (const auto& entry : view->log) named = named || entry == u"title:置換中 - 1 / 1\r\nb.bme";
  EXPECT_TRUE(named);

  options.RecursiveOn = true;
  quarrow::Run(options, hooks);
  EXPECT_EQ(Last().text, u"処理/対象 = 1/3");
  EXPECT_EQ(Read(t / u"sub/c.bms"), "#WAV01 c.ogg\r\n");
}

TEST_F(RunFixture, FailedChartsAreNotCountedAsRewrittenAndAreReported) {
  t.MakeFolder(u"a.bms.mbk1");
  EXPECT_EQ(quarrow::Run(options), RunOutcome::Finished);
  EXPECT_EQ(Last().text, u"処理/対象 = 0/2\r\n書き換えに失敗した譜面 = 1");
  EXPECT_EQ(Read(t / u"a.bms"), "#WAV01 a.wav\r\n");
}

TEST_F(RunFixture, CancelAnsweredNoGoesOnAndYesStops) {
  options.RecursiveOn = true;
  // Progress events of a run: 1-4 preparing, 5-8 the target folder (8 is its poll), 9-11 a.bms,
  // 12-14 b.bme. A click is delivered at the next poll.
  auto click_at = [&](int when, bool answer) {
    State() = RunState();
    t.Write(u"a.bms", "#WAV01 a.wav\r\n");
    t.Write(u"sub/c.bms", "#WAV01 c.wav\r\n");
    view->events = 0;
    view->asked.clear();
    view->answers = {answer};
    view->on_events = [&, when](int n) {
      if (n == when) view->pending_clicks = 1;
    };
  };

  click_at(8, false);
  EXPECT_EQ(quarrow::Run(options), RunOutcome::Finished);
  EXPECT_EQ(view->asked, std::vector<std::u16string>{u"ファイルリスト取得中"});
  EXPECT_EQ(Last().text, u"処理/対象 = 2/3");

  click_at(13, true);
  EXPECT_EQ(quarrow::Run(options), RunOutcome::Cancelled);
  EXPECT_EQ(view->asked, std::vector<std::u16string>{u"置換中"});
  EXPECT_EQ(Last().text, u"処理/対象 = 1/1") << "the chart under way is finished first";
  EXPECT_EQ(Read(t / u"sub/c.bms"), "#WAV01 c.wav\r\n") << "the subfolder was never reached";
  EXPECT_FALSE(view->shown);

  click_at(8, true);
  EXPECT_EQ(quarrow::Run(options), RunOutcome::Cancelled);
  EXPECT_EQ(Last().text, u"処理/対象 = 0/0");
  EXPECT_EQ(Read(t / u"a.bms"), "#WAV01 a.wav\r\n");
}

TEST(QuarrowCli, RunsDryRunsAndReportsByExitStatus) {
  TempDir t;
  t.Write(u"a.bms", "#WAV01 a.wav\r\n#WAV02 b.wav\r\n");
  t.Write(u"a.ogg", "");
  t.MakeFolder(u"sub");
  t.Write(u"sub/b.BMS", "#WAV01 x.wav\r\n");
  const std::vector<std::u16string> rule = {u"--rule", u"#WAV?? *.wav", u"#WAV?? *.ogg", u"--no-backup"};
  auto args = [&](std::vector<std::u16string> extra) {
    std::vector<std::u16string> all = rule;
    all.insert(all.end(), extra.begin(), extra.end());
    return all;
  };

  testing::internal::CaptureStdout();
  EXPECT_EQ(CliMain(args({u"--dry-run", u"--recursive", u"--no-file-check", t.Path()})), 0);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("would rewrite " + U8(t / u"a.bms") + " (2 lines changed)\n  - #WAV01 a.wav\n  + #WAV01 a.ogg\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("処理/対象 = 2/2"), std::string::npos) << out;
  EXPECT_EQ(Read(t / u"a.bms"), "#WAV01 a.wav\r\n#WAV02 b.wav\r\n");

  testing::internal::CaptureStdout();
  EXPECT_EQ(CliMain(args({u"--file-check", t.Path()})), 0);
  out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("処理/対象 = 1/1"), std::string::npos) << out;
  EXPECT_EQ(Read(t / u"a.bms"), "#WAV01 a.ogg\r\n#WAV02 b.wav\r\n") << "b.ogg is missing";

  t.MakeFolder(u"sub/b.BMS.mbk1");
  testing::internal::CaptureStdout();
  EXPECT_EQ(CliMain(args({u"--recursive", u"--no-file-check", u"--include", u"*.bms", t.Path()})), 2);
  testing::internal::GetCapturedStdout();

  testing::internal::CaptureStdout();
  EXPECT_EQ(CliMain({u"--rule", u"*", u"**", t.Path()}), 1) << "an invalid rule";
  EXPECT_EQ(CliMain(args({t / u"missing"})), 1) << "a missing target";
  EXPECT_EQ(CliMain(args({})), 1);
  EXPECT_EQ(CliMain(args({u"--bogus", t.Path()})), 1);
  EXPECT_EQ(CliMain({u"--rules", t / u"none.rul", t.Path()}), 1);
  testing::internal::GetCapturedStdout();
}
