#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "tests/fennick/FennickTest.h"
#include "toolkit/mdlTools.h"

using namespace fennick;
using namespace fennick_test;

namespace {

constexpr char kPlainChart[] = "#WAV01 kick.wav\r\n";
// The chart tree: every folder holds a chart naming kick.wav, and kick.wav itself.
const char16_t* const kChartFolders[] = {u"", u"/song1", u"/song1/drums", u"/other", u"/other/DRUMS",
                                         u"/other/DRUMS/drums"};

class RunTest : public FennickTest {
 protected:
  RunTest() {
    for (const char16_t* name : {u"Material", u"Material/song1", u"Material/drums"}) t.MakeFolder(name);
    t.Write(u"Material/song1/kick.wav", "");
    t.Write(u"Material/drums/kick.wav", "");
    for (const char16_t* folder : kChartFolders) t.MakeFolder(u"charts" + std::u16string(folder));
    Reset();
  }
  void Reset() {
    for (const char16_t* folder : kChartFolders) {
      platform::WriteWholeFile(Folder(folder) + u"/c.bms", kPlainChart);
      platform::WriteWholeFile(Folder(folder) + u"/kick.wav", "");
    }
  }
  std::u16string Folder(const std::u16string& folder) const { return t / (u"charts" + folder); }
  RunOptions Options(const std::u16string& source, const std::u16string& target) const {
    RunOptions o;
    o.SourceText = source;
    o.TargetText = target;
    o.BackupOn = false;
    return o;
  }
  // Which folders of the chart tree were paired with which sound set: their kick.wav gone, their
  // chart tagged; every other folder as it was.
  void ExpectPairs(const std::map<std::u16string, std::u16string>& pairs) {
    std::map<std::u16string, std::string> got, want;
    for (const char16_t* folder : kChartFolders) {
      const auto it = pairs.find(folder);
      want[folder] = it == pairs.end() ? std::string("kick.wav, ") + kPlainChart : "#WAV01 <" + U8(it->second) + ">kick.wav\r\n";
      got[folder] = (platform::PathExists(Folder(folder) + u"/kick.wav") ? "kick.wav, " : "") + ReadBytes(Folder(folder) + u"/c.bms");
    }
    EXPECT_EQ(got, want);
  }
  std::u16string Result() const { return user.messages.messages.empty() ? u"" : user.Last().text; }
};

}  // namespace

