#include "tobrenz/mdlMain.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/Posix.h"
#endif
#include "tests/support/Recorders.h"
#include "tests/support/TempDir.h"
#include "toolkit/mdlAppGlobal.h"
#include "toolkit/mdlTools.h"
#include "toolkit/platform/fs.h"

using namespace tobrenz;

namespace {

using Files = std::map<std::u16string, std::size_t>;  // name -> size in bytes

platform::FileTimes Stamp(std::int64_t seconds) {
  platform::FileTimes t;
  t.Access = seconds * 1000000000LL;
  t.Write = (seconds - 3600) * 1000000000LL;
  return t;
}

// The files of a folder (no subfolders) with their sizes.
Files FilesIn(const std::u16string& folder) {
  Files out;
  for (const std::u16string& name : Names(folder)) {
    platform::FileInfo info;
    platform::IoError error;
    if (platform::PathInfo(platform::JoinPath(folder, name), info, error) && !info.IsFolder) {
      out[name] = static_cast<std::size_t>(info.Size);
    }
  }
  return out;
}

class TobrenzRun : public ::testing::Test {
 protected:
  TobrenzRun() { hooks.Pair = [this](const PairResult& p) { pairs.push_back(p); }; }
  RunResult Run(const RunOptions& options) { return tobrenz::Run(options, hooks); }

  // Plain writes: a flush to the disk per file would make the larger folders slow to build.
  void Make(const Files& files, const std::u16string& under = u"") const {
    for (const auto& [name, size] : files) {
      Touch(under.empty() ? dir / name : dir / platform::JoinPath(under, name), std::string(size, 'x'));
    }
  }
  RunOptions Options(const std::u16string& include = u"*.png") const {
    RunOptions o;
    o.TargetText = dir.Path();
    o.IncludeOn = !include.empty();
    o.IncludeText = include;
    return o;
  }
  const RecordedMessage& Last() const { return user.Last(); }
  bool Captioned(const std::u16string& caption) const { return user.Showed(u"caption:" + caption); }

