#include "tobrenz/Run.h"

#include <map>

#ifndef _WIN32
#include "tests/support/Posix.h"
#endif
#include "tests/support/Recorders.h"
#include "tests/support/TempDir.h"
#include "toolkit/files/Paths.h"

using namespace tobrenz;

namespace {

using Files = std::map<std::u16string, std::size_t>;  // name -> size in bytes

// Access and write times `seconds` and an hour before.
platform::FileTimes Stamp(std::int64_t seconds) { return {false, 0, seconds * 1000000000LL, (seconds - 3600) * 1000000000LL}; }

Files FilesIn(const std::u16string& folder) {
  Files out;
  for (const std::u16string& name : Names(folder)) {
    platform::FileInfo info;
    platform::IoError error;
    if (platform::PathInfo(platform::JoinPath(folder, name), info, error) && !info.IsFolder) out[name] = info.Size;
  }
  return out;
}

// The result line of a run that deleted `deleted` of `targets` pairs' partners.
std::u16string Result(int deleted, int targets, const std::u16string& ext = u"bmp") {
  return u"削除\"." + ext + u"\" / 対象ファイル = " + paths::Decimal(deleted) + u" / " + paths::Decimal(targets);
}

class TobrenzRun : public ::testing::Test {
 protected:
  TobrenzRun() { hooks.Pair = [this](const PairResult& p) { pairs.push_back(p); }; }
  RunResult Run(const RunOptions& options) { return tobrenz::Run(user.Context(), options, hooks); }

  void Make(const Files& files, const std::u16string& under = u"") const {
    for (const auto& [name, size] : files) Touch(dir / (under.empty() ? name : under + u"/" + name), std::string(size, 'x'));
  }
  void Clear() const { for (const auto& name : Names(dir.Path())) ASSERT_TRUE(platform::RemoveFile(dir / name)); }
  RunOptions Options(const std::u16string& include = u"*.png") const {
    RunOptions o;
    std::tie(o.TargetText, o.IncludeOn, o.IncludeText) = std::make_tuple(dir.Path(), !include.empty(), include);
    return o;
  }
  const RecordedMessage& Last() const { return user.Last(); }

