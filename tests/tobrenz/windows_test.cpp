// A file another program holds open on Windows cannot go: a failure, never a crash or a loss. A kept
// partner's attributes are its own on Windows.

#include "tests/support/Recorders.h"
#include "tests/support/TempDir.h"
#include "tests/support/Windows.h"
#include "tobrenz/Run.h"

TEST(WindowsTobrenz, AFileInUseStaysAndIsReportedAndAKeptPartnerEndsWithNormalAttributes) {
  TempDir dir;
  dir.Write(u"a.png", "x");
  dir.Write(u"a.bmp", std::string(90, 'x'));
  dir.Write(u"b.png", std::string(90, 'x'));
  const auto partner = dir.Write(u"b.bmp", "x");
  ASSERT_TRUE(platform::SetAttributes(partner, platform::kAttrHidden | platform::kAttrSystem | platform::kAttrReadOnly));
  ScriptedUser user;
  tobrenz::RunOptions options;
  std::tie(options.TargetText, options.IncludeOn, options.IncludeText) = std::make_tuple(dir.Path(), true, u"*.png");
  {
    HeldOpen held(dir / u"a.bmp");
    ASSERT_TRUE(held.IsOpen());
    const RunResult result = tobrenz::Run(user.Context(), options);
    ASSERT_EQ(result.Failures.size(), 1u);
    EXPECT_EQ(result.Failures[0].Path, dir / u"a.bmp");
    EXPECT_EQ(dir.Names(), (std::vector<std::u16string>{u"a.bmp", u"a.png", u"b.bmp"}));
    EXPECT_EQ(AttributesOf(partner), platform::kAttrNormal);
  }
  EXPECT_TRUE(tobrenz::Run(user.Context(), options).Failures.empty());
  EXPECT_EQ(dir.Names(), (std::vector<std::u16string>{u"a.png", u"b.bmp"}));
}
