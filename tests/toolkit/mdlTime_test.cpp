#include "toolkit/mdlTime.h"

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"
#include "toolkit/platform/fs.h"

using namespace platform;

namespace {

FileTimes Stamp(std::int64_t seconds) {
  FileTimes t;
  t.Access = seconds * 1000000000LL + 300;  // Windows keeps times in 100-nanosecond units
  t.Write = (seconds - 86400) * 1000000000LL + 500;
  return t;
}

FileTimes TimesOf(const std::u16string& path) {
  FileTimes t;
  EXPECT_TRUE(GetFileTimes(path, t));
  return t;
}

}  // namespace

TEST(CopyFileTime, DestinationTakesSourceTimesAndSourceLosesReadOnly) {
  TempDir t;
  const auto src = t.Write(u"a.bms", "old");
  const auto dst = t.Write(u"a.bms.mbk1", "new");
  ASSERT_TRUE(SetFileTimes(src, Stamp(1300000000)));
  ASSERT_TRUE(SetAttributes(src, kAttrReadOnly));

  EXPECT_TRUE(mdlTime::CopyFileTime(src, dst));
  EXPECT_EQ(TimesOf(dst).Access, Stamp(1300000000).Access);
  EXPECT_EQ(TimesOf(dst).Write, Stamp(1300000000).Write);
  EXPECT_EQ(AttributesOf(src) & kAttrReadOnly, 0);
}

TEST(CopyFileTime, MissingSourceIsReportedAndDestinationKept) {
  TempDir t;
  const auto dst = t.Write(u"b.bms", "x");
  ASSERT_TRUE(SetFileTimes(dst, Stamp(1200000000)));
  EXPECT_FALSE(mdlTime::CopyFileTime(t / u"missing.bms", dst));
  EXPECT_EQ(TimesOf(dst).Write, Stamp(1200000000).Write);
}

TEST(CopyFileTime, MissingDestinationIsSilent) {
  TempDir t;
  const auto src = t.Write(u"a.bms", "x");
  ASSERT_TRUE(SetAttributes(src, kAttrReadOnly));
  EXPECT_TRUE(mdlTime::CopyFileTime(src, t / u"missing.bms"));
  EXPECT_FALSE(PathExists(t / u"missing.bms"));
  EXPECT_EQ(AttributesOf(src), kAttrNormal);
}

TEST(CopyFileTime, SameFileTwiceChangesNoTime) {
  TempDir t;
  const auto f = t.Write(u"a.bms", "x");
  ASSERT_TRUE(SetFileTimes(f, Stamp(1100000000)));
  ASSERT_TRUE(SetAttributes(f, kAttrReadOnly));
  EXPECT_TRUE(mdlTime::CopyFileTime(f, f));
  EXPECT_EQ(AttributesOf(f), kAttrNormal);
  EXPECT_EQ(TimesOf(f).Access, Stamp(1100000000).Access);
  EXPECT_EQ(TimesOf(f).Write, Stamp(1100000000).Write);
}
