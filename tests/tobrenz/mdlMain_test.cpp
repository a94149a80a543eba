#include "mdlMain.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Recorders.h"
#include "TempDir.h"
#include "Unprivileged.h"
#include "mdlAppGlobal.h"
#include "mdlTools.h"
#include "platform/fs.h"

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
  std::vector<platform::DirEntry> entries;
  EXPECT_TRUE(platform::ListFolder(folder, entries));
  Files out;
  for (const auto& e : entries) {
    if (!(e.Attributes & platform::kAttrDirectory)) out[e.Name] = static_cast<std::size_t>(e.Size);
  }
  return out;
}

class TobrenzRun : public ::testing::Test {
 protected:
  void SetUp() override {
    auto owned = std::make_unique<ScriptedCancelView>();
    view = owned.get();
    mdlAppGlobal::SetCancelView(std::move(owned));
    mdlTools::SetCurrentFolder(dir.Path());
    State().OnPair = [this](const PairResult& p) { pairs.push_back(p); };
  }
  void TearDown() override {
    State().OnPair = nullptr;
    State().DryRun = false;
  }

  // Plain writes: a flush to the disk per file would make the larger folders slow to build.
  void Make(const Files& files, const std::u16string& under = u"") const {
    for (const auto& [name, size] : files) {
      const std::u16string path = under.empty() ? dir / name : dir / platform::JoinPath(under, name);
      std::FILE* f = std::fopen(platform::ToUtf8(path).c_str(), "wb");
      ASSERT_NE(f, nullptr) << U8(path);
      const std::string bytes(size, 'x');
      EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
      std::fclose(f);
    }
  }
  RunOptions Options(const std::u16string& include = u"*.png") const {
    RunOptions o;
    o.TargetText = dir.Path();
    o.IncludeOn = !include.empty();
    o.IncludeText = include;
    return o;
  }
  const RecordedMessage& Last() const { return messages.messages.back(); }
  bool Captioned(const std::u16string& caption) const {
    for (const auto& line : view->log) {
      if (line == u"caption:" + caption) return true;
    }
    return false;
  }

  TempDir dir;
  RecordingMessages messages;
  ScriptedCancelView* view = nullptr;
  std::vector<PairResult> pairs;
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
  EXPECT_EQ(tobrenz::Run(o), RunOutcome::Finished);
  EXPECT_EQ(FilesIn(dir.Path()), c.after) << c.what;
  EXPECT_EQ(State().DeletedCount, c.deleted) << c.what;
  EXPECT_EQ(State().TargetCount, c.targets) << c.what;
  EXPECT_TRUE(State().Failures.empty()) << c.what;
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
  tobrenz::Run(Options());
  platform::FileTimes kept;
  ASSERT_TRUE(platform::GetFileTimes(dir / u"photo.png", kept));
  EXPECT_EQ(kept.Write, Stamp(1200000000).Write);
  EXPECT_EQ(kept.Access, Stamp(1200000000).Access);
}

// Two names of one file: deleting either as "the larger" or on a tie would lose its only content.
TEST_F(TobrenzRun, TwoNamesOfOneFileAreNoPair) {
  Make({{u"real.png", 300}, {u"hard.png", 300}});
  ASSERT_EQ(symlink("real.png", platform::ToUtf8(dir / u"real.bmp").c_str()), 0);
  ASSERT_EQ(link(platform::ToUtf8(dir / u"hard.png").c_str(), platform::ToUtf8(dir / u"hard.bmp").c_str()), 0);
  tobrenz::Run(Options());
  EXPECT_EQ(FilesIn(dir.Path()).size(), 4u);
  EXPECT_EQ(State().TargetCount, 0);
}

// The kept file's time copy would write through a link into a file outside the folder tree.
TEST_F(TobrenzRun, LinkedTargetIsComparedButNothingOutsideIsWritten) {
  TempDir outside;
  const std::u16string picture = outside.Write(u"picture.png", std::string(10, 'x'));
  ASSERT_TRUE(platform::SetFileTimes(picture, Stamp(1000000000)));
  Make({{u"photo.bmp", 90}});
  ASSERT_EQ(symlink(platform::ToUtf8(picture).c_str(), platform::ToUtf8(dir / u"photo.png").c_str()), 0);
  tobrenz::Run(Options());
  EXPECT_FALSE(platform::PathExists(dir / u"photo.bmp"));
  platform::FileTimes t;
  ASSERT_TRUE(platform::GetFileTimes(picture, t));
  EXPECT_EQ(t.Write, Stamp(1000000000).Write);
  EXPECT_TRUE(platform::FileExists(dir / u"photo.png"));
}

