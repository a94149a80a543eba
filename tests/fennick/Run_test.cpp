#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "toolkit/mdlTools.h"

#include "tests/fennick/FennickTest.h"

using namespace fennick;
using namespace fennick_test;

namespace {

constexpr char kPlainChart[] = "#WAV01 kick.wav\r\n";

class RunTest : public FennickTest {
 protected:
  RunTest() {
    for (const char16_t* set : {u"Material", u"Material/song1", u"Material/drums"}) t.MakeFolder(set);
    t.Write(u"Material/song1/kick.wav", "");
    t.Write(u"Material/drums/kick.wav", "");
    for (const std::u16string& folder : ChartFolders()) {
      t.MakeFolder(u"charts" + folder);
      t.Write(u"charts" + folder + u"/c.bms", kPlainChart);
      t.Write(u"charts" + folder + u"/kick.wav", "");
    }
  }
  // The chart tree: every folder holds a chart naming kick.wav, and kick.wav itself.
  static std::vector<std::u16string> ChartFolders() {
    return {u"", u"/song1", u"/song1/drums", u"/other", u"/other/DRUMS", u"/other/DRUMS/drums"};
  }
  std::u16string Folder(const std::u16string& folder) const { return t / (u"charts" + folder); }

  RunOptions Options(const std::u16string& source, const std::u16string& target) const {
    RunOptions o;
    o.SourceText = source;
    o.TargetText = target;
    o.BackupOn = false;
    return o;
  }

  // Which folder of the chart tree was paired with which sound set ("" for none).
  void ExpectPairs(const std::map<std::u16string, std::u16string>& pairs, bool ran = true) {
    for (const std::u16string& folder : ChartFolders()) {
      const auto it = pairs.find(folder);
      const std::u16string set = it == pairs.end() ? std::u16string() : it->second;
      const std::string where = "charts" + U8(folder);
      if (set.empty()) {
        EXPECT_TRUE(platform::FileExists(Folder(folder) + u"/kick.wav")) << where;
        EXPECT_EQ(ReadBytes(Folder(folder) + u"/c.bms"), kPlainChart) << where;
      } else {
        EXPECT_FALSE(platform::PathExists(Folder(folder) + u"/kick.wav")) << where;
        EXPECT_EQ(ReadBytes(Folder(folder) + u"/c.bms"), "#WAV01 <" + U8(set) + ">kick.wav\r\n") << where;
      }
    }
    const std::u16string n = mdlTools::Decimal(static_cast<std::int64_t>(pairs.size()));
    if (ran) {
      EXPECT_EQ(ResultMessage(), u"同期削除数 = " + n + u"\r\nマテリアル変換 処理/対象 = " + n + u" / " + n);
    }
  }

  std::u16string ResultMessage() const {
    return user.messages.messages.empty() ? std::u16string() : user.messages.messages.back().text;
  }
};

}  // namespace

TEST_F(RunTest, PairingsOfSourceAndTargetFolders) {
  struct Case {
    const char* what;
    bool base, recursive;
    std::u16string source, target;
    std::map<std::u16string, std::u16string> pairs;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"base folder, the target's own set", true, false, u"Material", u"/song1", {{u"/song1", u"song1"}}},
      {"base folder, no set of the target's name", true, false, u"Material", u"/other", {}},
      {"base folder, recursive: each folder's own set, nothing below a match", true, true, u"Material", u"",
       {{u"/song1", u"song1"}, {u"/other/DRUMS", u"drums"}}},
      {"sound set, recursive: every folder named like it, nothing below a match", false, true, u"Material/drums",
       u"", {{u"/song1/drums", u"drums"}, {u"/other/DRUMS", u"drums"}}},
      {"sound set, the target alone", false, false, u"Material/drums", u"", {{u"", u"drums"}}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunOptions o = Options(t / c.source, Folder(c.target));
    o.BaseFolderOn = c.base;
    o.RecursiveOn = c.recursive;
    EXPECT_EQ(fennick::Run(o).Outcome, RunOutcome::Finished);
    ExpectPairs(c.pairs);
    // Put the tree back for the next case.
    for (const std::u16string& folder : ChartFolders()) {
      platform::WriteWholeFile(Folder(folder) + u"/c.bms", kPlainChart);
      platform::WriteWholeFile(Folder(folder) + u"/kick.wav", "");
    }
  }
}

// Clear mode alone needs no source: the set tags of the target's own charts go, nothing is
// deleted and no subfolder is visited.
TEST_F(RunTest, ClearOnlyIgnoresTheSourceBox) {
  t.Write(u"charts/c.bms", "#WAV01 <old>kick.wav\r\n");
  t.Write(u"charts/song1/c.bms", "#WAV01 <old>kick.wav\r\n");
  RunOptions o = Options(t / u"no such folder", Folder(u""));
  o.ConvertMode = kModeClear;
  o.SyncDeleteOn = false;
  EXPECT_EQ(fennick::Run(o).Outcome, RunOutcome::Finished);
  EXPECT_EQ(ReadBytes(Folder(u"/c.bms")), kPlainChart);
  EXPECT_EQ(ReadBytes(Folder(u"/song1/c.bms")), "#WAV01 <old>kick.wav\r\n");
  EXPECT_TRUE(platform::FileExists(Folder(u"/kick.wav")));
  EXPECT_EQ(ResultMessage(), u"同期削除数 = 0\r\nマテリアル変換 処理/対象 = 1 / 1");
}

