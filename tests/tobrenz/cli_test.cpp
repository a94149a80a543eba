#include "tobrenz/Cli.h"

#ifndef _WIN32
#include "tests/support/Posix.h"
#include "tests/support/Trash.h"
#endif
#include "tests/support/TempDir.h"

namespace {

class TobrenzCli : public ::testing::Test {
 protected:
  int Cli(const std::vector<std::u16string>& args) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const int status = tobrenz::CliMain(args);
    out = ::testing::internal::GetCapturedStdout();
    err = ::testing::internal::GetCapturedStderr();
    return status;
  }
  void Pair(const std::u16string& base, std::size_t png, std::size_t bmp) {
    for (const auto& [ext, size] : {std::pair{u".png", png}, {u".bmp", bmp}}) dir.Write(base + ext, std::string(size, 'x'));
  }
  TempDir dir;
  std::string out, err;
};

}  // namespace

TEST_F(TobrenzCli, DryRunListsEveryPairThenExitStatuses) {
  Pair(u"a", 10, 90);
  Pair(u"b", 90, 10);
  Pair(ShiftJisName(u"ピアノ"), 1, 2);  // a Shift-JIS name shows as its text
  const std::u16string ini = platform::JoinPath(platform::ExecutableFolder(), u"Tobrenz.ini");
  const bool ini_existed = platform::PathExists(ini);
  EXPECT_EQ(Cli({u"--include=*.png", u"--dry-run", dir.Path()}), 0);
  const std::string d = U8(dir.Path() + Sep(u"/"));
  for (const std::string& line : {"would delete " + d + "a.bmp (90 bytes), keep " + d + "a.png (10 bytes)\n",
                                  "would delete " + d + "b.png (90 bytes), keep " + d + "b.bmp (10 bytes)\n",
                                  "would delete " + d + "ピアノ.bmp", U8(u"削除\".bmp\" / 対象ファイル = 2 / 3")})
    EXPECT_NE(out.find(line), std::string::npos) << out;
  EXPECT_EQ(platform::PathExists(ini), ini_existed) << "the settings file is never written";

  // The version alone runs nothing; a bad extension ends with status 1 and deletes nothing.
  EXPECT_EQ(Cli({u"-V"}), 0);
  EXPECT_TRUE(Cli({u"--ext", u"b*p", dir.Path()}) == 1 && platform::FileExists(dir / u"a.bmp"));
#ifndef _WIN32
  // Refused deletions, and refused moves to the trash: exit 2, the files still there, no line saying
  // one went; every pair is still looked at, none counted as deleted, and each failure told.
  TempDir data;
  Chmod(data.Path(), 0777);
  const DataHome home(data / u"home");
  Chmod(dir.Path(), 0555);
  for (const std::u16string trash : {u"--no-trash", u"--trash"}) {
    const std::string why = U8(trash == u"--trash" ? u"ごみ箱に移動できません (" : u"削除できません (");
    const int status = RunUnprivileged([&] {
      const int s = Cli({trash, u"--include", u"*.png", dir.Path()});
      return out.find("deleted ") == std::string::npos && out.find("moved ") == std::string::npos &&
             err.find("failed: " + d + "a.bmp: " + why) != std::string::npos &&
             out.find(U8(u"対象ファイル = 0 / 3")) != std::string::npos ? s : 99;
    });
    EXPECT_EQ(status, 2) << U8(trash);
  }
  Chmod(dir.Path(), 0700);
  // The files that go to the trash, of either side, can be put back where they were.
  EXPECT_EQ(Cli({u"--trash", u"--include=*.png", dir.Path()}), 0);
  EXPECT_NE(out.find("moved to trash " + d + "a.bmp (90 bytes), kept " + d + "a.png (10 bytes)\n"), std::string::npos)
      << out;
  EXPECT_EQ(Restore(U8(data / u"home/Trash"), "a.bmp"), d + "a.bmp");
#endif
}
