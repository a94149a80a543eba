#include "cli.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "Recorders.h"
#include "TempDir.h"
#include "Unprivileged.h"
#include "mdlAppGlobal.h"
#include "mdlTools.h"
#include "platform/fs.h"

namespace {

class TobrenzCli : public ::testing::Test {
 protected:
  void SetUp() override {
    auto owned = std::make_unique<ScriptedCancelView>();
    view = owned.get();
    mdlAppGlobal::SetCancelView(std::move(owned));
  }
  // Runs the command line and keeps what it printed on stdout.
  int Cli(const std::vector<std::u16string>& args) {
    ::testing::internal::CaptureStdout();
    const int status = tobrenz::CliMain(args);
    out = ::testing::internal::GetCapturedStdout();
    return status;
  }
  void Pair(const std::u16string& base, std::size_t png, std::size_t bmp, const std::u16string& under = u"") {
    const std::u16string prefix = under.empty() ? base : platform::JoinPath(under, base);
    dir.Write(prefix + u".png", std::string(png, 'x'));
    dir.Write(prefix + u".bmp", std::string(bmp, 'x'));
  }

  TempDir dir;
  ScriptedCancelView* view = nullptr;
  std::string out;
};

TEST_F(TobrenzCli, DryRunListsEveryPairAndChangesNothing) {
  Pair(u"a", 10, 90);
  Pair(u"b", 90, 10);
  const std::u16string ini = platform::JoinPath(platform::ExecutableFolder(), u"Tobrenz.ini");
  const bool ini_existed = platform::PathExists(ini);

  EXPECT_EQ(Cli({u"--include", u"*.png", u"--dry-run", dir.Path()}), 0);
  const std::string d = U8(dir.Path());
  EXPECT_NE(out.find("would delete " + d + "/a.bmp (90 bytes), keep " + d + "/a.png (10 bytes)\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find("would delete " + d + "/b.png (90 bytes), keep " + d + "/b.bmp (10 bytes)\n"), std::string::npos)
      << out;
  EXPECT_NE(out.find(U8(u"削除\".bmp\" / 対象ファイル = 1 / 2")), std::string::npos) << out;
  for (const char16_t* name : {u"a.png", u"a.bmp", u"b.png", u"b.bmp"}) EXPECT_TRUE(platform::FileExists(dir / name));
  EXPECT_EQ(platform::PathExists(ini), ini_existed) << "the settings file is never written";
}

TEST_F(TobrenzCli, OptionsChooseExtensionAndRecursion) {
  dir.MakeFolder(u"sub");
  dir.Write(u"x.png", std::string(10, 'x'));
  dir.Write(u"x.jpg", std::string(90, 'x'));
  Pair(u"s", 10, 90, u"sub");
  EXPECT_EQ(Cli({u"--ext", u"jpg", u"--recursive", u"--include", u"*.png", dir.Path()}), 0);
  EXPECT_FALSE(platform::PathExists(dir / u"x.jpg"));
  EXPECT_TRUE(platform::FileExists(dir / u"sub/s.bmp")) << "bmp is not the comparison extension here";
  EXPECT_NE(out.find("deleted " + U8(dir / u"x.jpg")), std::string::npos) << out;

  EXPECT_EQ(Cli({u"--recursive", u"--no-recursive", u"--exclude", u"x*", u"--no-exclude", dir.Path()}), 0);
  EXPECT_TRUE(platform::FileExists(dir / u"sub/s.bmp"));
  EXPECT_EQ(Cli({u"--recursive", u"--include", u"*.png", dir.Path()}), 0);
  EXPECT_FALSE(platform::PathExists(dir / u"sub/s.bmp"));
}

TEST_F(TobrenzCli, BadArgumentsAndWarningsExitWithOneAndDeleteNothing) {
  Pair(u"a", 10, 90);
  const std::vector<std::vector<std::u16string>> cases = {
      {},
      {u"--bogus", dir.Path()},
      {dir.Path(), u"--ext"},
      {dir.Path(), dir.Path()},
      {u"--ext", u"b*p", dir.Path()},
      {u"--ext", u"", dir.Path()},
      {dir / u"missing"},
  };
  for (const auto& args : cases) {
    EXPECT_EQ(Cli(args), 1) << (args.empty() ? "no arguments" : U8(args[0]));
    EXPECT_TRUE(platform::FileExists(dir / u"a.bmp"));
  }
}

TEST_F(TobrenzCli, StopByTheUserExitsWith130AndAFailureWith2) {
  Pair(u"a", 10, 90);
  view->on_events = [this](int) {
    if (!view->log.empty() && view->log.back().rfind(u"title:ファイルリスト取得中", 0) == 0) view->pending_clicks = 1;
  };
  view->answers = {true};
  EXPECT_EQ(Cli({dir.Path()}), 130);
  EXPECT_TRUE(platform::FileExists(dir / u"a.bmp"));

  view->on_events = nullptr;
  ASSERT_EQ(chmod(U8(dir.Path()).c_str(), 0555), 0);
  const int status = RunUnprivileged([&] { return tobrenz::CliMain({dir.Path()}); });
  chmod(U8(dir.Path()).c_str(), 0700);
  if (status == 1) GTEST_SKIP() << "the temporary folder is out of an unprivileged user's reach";
  EXPECT_EQ(status, 2);
  EXPECT_TRUE(platform::FileExists(dir / u"a.bmp"));
}

}  // namespace
