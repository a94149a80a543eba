#include <map>

#include "tests/fennick/FennickTest.h"
#include "toolkit/files/Paths.h"

using namespace fennick;
using namespace fennick_test;

namespace {

constexpr char kPlainChart[] = "#WAV01 kick.wav\r\n";
// The chart tree: every folder holds a chart naming kick.wav, and kick.wav itself.
const char16_t* const kChartFolders[] = {u"", u"/song1", u"/song1/drums", u"/other", u"/other/DRUMS", u"/other/DRUMS/drums"};

class RunTest : public FennickTest {
 protected:
  RunTest() {
    for (const char16_t* name : {u"Material", u"Material/song1", u"Material/drums"}) t.MakeFolder(name);
    for (const char16_t* set : {u"song1", u"drums"}) t.Write(u"Material/" + std::u16string(set) + u"/kick.wav", "");
    for (const char16_t* folder : kChartFolders) t.MakeFolder(u"charts" + std::u16string(folder));
    Reset();
  }
  void Reset() {
    for (const char16_t* f : kChartFolders) { Touch(Folder(f) + u"/c.bms", kPlainChart); Touch(Folder(f) + u"/kick.wav"); }
  }
  std::u16string Folder(const std::u16string& folder) const { return t / (u"charts" + folder); }
  RunOptions Options(const std::u16string& source, const std::u16string& target) const {
    RunOptions o;
    std::tie(o.SourceText, o.TargetText, o.BackupOn) = std::make_tuple(source, target, false);
    return o;
  }
  // Folders paired with a set lost kick.wav and have their chart tagged; the others are as they were.
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
  using Pairs = std::map<std::u16string, std::u16string>;
  // What, base folder, recursive, source, target, and the folders paired with their sets.
  const std::vector<std::tuple<const char*, bool, bool, std::u16string, std::u16string, Pairs>> cases = {
      {"base folder, the target's own set", true, false, u"Material", u"/song1", {{u"/song1", u"song1"}}},
      {"base folder, no set of the target's name", true, false, u"Material", u"/other", {}},
      {"base folder, recursive: each folder's own set, nothing below a match", true, true, u"Material", u"",
       {{u"/song1", u"song1"}, {u"/other/DRUMS", u"drums"}}},
      {"sound set, recursive: every folder named like it, nothing below a match", false, true, u"Material/drums",
       u"", {{u"/song1/drums", u"drums"}, {u"/other/DRUMS", u"drums"}}},
  };
  for (const auto& [what, base, recursive, source, target, pairs] : cases) {
    SCOPED_TRACE(what);
    RunOptions o = Options(t / source, Folder(target));
    o.BaseFolderOn = base;
    o.RecursiveOn = recursive;
    EXPECT_EQ(fennick::Run(user.Context(), o).Outcome, RunOutcome::Finished);
    ExpectPairs(pairs);
    const std::u16string n = paths::Decimal(static_cast<std::int64_t>(pairs.size()));
    EXPECT_EQ(Result(), u"同期削除数 = " + n + u"\r\nマテリアル変換 処理/対象 = " + n + u" / " + n);
    Reset();
  }
}

// A set whose name a Shift-JIS chart cannot hold: deleting its files would leave the chart naming
// what is gone, so the pair is refused before anything of it goes, with the chart and why.
TEST_F(RunTest, APairWhoseConversionMustFailIsRefusedWhole) {
  const std::u16string set = t.MakeFolder(u"Ä"), folder = Folder(u"/song1");
  t.Write(u"Ä/kick.wav", "");
  RunOptions o = Options(set, folder);
  o.BaseFolderOn = false;
  EXPECT_EQ(fennick::Run(user.Context(), o).Outcome, RunOutcome::Finished);
  ExpectPairs({});
  EXPECT_EQ(Result().substr(0, Result().find(u"\r\n　")),
            u"同期削除数 = 0\r\nマテリアル変換 処理/対象 = 0 / 0\r\n処理できなかった項目 = 2");
  EXPECT_NE(Result().find(folder + u": 変換できない譜面があるので、同期削除も変換もしません\r\n　" + folder + Sep(u"/c.bms: ")),
            std::u16string::npos);
}

// Every check that stops a run shows one message and changes nothing; No to the overlap turns both red.
TEST_F(RunTest, ChecksBeforeTheRunWarnAndChangeNothing) {
  const std::u16string good = t / u"Material/drums", bad = t / u"missing", target = Folder(u"");
  const auto inside = t.MakeFolder(u"charts/song1/drums/set");
  t.MakeFolder(u"charts2");
  // A check's message as text|title|icon, then the colours it gives the boxes in order (0: source,
  // 1: target; +: right, -: red).
  const std::u16string nothing = u"処理内容が一つも選択されませんでした。|処理結果|0|",
                       no_target = u"正確なターゲットパスを指定してください。|パスの指定|1|0+1-",
                       no_source = u"正確なソースパスを指定してください|パスの指定|1|0-1+",
                       overlap = u"変換フォルダとソースフォルダが同一のフォルダ、\r\nあるいは一方がもう一方のフォルダに含まれています。"
                                 u"\r\n想定外の結果になる可能性がありますが、このまま続行しますか？\r\n(あまりお薦めしません。)|"
                                 u"パスの指定|3|0+1+0-1-";
  // What, sync deletion, conversion, recursion, mode, source, target, what is shown.
  const std::vector<std::tuple<const char*, bool, bool, bool, ConvertModes, std::u16string, std::u16string, std::u16string>> cases = {
      {"no operation: the boxes are not examined", false, false, false, kModeNormal, good, target, nothing},
      {"no target", true, true, false, kModeNormal, good, bad, no_target},
      {"no source", true, true, false, kModeNormal, bad, target, no_source},
      {"clear with recursion needs a source", false, true, true, kModeClear, bad, target, no_source},
      {"clear with sync deletion needs a source", true, true, false, kModeClear, bad, target, no_source},
      {"source inside the target", true, true, false, kModeNormal, inside, target, overlap},
      {"a mere common beginning of the names", true, true, false, kModeNormal, target, t / u"charts2", overlap},
  };
  for (const auto& [what, sync, convert, recursive, mode, source, target_text, want] : cases) {
    SCOPED_TRACE(what);
    user.messages.messages.clear();
    std::u16string colours;
    RunHooks hooks;
    hooks.PathChecked = [&](int i, bool ok) { colours += paths::Decimal(i) + (ok ? u"+" : u"-"); };
    RunOptions o = Options(source, target_text);
    std::tie(o.SyncDeleteOn, o.ConvertOn, o.RecursiveOn, o.ConvertMode, o.BaseFolderOn) =
        std::make_tuple(sync, convert, recursive, mode, false);
    EXPECT_EQ(fennick::Run(user.Context(), o, hooks).Outcome, RunOutcome::Warned);
    ASSERT_EQ(user.messages.messages.size(), 1u);
    const RecordedMessage& m = user.Last();
    EXPECT_EQ(m.text + u"|" + m.title + u"|" + paths::Decimal(static_cast<int>(m.icon)) + u"|" + colours, want);
  }
  ExpectPairs({});
}

// A confirmed stop ends the run at the next poll; the lists are refreshed, the counts reached shown.
TEST_F(RunTest, CancelInTheMiddleEndsWithTheCountsReached) {
  const std::u16string folder = Folder(u"/song1");
  // The button is pressed while a caption holding this text is shown; the charts converted by then.
  for (const auto& [press_at, converted] : {std::pair{u"ファイルリスト取得中", 0}, {u"c5.bms", 6}}) {
    SCOPED_TRACE(U8(press_at));
    for (char16_t i = u'0'; i <= u'9'; ++i) platform::WriteWholeFile(folder + u"/c" + i + u".bms", kPlainChart);
    Reset();
    user.view->on_events = [&](int) {
      if (user.progress.Caption().find(press_at) != std::u16string::npos) user.view->pending_clicks = 1;
    };
    user.view->answers = {true};
    std::string order;
    RunHooks hooks;
    hooks.Refresh = [&] { order += "refresh "; };
    hooks.End = [&] { order += "end"; };
    EXPECT_EQ(fennick::Run(user.Context(), Options(t / u"Material", folder), hooks).Outcome, RunOutcome::Cancelled);
    const std::u16string n = paths::Decimal(converted);
    EXPECT_EQ(Result(), u"同期削除数 = 1\r\nマテリアル変換 処理/対象 = " + n + u" / " + n);
    EXPECT_EQ(order + (user.view->shown ? " shown" : ""), "refresh end");
  }
}