  TempDir dir;
  ScriptedUser user;
  ScriptedCancelView* view = user.view;
  std::vector<PairResult> pairs;
  tobrenz::RunHooks hooks;
};

TEST_F(TobrenzRun, TheLargerFileGoesAndTheCountsFollow) {
  struct Case {
    const char* what;
    Files before;
    std::u16string include;  // empty: include list off
    std::u16string ext;
    Files after;
    int deleted, targets;
  };
  // With the include list off every file is a target, the comparison files too: they must never pair
  // with themselves. p.bmp and q.png are read-only, and go all the same.
  const std::vector<Case> cases = {
      {"partner larger", {{u"p.png", 18}, {u"p.bmp", 60}}, u"*.png", u"bmp", {{u"p.png", 18}}, 1, 1},
      {"target larger", {{u"p.png", 60}, {u"p.bmp", 18}}, u"*.png", u"bmp", {{u"p.bmp", 18}}, 0, 1},
      {"a tie deletes the target", {{u"p.png", 5}, {u"p.bmp", 5}}, u"*.png", u"bmp", {{u"p.bmp", 5}}, 0, 1},
      {"no partner", {{u"p.png", 5}, {u"o.bmp", 9}}, u"*.png", u"bmp", {{u"p.png", 5}, {u"o.bmp", 9}}, 0, 0},
      {"only the last extension is replaced", {{u"a.b.png", 1}, {u"a.b.bmp", 9}, {u"a.bmp", 9}}, u"*.png", u"bmp",
       {{u"a.b.png", 1}, {u"a.bmp", 9}}, 1, 1},
      {"a name without extension", {{u"readme", 1}, {u"readme.bmp", 9}}, u"readme", u"bmp", {{u"readme", 1}}, 1, 1},
      {"partner found with ASCII case folded", {{u"p.png", 1}, {u"P.BMP", 9}}, u"*.png", u"bmp", {{u"p.png", 1}}, 1, 1},
      {"a typed dot is kept: p..bmp is looked for", {{u"p.png", 1}, {u"p.bmp", 9}}, u"*.png", u".bmp",
       {{u"p.png", 1}, {u"p.bmp", 9}}, 0, 0},
      {"include list off", {{u"a.bmp", 9}, {u"b.BMP", 9}, {u"c.png", 1}, {u"c.bmp", 5}, {u"d.png", 7}, {u"d.bmp", 2}},
       u"", u"bmp", {{u"a.bmp", 9}, {u"b.BMP", 9}, {u"c.png", 1}, {u"d.bmp", 2}}, 1, 2},
      {"include list off, extension in capitals", {{u"a.bmp", 9}, {u".bmp", 9}}, u"", u"BMP",
       {{u"a.bmp", 9}, {u".bmp", 9}}, 0, 0},
      {"read-only files go too", {{u"p.png", 1}, {u"p.bmp", 9}, {u"q.png", 9}, {u"q.bmp", 1}}, u"*.png", u"bmp",
       {{u"p.png", 1}, {u"q.bmp", 1}}, 1, 2},
  };
  for (const Case& c : cases) {
    for (const auto& name : Names(dir.Path())) ASSERT_TRUE(platform::RemoveFile(dir / name));
    Make(c.before);
    for (const char16_t* name : {u"p.bmp", u"q.png"}) platform::SetAttributes(dir / name, platform::kAttrReadOnly);
    RunOptions o = Options(c.include);
    o.CompareExtText = c.ext;
    const RunResult result = Run(o);
    EXPECT_EQ(FilesIn(dir.Path()), c.after) << c.what;
    EXPECT_EQ(Last().text, u"削除\"." + c.ext + u"\" / 対象ファイル = " + mdlTools::Decimal(c.deleted) + u" / " +
                               mdlTools::Decimal(c.targets))
        << c.what;
    EXPECT_TRUE(result.Failures.empty()) << c.what;
  }
}

TEST_F(TobrenzRun, KeptTargetTakesThePartnersTimes) {
  Make({{u"photo.png", 1800}, {u"photo.bmp", 6000}});
  ASSERT_TRUE(platform::SetFileTimes(dir / u"photo.bmp", Stamp(1200000000)));
  ASSERT_TRUE(platform::SetFileTimes(dir / u"photo.png", Stamp(1500000000)));
  Run(Options());
  platform::FileTimes kept;
  ASSERT_TRUE(platform::GetFileTimes(dir / u"photo.png", kept));
  EXPECT_EQ(kept.Write, Stamp(1200000000).Write);
  EXPECT_EQ(kept.Access, Stamp(1200000000).Access);
}

#ifndef _WIN32  // links wine cannot make; two names of one file: in the Windows tests
// A link is never one side of a pair: deleting the real file in its favour would keep no content
// of its own, and the kept file's time copy would write outside the folder tree. Two names of one
// file are no pair either.
TEST_F(TobrenzRun, LinksAndTwoNamesOfOneFileAreNoPair) {
  TempDir outside;
  const std::u16string picture = outside.Write(u"picture.png", std::string(10, 'x'));
  ASSERT_TRUE(platform::SetFileTimes(picture, Stamp(1000000000)));
  Make({{u"photo.bmp", 90}, {u"real.png", 300}, {u"hard.png", 300}, {u"pic.png", 5}});
  Link(picture, dir / u"photo.png");
  Link(picture, dir / u"pic.bmp");
  Link(dir / u"real.png", dir / u"real.bmp");
  ASSERT_EQ(link(U8(dir / u"hard.png").c_str(), U8(dir / u"hard.bmp").c_str()), 0);
  Run(Options());
  EXPECT_EQ(FilesIn(dir.Path()).size(), 8u);
  EXPECT_EQ(Last().text, u"削除\".bmp\" / 対象ファイル = 0 / 0");
  platform::FileTimes t;
  ASSERT_TRUE(platform::GetFileTimes(picture, t));
  EXPECT_EQ(t.Write, Stamp(1000000000).Write);
}

#endif

// Two names of one file (a backup's hard link) are no pair: one of them would go for nothing.
TEST_F(TobrenzRun, TwoNamesOfOneFileAreNoPair) {
  Make({{u"hard.png", 300}});
  platform::IoError error;
  const platform::Folder folder = platform::Folder::Open(dir.Path(), error);
  ASSERT_EQ(folder.Keep(u"hard.png", u"hard.bmp", error), platform::KeepResult::Made);
  Run(Options());
  EXPECT_EQ(FilesIn(dir.Path()).size(), 2u);
  EXPECT_TRUE(pairs.empty());
}

TEST_F(TobrenzRun, RecursionDoesEachFoldersFilesBeforeItsSubfolders) {
  Make({{u"z.png", 10}, {u"z.bmp", 90}});
  dir.MakeFolder(u"a");
  dir.MakeFolder(u"a/b");
  Make({{u"s.png", 10}, {u"s.bmp", 90}}, u"a");
  Make({{u"t.png", 90}, {u"t.bmp", 10}}, u"a/b");
  RunOptions o = Options();
  Run(o);
  EXPECT_EQ(FilesIn(dir / u"a").size(), 2u) << "recursion off";
  EXPECT_FALSE(Captioned(u"ファイルリスト取得中 - " + (dir / u"a")));

  pairs.clear();
  o.RecursiveOn = true;
  EXPECT_EQ(Run(o).Outcome, RunOutcome::Finished);
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[0].Target, dir / u"a/s.png");
  EXPECT_EQ(pairs[1].Target, dir / u"a/b/t.png");
  EXPECT_EQ(FilesIn(dir / u"a/b"), (Files{{u"t.bmp", 10}}));
  EXPECT_TRUE(Captioned(u"ファイルリスト取得中 - " + (dir / u"a")));
  EXPECT_TRUE(Captioned(u"ファイルリスト取得中 - " + (dir / u"a/b")));
  EXPECT_EQ(Last().text, u"削除\".bmp\" / 対象ファイル = 1 / 2");
  EXPECT_EQ(Last().title, u"処理結果");
  EXPECT_EQ(Last().icon, MsgIcon::None);
  EXPECT_FALSE(view->shown) << "the progress dialog is hidden before the result";
}

