// A file another program holds open on Windows cannot go: a failure, never a crash or a loss. A kept
// partner's attributes are its own on Windows.

#include "tests/support/Recorders.h"
#include "tests/support/TempDir.h"
#include "tests/support/Windows.h"
#include "tobrenz/mdlMain.h"

TEST(WindowsTobrenz, AFileInUseStaysAndIsReported) {
  TempDir dir;
  dir.Write(u"a.png", "x");
  dir.Write(u"a.bmp", std::string(90, 'x'));
  ScriptedUser user;
  tobrenz::RunOptions options;
  options.TargetText = dir.Path();
  options.IncludeOn = true;
  options.IncludeText = u"*.png";
  {
    HeldOpen held(dir / u"a.bmp");
    ASSERT_TRUE(held.IsOpen());
    const RunResult result = tobrenz::Run(user.Context(), options);
    ASSERT_EQ(result.Failures.size(), 1u);
    EXPECT_EQ(result.Failures[0].Path, dir / u"a.bmp");
    EXPECT_TRUE(platform::FileExists(dir / u"a.bmp"));
  }
  EXPECT_TRUE(tobrenz::Run(user.Context(), options).Failures.empty());
  EXPECT_FALSE(platform::PathExists(dir / u"a.bmp"));
}

TEST(WindowsTobrenz, AKeptPartnerEndsWithNormalAttributes) {
  TempDir dir;
  dir.Write(u"a.png", std::string(90, 'x'));
  const auto partner = dir.Write(u"a.bmp", "x");
  ASSERT_TRUE(platform::SetAttributes(partner, platform::kAttrHidden | platform::kAttrSystem | platform::kAttrReadOnly));
  ScriptedUser user;
  tobrenz::RunOptions options;
  options.TargetText = dir.Path();
  options.IncludeOn = true;
  options.IncludeText = u"*.png";
  EXPECT_TRUE(tobrenz::Run(user.Context(), options).Failures.empty());
  EXPECT_EQ(dir.Names(), std::vector<std::u16string>{u"a.bmp"});
  EXPECT_EQ(AttributesOf(partner), platform::kAttrNormal);
}
