#include "mdlCli.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "TempDir.h"
#include "mdlTools.h"
#include "platform/fs.h"

namespace {

using Args = std::vector<std::u16string>;

// What a command without options of its own makes of its arguments.
struct Parsed {
  std::optional<int> status;
  RunOptionsBase options;
  bool dry_run = false;
  std::string out, err;
};

Parsed Parse(const Args& args) {
  Parsed p;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  {
    mdlCli::Session cli(u"mdlCliTest", "test-cli", "usage: test-cli TARGET\n", mdlOptions::SettingsTable{});
    for (std::size_t i = 0; i < args.size() && !p.status; ++i) p.status = cli.TakeShared(args, i, p.options);
    if (!p.status) p.status = cli.TakeTarget(p.options);
    p.dry_run = cli.DryRun();
  }
  p.out = ::testing::internal::GetCapturedStdout();
  p.err = ::testing::internal::GetCapturedStderr();
  // The session named the program and its folders; the other tests expect them unset.
  mdlTools::SetProgramName(u"");
  mdlTools::SetAppFolder(u"");
  mdlTools::SetCurrentFolder(u"");
  return p;
}

}  // namespace

TEST(mdlCli, EndsAtHelpVersionAndBadArguments) {
  struct Case {
    Args args;
    int status;
    std::string out, err;
  };
  auto bad = [](const std::string& why) { return "test-cli: " + why + "\n(see test-cli --help)\n"; };
  const std::vector<Case> cases = {
      {{u"-h", u"--bogus"}, 0, "usage: test-cli TARGET\n", ""},
      {{u"--version"}, 0, "test-cli 0.1.0\n", ""},
      {{}, 1, "", bad("no target folder given")},
      {{u"--dry-run", u"--include"}, 1, "", bad("--include needs PATTERNS")},
      {{u"x", u"--exclude"}, 1, "", bad("--exclude needs PATTERNS")},
      {{u"-r", u"x"}, 1, "", bad("unknown option -r")},
      {{u"x", u"y"}, 1, "", bad("only one target folder may be given")},
      {{u"a\tb"}, 1, "", bad("the target folder is no usable path")},
  };
  for (const Case& c : cases) {
    const Parsed p = Parse(c.args);
    const std::string what = c.args.empty() ? "no arguments" : U8(c.args.back());
    EXPECT_EQ(p.status, c.status) << what;
    EXPECT_EQ(p.out, c.out) << what;
    EXPECT_EQ(p.err, c.err) << what;
  }
}

TEST(mdlCli, SwitchesAndTheTargetFolder) {
  const std::u16string here = platform::CurrentDirectory();
  // The last of opposite switches counts, and a value is taken as it stands, dash or not.
  Parsed p = Parse({u"--include", u"*.png", u"--exclude", u"--recursive", u"--no-include", u"--recursive",
                    u"--no-recursive", u"--dry-run", u"songs"});
  EXPECT_EQ(p.status, std::nullopt) << p.err;
  EXPECT_FALSE(p.options.IncludeOn);
  EXPECT_EQ(p.options.IncludeText, u"*.png");
  EXPECT_TRUE(p.options.ExcludeOn);
  EXPECT_EQ(p.options.ExcludeText, u"--recursive");
  EXPECT_FALSE(p.options.RecursiveOn);
  EXPECT_TRUE(p.dry_run);
  EXPECT_EQ(p.options.TargetText, platform::JoinPath(here, u"songs")) << "relative to the shell's folder";

  p = Parse({u"--no-exclude", u"-"});  // a lone dash is a folder's name
  EXPECT_EQ(p.status, std::nullopt) << p.err;
  EXPECT_FALSE(p.options.ExcludeOn);
  EXPECT_FALSE(p.dry_run);
  EXPECT_EQ(p.options.TargetText, platform::JoinPath(here, u"-"));
}