TEST_F(TobrenzRun, FolderThatCannotBeListedIsPassedOver) {
  Make({{u"z.png", 10}, {u"z.bmp", 90}});
  dir.MakeFolder(u"gone");
  dir.MakeFolder(u"kept");
  Make({{u"s.png", 10}, {u"s.bmp", 90}}, u"kept");
  // The subfolder vanishes after the run has seen it.
  hooks.Pair = [this](const PairResult&) { platform::RemoveTree(dir / u"gone"); };
  RunOptions o = Options();
  o.RecursiveOn = true;
  const RunResult result = Run(o);
  EXPECT_EQ(result.Outcome, RunOutcome::Finished);
  EXPECT_EQ(FilesIn(dir / u"kept"), (Files{{u"s.png", 10}}));
  ASSERT_EQ(result.Failures.size(), 1u);
  EXPECT_EQ(result.Failures[0].Path, dir / u"gone");
  EXPECT_EQ(Last().text.rfind(u"削除\".bmp\" / 対象ファイル = 2 / 2\r\n処理できなかったファイル・フォルダ = 1\r\n　" +
                                  dir / u"gone: フォルダを読めません",
                              0),
            0u);
}

#ifndef _WIN32  // another user; on Windows a file in use refuses, in the Windows tests
// A deletion the file system refuses is reported and not counted as done; the run goes on.
TEST_F(TobrenzRun, RefusedDeletionIsReportedNotCounted) {
  dir.MakeFolder(u"locked");
  Make({{u"p.png", 10}, {u"p.bmp", 90}}, u"locked");
  Make({{u"q.png", 10}, {u"q.bmp", 90}});
  Chmod(dir.Path(), 0777);
  Chmod(dir / u"locked", 0555);
  // The other user owns the files, so that only the folder refuses.
  for (const char16_t* name : {u"locked/p.png", u"locked/p.bmp", u"q.png", u"q.bmp"}) {
    if (geteuid() == 0) {
      ASSERT_EQ(chown(U8(dir / name).c_str(), 65534, 65534), 0);
    }
  }
  RunOptions o = Options();
  o.RecursiveOn = true;
  const int status = RunUnprivileged([&] {
    const RunResult result = Run(o);
    const bool ok = result.Failures.size() == 1 && result.Failures[0].Path == dir / u"locked/p.bmp" &&
                    pairs.size() == 2 && !pairs[1].Done &&
                    Last().text.rfind(u"削除\".bmp\" / 対象ファイル = 1 / 2\r\n処理できなかったファイル・フォルダ = 1", 0) == 0;
    return ok ? 0 : 1;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(FilesIn(dir / u"locked").size(), 2u);
  EXPECT_FALSE(platform::PathExists(dir / u"q.bmp"));
}
#endif

// Progress, and a stop, come at each folder and at every hundredth file of a folder's list, before
// that file; the counts shown are those reached.
TEST_F(TobrenzRun, StopsAtTheFolderOrAtAHundredthFile) {
  Make({{u"a.png", 10}, {u"a.bmp", 90}});
  view->on_events = [this](int) {
    if (!view->log.empty() && view->log.back() == u"text:" + dir.Path()) view->pending_clicks = 1;
  };
  view->answers = {true};
  EXPECT_EQ(Run(Options()).Outcome, RunOutcome::Cancelled);
  EXPECT_EQ(FilesIn(dir.Path()).size(), 2u);
  EXPECT_EQ(view->asked, std::vector<std::u16string>{u"ファイルリスト取得中"});
  EXPECT_EQ(Last().text, u"削除\".bmp\" / 対象ファイル = 0 / 0");

  Files files;
  for (int i = 0; i < 250; ++i) {
    const std::u16string base = u"p" + mdlTools::Decimal(1000 + i);
    files[base + u".png"] = 10;
    files[base + u".bmp"] = 20;
  }
  for (const bool yes : {true, false}) {
    for (const auto& name : Names(dir.Path())) ASSERT_TRUE(platform::RemoveFile(dir / name));
    Make(files);
    bool clicked = false;
    view->on_events = [&](int) {
      if (!clicked && !view->log.empty() && view->log.back().rfind(u"title:選択中", 0) == 0) {
        clicked = true;
        view->pending_clicks = 1;
      }
    };
    view->answers = {yes};
    EXPECT_EQ(Run(Options()).Outcome, yes ? RunOutcome::Cancelled : RunOutcome::Finished);
    EXPECT_TRUE(Captioned(u"選択中 - 99 / 99 p1099.png"));
    const int targets = yes ? 99 : 250;
    EXPECT_EQ(Last().text, u"削除\".bmp\" / 対象ファイル = " + mdlTools::Decimal(targets) + u" / " + mdlTools::Decimal(targets));
    EXPECT_EQ(FilesIn(dir.Path()).size(), 500u - targets);
    EXPECT_EQ(Captioned(u"選択中 - 199 / 199 p1199.png"), !yes);
  }
}

TEST_F(TobrenzRun, WarningsStopBeforeAnythingChanges) {
  Make({{u"a.png", 10}, {u"a.bmp", 90}});
  const std::u16string bad_ext = u"拡張子が空白か、ファイル名として使用できない文字や表示できない文字が含まれています。";
  struct Case {
    bool good_target;
    std::u16string ext, text, title;
  };
  for (const Case& c : {Case{false, u"bmp", u"正確なターゲットパスを指定してください。", u"パスの指定"},
                        Case{true, u"", bad_ext, u"拡張子の指定"}, Case{true, u"b/mp", bad_ext, u"拡張子の指定"},
                        Case{true, u"*", bad_ext, u"拡張子の指定"}, Case{true, u"bm\"p", bad_ext, u"拡張子の指定"},
                        Case{true, u"bmp\t", bad_ext, u"拡張子の指定"}}) {
    RunOptions o = Options();
    if (!c.good_target) o.TargetText = dir / u"missing";
    o.CompareExtText = c.ext;
    bool ext_ok = true;
    hooks.CompareExtChecked = [&](bool ok) { ext_ok = ok; };
    EXPECT_EQ(Run(o).Outcome, RunOutcome::Warned);
    EXPECT_EQ(Last().text, c.text);
    EXPECT_EQ(Last().title, c.title);
    EXPECT_EQ(Last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(ext_ok, !c.good_target) << "the extension box turns red only when it is checked";
    EXPECT_EQ(FilesIn(dir.Path()).size(), 2u);
    EXPECT_FALSE(view->shown);
  }
}

TEST_F(TobrenzRun, DryRunForeseesTheRealRunAndChangesNothing) {
  Make({{u"a.png", 10}, {u"a.b.bmp", 50}, {u"a.b.b.bmp", 5}, {u"c.png", 70}, {u"c.b.bmp", 20}});
  ASSERT_TRUE(platform::SetAttributes(dir / u"a.b.b.bmp", platform::kAttrReadOnly));
  RunOptions o = Options(u"");
  o.CompareExtText = u"b.bmp";
  const Files before = FilesIn(dir.Path());

  o.DryRun = true;
  Run(o);
  o.DryRun = false;
  const std::vector<PairResult> foreseen = pairs;
  const std::u16string dry_result = Last().text;
  EXPECT_EQ(FilesIn(dir.Path()), before);
  EXPECT_NE(platform::GetAttributes(dir / u"a.b.b.bmp") & platform::kAttrReadOnly, 0);

  pairs.clear();
  Run(o);
  EXPECT_EQ(Last().text, dry_result);
  ASSERT_EQ(pairs.size(), foreseen.size());
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    EXPECT_EQ(pairs[i].Target, foreseen[i].Target);
    EXPECT_EQ(pairs[i].PartnerGoes, foreseen[i].PartnerGoes);
  }
  EXPECT_EQ(FilesIn(dir.Path()), (Files{{u"a.png", 10}, {u"a.b.b.bmp", 5}, {u"c.b.bmp", 20}}));
}

}  // namespace
