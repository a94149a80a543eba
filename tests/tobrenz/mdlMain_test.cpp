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

struct PairCase {
  const char* what;
  Files before;
  std::u16string include;  // empty: include list off
  std::u16string ext;
  Files after;
  int deleted, targets;
  std::vector<std::u16string> read_only = {};
};

// Readable test names instead of byte dumps.
void PrintTo(const PairCase& c, std::ostream* os) { *os << c.what; }

class PairOutcome : public TobrenzRun, public ::testing::WithParamInterface<PairCase> {};

TEST_P(PairOutcome, TheLargerFileGoesAndTheCountsFollow) {
  const PairCase& c = GetParam();
  Make(c.before);
  for (const auto& name : c.read_only) ASSERT_TRUE(platform::SetAttributes(dir / name, platform::kAttrReadOnly));
  RunOptions o = Options(c.include);
  o.CompareExtText = c.ext;
  const RunResult result = Run(o);
  EXPECT_EQ(result.Outcome, RunOutcome::Finished);
  EXPECT_EQ(FilesIn(dir.Path()), c.after) << c.what;
  EXPECT_EQ(Last().text, u"削除\"." + c.ext + u"\" / 対象ファイル = " + mdlTools::Decimal(c.deleted) + u" / " +
                             mdlTools::Decimal(c.targets))
      << c.what;
  EXPECT_TRUE(result.Failures.empty()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, PairOutcome,
    ::testing::Values(
        PairCase{"partner larger", {{u"photo.png", 1800}, {u"photo.bmp", 6000}}, u"*.png", u"bmp",
                 {{u"photo.png", 1800}}, 1, 1},
        PairCase{"target larger", {{u"photo.png", 6000}, {u"photo.bmp", 1800}}, u"*.png", u"bmp",
                 {{u"photo.bmp", 1800}}, 0, 1},
        PairCase{"a tie deletes the target", {{u"photo.png", 500}, {u"photo.bmp", 500}}, u"*.png", u"bmp",
                 {{u"photo.bmp", 500}}, 0, 1},
        PairCase{"no partner", {{u"photo.png", 500}, {u"other.bmp", 9000}}, u"*.png", u"bmp",
                 {{u"photo.png", 500}, {u"other.bmp", 9000}}, 0, 0},
        PairCase{"only the last extension is replaced",
                 {{u"a.b.png", 10}, {u"a.b.bmp", 90}, {u"a.bmp", 90}}, u"*.png", u"bmp",
                 {{u"a.b.png", 10}, {u"a.bmp", 90}}, 1, 1},
        PairCase{"a name without extension", {{u"readme", 10}, {u"readme.bmp", 90}}, u"readme", u"bmp",
                 {{u"readme", 10}}, 1, 1},
        PairCase{"partner found with ASCII case folded", {{u"photo.png", 10}, {u"PHOTO.BMP", 90}}, u"*.png",
                 u"bmp", {{u"photo.png", 10}}, 1, 1},
        PairCase{"a typed dot is kept: photo..bmp is looked for", {{u"photo.png", 10}, {u"photo.bmp", 90}},
                 u"*.png", u".bmp", {{u"photo.png", 10}, {u"photo.bmp", 90}}, 0, 0},
        // With the include list off every file is a target, the comparison files too: they must
        // never pair with themselves.
        PairCase{"include list off",
                 {{u"a.bmp", 100}, {u"b.BMP", 100}, {u"c.png", 10}, {u"c.bmp", 50}, {u"d.png", 70}, {u"d.bmp", 20}},
                 u"", u"bmp", {{u"a.bmp", 100}, {u"b.BMP", 100}, {u"c.png", 10}, {u"d.bmp", 20}}, 1, 2},
        PairCase{"include list off, extension typed in capitals", {{u"a.bmp", 100}, {u".bmp", 100}}, u"", u"BMP",
                 {{u"a.bmp", 100}, {u".bmp", 100}}, 0, 0},
        PairCase{"a file that is its own partner in the include list", {{u"a.bmp", 100}}, u"*.bmp", u"bmp",
                 {{u"a.bmp", 100}}, 0, 0},
        PairCase{"read-only files go too", {{u"p.png", 10}, {u"p.bmp", 90}, {u"q.png", 90}, {u"q.bmp", 10}},
                 u"*.png", u"bmp", {{u"p.png", 10}, {u"q.bmp", 10}}, 1, 2, {u"p.bmp", u"q.png"}}),
    [](const ::testing::TestParamInfo<PairCase>& info) { return "Case" + std::to_string(info.index); });

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

TEST_F(TobrenzRun, StopConfirmedAtTheFirstFolderDeletesNothing) {
  Make({{u"a.png", 10}, {u"a.bmp", 90}});
  view->on_events = [this](int) {
    if (!view->log.empty() && view->log.back() == u"text:" + dir.Path()) view->pending_clicks = 1;
  };
  view->answers = {true};
  EXPECT_EQ(Run(Options()).Outcome, RunOutcome::Cancelled);
  EXPECT_EQ(FilesIn(dir.Path()).size(), 2u);
  EXPECT_EQ(view->asked, std::vector<std::u16string>{u"ファイルリスト取得中"});
  EXPECT_EQ(Last().text, u"削除\".bmp\" / 対象ファイル = 0 / 0");
}

struct StopCase {
  bool yes;
  int targets;
};
void PrintTo(const StopCase& c, std::ostream* os) { *os << (c.yes ? "yes" : "no"); }
class StopAtTheHundredthFile : public TobrenzRun, public ::testing::WithParamInterface<StopCase> {};

// Progress, and a stop, come at every hundredth file of a folder's list, before that file; the
// counts shown are those reached.
TEST_P(StopAtTheHundredthFile, StopsThereOrGoesOn) {
  Files files;
  for (int i = 0; i < 250; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "p%03d", i);
    const std::u16string base = platform::DecodeUtf8(name);
    files[base + u".png"] = 10;
    files[base + u".bmp"] = 20;
  }
  Make(files);
  bool clicked = false;
  view->on_events = [&](int) {
    if (!clicked && !view->log.empty() && view->log.back().rfind(u"title:選択中", 0) == 0) {
      clicked = true;
      view->pending_clicks = 1;
    }
  };
  view->answers = {GetParam().yes};
  EXPECT_EQ(Run(Options()).Outcome, GetParam().yes ? RunOutcome::Cancelled : RunOutcome::Finished);
  EXPECT_TRUE(Captioned(u"選択中 - 99 / 99 p099.png"));
  EXPECT_EQ(Last().text.substr(Last().text.rfind(u' ') + 1), mdlTools::Decimal(GetParam().targets));
  EXPECT_EQ(FilesIn(dir.Path()).size(), 500u - GetParam().targets);
  EXPECT_EQ(Captioned(u"選択中 - 199 / 199 p199.png"), !GetParam().yes);
}