TEST_F(RunTest, PairingsOfSourceAndTargetFolders) {
  struct Case {
    const char* what;
    bool base, recursive;
    std::u16string source, target;
    std::map<std::u16string, std::u16string> pairs;
  };
  const std::vector<Case> cases = {
      {"base folder, the target's own set", true, false, u"Material", u"/song1", {{u"/song1", u"song1"}}},
      {"base folder, no set of the target's name", true, false, u"Material", u"/other", {}},
      {"base folder, recursive: each folder's own set, nothing below a match", true, true, u"Material", u"",
       {{u"/song1", u"song1"}, {u"/other/DRUMS", u"drums"}}},
      {"sound set, recursive: every folder named like it, nothing below a match", false, true, u"Material/drums",
       u"", {{u"/song1/drums", u"drums"}, {u"/other/DRUMS", u"drums"}}},
      {"sound set, the target alone", false, false, u"Material/drums", u"", {{u"", u"drums"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunOptions o = Options(t / c.source, Folder(c.target));
    o.BaseFolderOn = c.base;
    o.RecursiveOn = c.recursive;
    EXPECT_EQ(fennick::Run(o).Outcome, RunOutcome::Finished);
    ExpectPairs(c.pairs);
    const std::u16string n = mdlTools::Decimal(static_cast<std::int64_t>(c.pairs.size()));
    EXPECT_EQ(Result(), u"同期削除数 = " + n + u"\r\nマテリアル変換 処理/対象 = " + n + u" / " + n);
    Reset();
  }
}

// Every check that stops a run shows one message and leaves the disk as it was; the overlap question
// turns both boxes red on No.
TEST_F(RunTest, ChecksBeforeTheRunWarnAndChangeNothing) {
  const std::u16string good = t / u"Material/drums", bad = t / u"missing", target = Folder(u"");
  const auto inside = t.MakeFolder(u"charts/song1/drums/set");
  t.MakeFolder(u"charts2");
  // What a check shows, and the colours it gives the boxes (0: source, 1: target; false: red) in order.
  struct Outcome {
    std::u16string text, title;
    MsgIcon icon;
    std::vector<std::pair<int, bool>> colours;
  };
  const Outcome nothing{u"処理内容が一つも選択されませんでした。", u"処理結果", MsgIcon::None, {}},
      no_target{u"正確なターゲットパスを指定してください", u"パスの指定", MsgIcon::Exclamation, {{0, true}, {1, false}}},
      no_source{u"正確なソースパスを指定してください", u"パスの指定", MsgIcon::Exclamation, {{0, false}, {1, true}}},
      overlap{u"変換フォルダとソースフォルダが同一のフォルダ、\r\nあるいは一方がもう一方のフォルダに含まれています。\r\n"
              u"想定外の結果になる可能性がありますが、このまま続行しますか？\r\n(あまりお薦めしません。)",
              u"パスの指定", MsgIcon::Question, {{0, true}, {1, true}, {0, false}, {1, false}}};
  struct Case {
    const char* what;
    bool sync, convert, recursive;
    int mode;
    std::u16string source, target;
    const Outcome& want;
  };
  const Case cases[] = {
      {"no operation: the boxes are not examined", false, false, false, kModeNormal, good, target, nothing},
      {"no target", true, true, false, kModeNormal, good, bad, no_target},
      {"no source", true, true, false, kModeNormal, bad, target, no_source},
      {"clear with recursion needs a source", false, true, true, kModeClear, bad, target, no_source},
      {"clear with sync deletion needs a source", true, true, false, kModeClear, bad, target, no_source},
      {"source inside the target", true, true, false, kModeNormal, inside, target, overlap},
      {"target inside the source", true, true, false, kModeNormal, target, inside, overlap},
      {"a mere common beginning of the names", true, true, false, kModeNormal, target, t / u"charts2", overlap},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    user.messages.messages.clear();
    std::vector<std::pair<int, bool>> colours;
    RunHooks hooks;
    hooks.PathChecked = [&](int i, bool ok) { colours.emplace_back(i, ok); };
    RunOptions o = Options(c.source, c.target);
    o.SyncDeleteOn = c.sync;
    o.ConvertOn = c.convert;
    o.RecursiveOn = c.recursive;
    o.ConvertMode = c.mode;
    o.BaseFolderOn = false;
    EXPECT_EQ(fennick::Run(o, hooks).Outcome, RunOutcome::Warned);
    ASSERT_EQ(user.messages.messages.size(), 1u);
    const RecordedMessage& m = user.Last();
    EXPECT_EQ(std::tie(m.text, m.title, m.icon, colours), std::tie(c.want.text, c.want.title, c.want.icon, c.want.colours));
  }
  ExpectPairs({});

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
    int converted;
  };
  for (const Case& c : {Case{u"ファイルリスト取得中", 0}, Case{u"c5.bms", 6}}) {
    SCOPED_TRACE(U8(c.press_at));
    for (char16_t i = u'0'; i <= u'9'; ++i) platform::WriteWholeFile(folder + u"/c" + i + u".bms", kPlainChart);
    Reset();
    user.view->on_events = [&](int) {
      if (mdlAppGlobal::Cancel().Caption().find(c.press_at) != std::u16string::npos) user.view->pending_clicks = 1;
    };
    user.view->answers = {true};
    std::vector<std::string> order;
    RunHooks hooks;
    hooks.Refresh = [&] { order.push_back("refresh"); };
    hooks.End = [&] { order.push_back("end"); };
    EXPECT_EQ(fennick::Run(Options(t / u"Material", folder), hooks).Outcome, RunOutcome::Cancelled);
    const std::u16string n = mdlTools::Decimal(c.converted);
    EXPECT_EQ(Result(), u"同期削除数 = 1\r\nマテリアル変換 処理/対象 = " + n + u" / " + n);
    EXPECT_FALSE(user.view->shown);
    EXPECT_EQ(order, (std::vector<std::string>{"refresh", "end"}));
    int converted = 0;
    for (const auto& name : Names(folder)) converted += name.ends_with(u".bms") && ReadBytes(folder + u"/" + name) != kPlainChart;
    EXPECT_EQ(converted, c.converted);
  }
}