TEST_F(TobrenzRun, RecursionDoesEachFoldersFilesBeforeItsSubfolders) {
  Make({{u"z.png", 10}, {u"z.bmp", 90}});
  dir.MakeFolder(u"a");
  dir.MakeFolder(u"a/b");
  Make({{u"s.png", 10}, {u"s.bmp", 90}}, u"a");
  Make({{u"t.png", 90}, {u"t.bmp", 10}}, u"a/b");
  RunOptions o = Options();
  tobrenz::Run(o);
  EXPECT_EQ(FilesIn(dir / u"a").size(), 2u) << "recursion off";
  EXPECT_FALSE(Captioned(u"ファイルリスト取得中 - " + (dir / u"a")));

  pairs.clear();
  o.RecursiveOn = true;
  EXPECT_EQ(tobrenz::Run(o), RunOutcome::Finished);
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
  State().OnPair = [this](const PairResult&) { platform::DeleteTree(dir / u"gone"); };
  RunOptions o = Options();
  o.RecursiveOn = true;
  EXPECT_EQ(tobrenz::Run(o), RunOutcome::Finished);
  EXPECT_EQ(FilesIn(dir / u"kept"), (Files{{u"s.png", 10}}));
  ASSERT_EQ(State().Failures.size(), 1u);
  EXPECT_EQ(State().Failures[0].Path, dir / u"gone");
  EXPECT_EQ(Last().text, u"削除\".bmp\" / 対象ファイル = 2 / 2\r\n処理できなかったファイル・フォルダ = 1");
}

// A deletion the file system refuses is reported and not counted as done; the run goes on.
TEST_F(TobrenzRun, RefusedDeletionIsReportedNotCounted) {
  dir.MakeFolder(u"locked");
  Make({{u"p.png", 10}, {u"p.bmp", 90}}, u"locked");
  Make({{u"q.png", 10}, {u"q.bmp", 90}});
  ASSERT_EQ(chmod(U8(dir.Path()).c_str(), 0777), 0);
  ASSERT_EQ(chmod(U8(dir / u"locked").c_str(), 0555), 0);
  RunOptions o = Options();
  o.RecursiveOn = true;
  const int status = RunUnprivileged([&] {
    if (!platform::FolderExists(dir.Path())) return 77;
    tobrenz::Run(o);
    const RunState& st = State();
    const bool ok = st.TargetCount == 2 && st.DeletedCount == 1 && st.Failures.size() == 1 &&
                    st.Failures[0].Path == dir / u"locked/p.bmp" && pairs.size() == 2 && !pairs[1].Done &&
                    Last().text == u"削除\".bmp\" / 対象ファイル = 1 / 2\r\n処理できなかったファイル・フォルダ = 1";
    return ok ? 0 : 1;
  });
  if (status == 77) GTEST_SKIP() << "the temporary folder is out of an unprivileged user's reach";
  EXPECT_EQ(status, 0);
  EXPECT_EQ(FilesIn(dir / u"locked").size(), 2u);
  EXPECT_FALSE(platform::PathExists(dir / u"q.bmp"));
}

TEST_F(TobrenzRun, StopConfirmedAtTheFirstFolderDeletesNothing) {
  Make({{u"a.png", 10}, {u"a.bmp", 90}});
  view->on_events = [this](int) {
    if (!view->log.empty() && view->log.back() == u"text:" + dir.Path()) view->pending_clicks = 1;
  };
  view->answers = {true};
  EXPECT_EQ(tobrenz::Run(Options()), RunOutcome::Cancelled);
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
  EXPECT_EQ(tobrenz::Run(Options()), GetParam().yes ? RunOutcome::Cancelled : RunOutcome::Finished);
  EXPECT_TRUE(Captioned(u"選択中 - 99 / 99 p099.png"));
  EXPECT_EQ(State().TargetCount, GetParam().targets);
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
  EXPECT_EQ(tobrenz::Run(o), RunOutcome::Warned);
  ASSERT_EQ(messages.messages.size(), 1u);
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

  State().DryRun = true;
  tobrenz::Run(o);
  State().DryRun = false;
  const std::vector<PairResult> foreseen = pairs;
  const std::u16string dry_result = Last().text;
  EXPECT_EQ(FilesIn(dir.Path()), before);
  EXPECT_NE(platform::GetAttributes(dir / u"a.b.b.bmp") & platform::kAttrReadOnly, 0);

  pairs.clear();
  tobrenz::Run(o);
  EXPECT_EQ(Last().text, dry_result);
  ASSERT_EQ(pairs.size(), foreseen.size());
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    EXPECT_EQ(pairs[i].Target, foreseen[i].Target);
    EXPECT_EQ(pairs[i].PartnerGoes, foreseen[i].PartnerGoes);
  }
  EXPECT_EQ(FilesIn(dir.Path()), (Files{{u"a.png", 10}, {u"a.b.b.bmp", 5}, {u"c.b.bmp", 20}}));
}

}  // namespace