INSTANTIATE_TEST_SUITE_P(Answers, StopAtTheHundredthFile, ::testing::Values(StopCase{true, 99}, StopCase{false, 250}));

struct WarningCase {
  bool good_target;
  std::u16string ext;
  std::u16string text, title;
};
void PrintTo(const WarningCase& c, std::ostream* os) { *os << U8(c.title) << " " << U8(c.ext); }

class Warning : public TobrenzRun, public ::testing::WithParamInterface<WarningCase> {};

TEST_P(Warning, StopsBeforeAnythingChanges) {
  const WarningCase& c = GetParam();
  Make({{u"a.png", 10}, {u"a.bmp", 90}});
  RunOptions o = Options();
  if (!c.good_target) o.TargetText = dir / u"missing";
  o.CompareExtText = c.ext;
  EXPECT_EQ(Run(o).Outcome, RunOutcome::Warned);
  ASSERT_EQ(user.messages.messages.size(), 1u);
  EXPECT_EQ(Last().text, c.text);
  EXPECT_EQ(Last().title, c.title);
  EXPECT_EQ(Last().icon, MsgIcon::Exclamation);
  EXPECT_EQ(FilesIn(dir.Path()).size(), 2u);
  EXPECT_FALSE(view->shown);
}

const std::u16string kBadExt = u"拡張子が空白か、ファイル名として使用できない文字や表示できない文字が含まれています。";
INSTANTIATE_TEST_SUITE_P(
    Checks, Warning,
    ::testing::Values(WarningCase{false, u"bmp", u"正確なターゲットパスを指定してください。", u"パスの指定"},
                      WarningCase{true, u"", kBadExt, u"拡張子の指定"},
                      WarningCase{true, u"b/mp", kBadExt, u"拡張子の指定"},
                      WarningCase{true, u"*", kBadExt, u"拡張子の指定"},
                      WarningCase{true, u"bm\"p", kBadExt, u"拡張子の指定"},
                      WarningCase{true, u"bmp\t", kBadExt, u"拡張子の指定"}));

// A dry run reports exactly the pairs of the real run, also where an earlier pair removes a later
// pair's partner, and changes nothing.
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