// Every check that stops a run shows one message and leaves the disk as it was; the overlap question
// turns both boxes red on No.
TEST_F(RunTest, ChecksBeforeTheRunWarnAndChangeNothing) {
  const std::u16string good = t / u"Material/drums", bad = t / u"missing", target = Folder(u"");
  const std::u16string no_source = u"正確なソースパスを指定してください";
  const std::u16string overlap =
      u"変換フォルダとソースフォルダが同一のフォルダ、\r\nあるいは一方がもう一方のフォルダに含まれています。\r\n"
      u"想定外の結果になる可能性がありますが、このまま続行しますか？\r\n(あまりお薦めしません。)";
  const auto inside = t.MakeFolder(u"charts/song1/drums/set");
  t.MakeFolder(u"charts2");
  using Colours = std::vector<std::pair<int, bool>>;  // the boxes' colours, in order (false: red)
  const Colours red_source = {{0, false}, {1, true}}, asked = {{0, true}, {1, true}, {0, false}, {1, false}};
  struct Case {
    const char* what;
    bool sync, convert, recursive;
    int mode;
    std::u16string source, target, message;
    MsgIcon icon;
    Colours checked;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"no operation: the boxes are not examined", false, false, false, kModeNormal, good, target,
       u"処理内容が一つも選択されませんでした。", MsgIcon::None, {}},
      {"no target", true, true, false, kModeNormal, good, bad, u"正確なターゲットパスを指定してください",
       MsgIcon::Exclamation, {{0, true}, {1, false}}},
      {"no source", true, true, false, kModeNormal, bad, target, no_source, MsgIcon::Exclamation, red_source},
      {"clear with recursion needs a source", false, true, true, kModeClear, bad, target, no_source,
       MsgIcon::Exclamation, red_source},
      {"clear with sync deletion needs a source", true, true, false, kModeClear, bad, target, no_source,
       MsgIcon::Exclamation, red_source},
      {"source inside the target", true, true, false, kModeNormal, inside, target, overlap, MsgIcon::Question, asked},
      {"target inside the source", true, true, false, kModeNormal, target, inside, overlap, MsgIcon::Question, asked},
      {"a mere common beginning of the names", true, true, false, kModeNormal, target, t / u"charts2", overlap,
       MsgIcon::Question, asked},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    user.messages.messages.clear();
    std::vector<std::pair<int, bool>> checked;
    RunHooks hooks;
    hooks.PathChecked = [&](int i, bool ok) { checked.emplace_back(i, ok); };
    RunOptions o = Options(c.source, c.target);
    o.SyncDeleteOn = c.sync;
    o.ConvertOn = c.convert;
    o.RecursiveOn = c.recursive;
    o.ConvertMode = c.mode;
    o.BaseFolderOn = false;
    EXPECT_EQ(fennick::Run(o, hooks).Outcome, RunOutcome::Warned);
    ASSERT_EQ(user.messages.messages.size(), 1u);
    EXPECT_EQ(user.messages.messages[0].text, c.message);
    EXPECT_EQ(user.messages.messages[0].title, c.icon == MsgIcon::None ? u"処理結果" : u"パスの指定");
    EXPECT_EQ(user.messages.messages[0].icon, c.icon);
    EXPECT_EQ(checked, c.checked);
  }
  ExpectPairs({}, false);

  // Yes to the question goes on as if nothing had been asked.
  user.messages.answers = {true};
  t.Write(u"Material/c.bms", kPlainChart);
  RunOptions o = Options(t / u"Material/song1", t / u"Material");
  o.BaseFolderOn = false;
  o.SyncDeleteOn = false;
  EXPECT_EQ(fennick::Run(o).Outcome, RunOutcome::Finished);
  EXPECT_EQ(ReadBytes(t / u"Material/c.bms"), "#WAV01 <song1>kick.wav\r\n");
}

// The stop button, confirmed, ends the run at the next poll; the lists are refreshed and the
// result shows the counts reached.
TEST_F(RunTest, CancelInTheMiddleEndsWithTheCountsReached) {
  const std::u16string folder = Folder(u"/song1");
  struct Case {
    std::u16string press_at;  // the button is pressed while a caption holding this is shown
    std::u16string result;
    int converted;
  };
  for (const Case& c : {Case{u"ファイルリスト取得中", u"同期削除数 = 1\r\nマテリアル変換 処理/対象 = 0 / 0", 0},
                        Case{u"c5.bms", u"同期削除数 = 1\r\nマテリアル変換 処理/対象 = 6 / 6", 6}}) {
    SCOPED_TRACE(U8(c.press_at));
    for (char16_t i = u'0'; i <= u'9'; ++i) platform::WriteWholeFile(folder + u"/c" + i + u".bms", kPlainChart);
    platform::WriteWholeFile(folder + u"/c.bms", kPlainChart);
    platform::WriteWholeFile(folder + u"/kick.wav", "");
    user.messages.messages.clear();
    user.view->on_events = [&](int) {
      if (mdlAppGlobal::Cancel().Caption().find(c.press_at) != std::u16string::npos) user.view->pending_clicks = 1;
    };
    user.view->answers = {true};
    std::vector<std::u16string> order;
    RunHooks hooks;
    hooks.Refresh = [&] { order.push_back(u"refresh"); };
    hooks.End = [&] { order.push_back(u"end"); };
    EXPECT_EQ(fennick::Run(Options(t / u"Material", folder), hooks).Outcome, RunOutcome::Cancelled);
    EXPECT_EQ(ResultMessage(), c.result);
    EXPECT_FALSE(user.view->shown);
    EXPECT_EQ(order, (std::vector<std::u16string>{u"refresh", u"end"}));
    int converted = 0;
    for (const auto& name : Names(folder))
      converted += name.find(u".bms") != std::u16string::npos && ReadBytes(folder + u"/" + name) != kPlainChart;
    EXPECT_EQ(converted, c.converted);
  }
}