  TempDir dir;
  ScriptedUser user;
  ScriptedProgressView* view = user.view;
  std::vector<PairResult> pairs;
  tobrenz::RunHooks hooks;
};

TEST_F(TobrenzRun, TheLargerFileGoesAndTheCountsFollow) {
  struct Case { const char* what; Files before; std::u16string include, ext; Files after; int deleted, targets; };
  // With the include list off every file is a target, the comparison files too: they must never pair
  // with themselves.
  const std::vector<Case> cases = {
      {"a tie deletes the target", {{u"p.png", 5}, {u"p.bmp", 5}}, u"*.png", u"bmp", {{u"p.bmp", 5}}, 0, 1},
      {"only the last extension is replaced", {{u"a.b.png", 1}, {u"a.b.bmp", 9}, {u"a.bmp", 9}}, u"*.png", u"bmp",
       {{u"a.b.png", 1}, {u"a.bmp", 9}}, 1, 1},
      {"a name without extension", {{u"readme", 1}, {u"readme.bmp", 9}}, u"readme", u"bmp", {{u"readme", 1}}, 1, 1},
      {"include list off", {{u"a.bmp", 9}, {u"b.BMP", 9}, {u"c.png", 1}, {u"c.bmp", 5}, {u"d.png", 7}, {u"d.bmp", 2}},
       u"", u"bmp", {{u"a.bmp", 9}, {u"b.BMP", 9}, {u"c.png", 1}, {u"d.bmp", 2}}, 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Clear();
    Make(c.before);
    RunOptions o = Options(c.include);
    o.CompareExtText = c.ext;
    EXPECT_TRUE(Run(o).Failures.empty());
    EXPECT_EQ(std::make_pair(FilesIn(dir.Path()), Last().text),
              std::make_pair(c.after, Result(c.deleted, c.targets, c.ext)));
  }
}

// A chart is never deleted, on either side of a pair, nor a real file to keep an empty one (what a
// failed conversion leaves): each such pair is left and told of, and not counted. Two names of one
// file (a backup's hard link) are no pair: one would go for nothing. Nor is a link: the real file
// would go in its favour, and the time copy would write outside the folder tree.
TEST_F(TobrenzRun, ChartsFilesBesideEmptyOnesLinksAndTwoNamesOfOneFileStay) {
  Make({{u"song.bms", 5}, {u"song.bmp", 90}, {u"intro.BME", 90}, {u"intro.bmp", 5}, {u"e.png", 40}, {u"e.bmp", 0},
        {u"z.png", 0}, {u"z.bmp", 0}, {u"hard.png", 300}});
  platform::IoError error;
  ASSERT_EQ(platform::Folder::Open(dir.Path(), error).Keep(u"hard.png", u"hard.bmp", error), platform::KeepResult::Made);
#ifndef _WIN32  // links wine cannot make
  TempDir outside;
  const std::u16string picture = outside.Write(u"picture.png", std::string(10, 'x'));
  Make({{u"photo.bmp", 90}, {u"real.png", 300}, {u"pic.png", 5}});
  Link(picture, dir / u"photo.png");
  Link(picture, dir / u"pic.bmp");
  Link(dir / u"real.png", dir / u"real.bmp");
#endif
  Files after = FilesIn(dir.Path());
  after.erase(u"z.png");  // two empty files: the tie takes the target as ever
  std::vector<std::u16string> told;
  for (const auto& failed : Run(Options(u"")).Failures) told.push_back(failed.Path + u": " + failed.Reason);
  EXPECT_EQ(std::make_tuple(FilesIn(dir.Path()), Last().text.substr(0, Last().text.find(u"\r\n")), pairs.size()),
            std::make_tuple(after, Result(0, 1), std::size_t(1)));
  EXPECT_EQ(told, (std::vector<std::u16string>{dir / u"e.png: 残すほうが空のファイルなので削除しません",
                                               dir / u"intro.BME: 譜面との組なので削除しません",
                                               dir / u"song.bms: 譜面との組なので削除しません"}));
  Make({{u"c.png", 5}, {u"c.bms", 90}});  // a chart as the comparison file, and the larger one
  RunOptions o = Options();
  o.CompareExtText = u"bms";
  EXPECT_TRUE(Run(o).Failures.size() == 1 && platform::FileExists(dir / u"c.bms"));
}

TEST_F(TobrenzRun, RecursionDoesEachFoldersFilesBeforeItsSubfolders) {
  for (const char16_t* sub : {u"a", u"a/b"}) dir.MakeFolder(sub);
  Make({{u"s.png", 10}, {u"s.bmp", 90}}, u"a");
  Make({{u"t.png", 90}, {u"t.bmp", 10}}, u"a/b");
  RunOptions o = Options();
  Run(o);
  EXPECT_EQ(FilesIn(dir / u"a").size(), 2u) << "recursion off";
  o.RecursiveOn = true;
  EXPECT_EQ(Run(o).Outcome, RunOutcome::Finished);
  std::vector<std::u16string> order;
  for (const PairResult& p : pairs) order.push_back(p.Target);
  EXPECT_EQ(std::make_pair(order, FilesIn(dir / u"a/b")),
            std::make_pair(std::vector<std::u16string>{dir / u"a/s.png", dir / u"a/b/t.png"}, Files{{u"t.bmp", 10}}));
  EXPECT_EQ(Last().text, Result(1, 2));
}

// Warnings stop a run before anything changes. Progress, and a stop, come before every hundredth file,
// with the counts reached; No to the question goes on. (A stop at a folder: the window's hourglass test.)
TEST_F(TobrenzRun, WarningsAndStopsComeBeforeAnythingChanges) {
  Make({{u"a.png", 10}, {u"a.bmp", 90}});
  const std::u16string bad_ext = u"拡張子が空白か、ファイル名として使用できない文字や表示できない文字が含まれています。";
  // A missing target is told before the extension is looked at ("bmp"); then every extension no name can end in.
  for (const std::u16string ext : {u"bmp", u"", u"b/mp", u"*", u"bm\"p", u"bm\tp", u" . "}) {
    SCOPED_TRACE(U8(ext));
    const bool target_bad = ext == u"bmp";
    RunOptions o = Options();
    if (target_bad) o.TargetText = dir / u"missing";
    o.CompareExtText = ext;
    EXPECT_EQ(Run(o).Outcome, RunOutcome::Warned);
    EXPECT_EQ(std::tie(Last().text, Last().title, Last().icon),
              target_bad ? std::make_tuple(std::u16string(u"正確なターゲットパスを指定してください。"), u"パスの指定", MsgIcon::Exclamation)
                         : std::make_tuple(bad_ext, u"拡張子の指定", MsgIcon::Exclamation));
    // Nothing is deleted, no progress shown.
    EXPECT_EQ(std::make_pair(FilesIn(dir.Path()).size(), view->shown), std::make_pair(std::size_t(2), false));
  }

  Files files;
  for (int i = 1000; i < 1250; ++i)
    for (const auto& [ext, size] : {std::pair{u".png", 10}, {u".bmp", 20}}) files[u"p" + paths::Decimal(i) + ext] = size;
  for (const bool yes : {true, false}) {
    SCOPED_TRACE(yes ? "yes" : "no");
    Clear();
    Make(files);
    view->on_events = [&](int) {
      // One press, at the first file shown.
      if (view->asked.empty() && !view->log.empty() && view->log.back().starts_with(u"title:選択中")) view->pending_clicks = 1;
    };
    view->asked.clear();
    view->answers = {yes};
    EXPECT_EQ(Run(Options()).Outcome, yes ? RunOutcome::Cancelled : RunOutcome::Finished);
    EXPECT_TRUE(user.Showed(u"caption:選択中 - 99 / 99 p1099.png"));
    EXPECT_EQ(user.Showed(u"caption:選択中 - 199 / 199 p1199.png"), !yes);
    const int targets = yes ? 99 : 250;
    EXPECT_EQ(std::make_pair(Last().text, FilesIn(dir.Path()).size()),
              std::make_pair(Result(targets, targets), std::size_t(500 - targets)));
  }
}

// A dry run foresees the real run and changes nothing; a kept target takes its partner's times.
TEST_F(TobrenzRun, DryRunForeseesTheRealRunAndChangesNothing) {
  Make({{u"a.png", 10}, {u"a.b.bmp", 50}, {u"a.b.b.bmp", 5}, {u"c.png", 70}, {u"c.b.bmp", 20}, {u"p.png", 18},
        {u"p.b.bmp", 60}});
  ASSERT_TRUE(platform::SetFileTimes(dir / u"p.b.bmp", Stamp(1200000000)));
  ASSERT_TRUE(platform::SetFileTimes(dir / u"p.png", Stamp(1500000000)));
  RunOptions o = Options(u"");
  o.CompareExtText = u"b.bmp";
  // Each pair's target and whether its partner went; then the result.
  std::pair<std::vector<std::pair<std::u16string, bool>>, std::u16string> runs[2];
  for (const bool dry : {true, false}) {
    o.DryRun = dry;
    pairs.clear();
    Run(o);
    for (const PairResult& p : pairs) runs[dry].first.emplace_back(p.Target, p.PartnerGoes);
    runs[dry].second = Last().text;
    platform::FileTimes kept;
    const platform::FileTimes want = Stamp(dry ? 1500000000 : 1200000000);
    ASSERT_TRUE(platform::GetFileTimes(dir / u"p.png", kept));
    EXPECT_EQ(std::make_pair(kept.Write, kept.Access), std::make_pair(want.Write, want.Access));
  }
  EXPECT_EQ(runs[true], runs[false]);
  EXPECT_EQ(FilesIn(dir.Path()), (Files{{u"a.png", 10}, {u"a.b.b.bmp", 5}, {u"c.b.bmp", 20}, {u"p.png", 18}}));
}

}  // namespace
