#include "toolkit/mdlTime.h"

#include "tests/support/TempDir.h"

using namespace platform;

namespace {

using Times = std::pair<std::int64_t, std::int64_t>;  // access, write

Times Stamp(std::int64_t seconds) {  // Windows keeps times in 100-nanosecond units
  return {seconds * 1000000000LL + 300, (seconds - 86400) * 1000000000LL + 500};
}

void Set(const std::u16string& path, Times times, bool readOnly) {
  FileTimes t;
  std::tie(t.Access, t.Write) = times;
  ASSERT_TRUE(SetFileTimes(path, t));
  ASSERT_TRUE(!readOnly || SetAttributes(path, kAttrReadOnly));
}

Times TimesOf(const std::u16string& path) {
  FileTimes t;
  EXPECT_TRUE(GetFileTimes(path, t));
  return {t.Access, t.Write};
}

}  // namespace

TEST(CopyFileTime, DestinationTakesSourceTimesAndSourceLosesReadOnly) {
  TempDir t;
  const auto src = t.Write(u"a.bms", "old"), dst = t.Write(u"a.bms.mbk1", "new"), self = t.Write(u"s.bms", "x");
  Set(src, Stamp(1300000000), true);
  Set(dst, Stamp(1200000000), false);
  Set(self, Stamp(1100000000), true);

  EXPECT_FALSE(mdlTime::CopyFileTime(t / u"missing.bms", dst));
  EXPECT_EQ(TimesOf(dst), Stamp(1200000000)) << "a missing source leaves the destination alone";
  // A missing destination is silent and stays missing; the source still loses read-only.
  EXPECT_TRUE(mdlTime::CopyFileTime(src, t / u"missing.bms"));
  EXPECT_FALSE(PathExists(t / u"missing.bms"));
  EXPECT_EQ(AttributesOf(src), kAttrNormal);
  ASSERT_TRUE(SetAttributes(src, kAttrReadOnly));
  EXPECT_TRUE(mdlTime::CopyFileTime(src, dst));
  EXPECT_EQ(TimesOf(dst), Stamp(1300000000));
  EXPECT_EQ(AttributesOf(src) & kAttrReadOnly, 0);
  EXPECT_TRUE(mdlTime::CopyFileTime(self, self));
  EXPECT_EQ(AttributesOf(self), kAttrNormal);
  EXPECT_EQ(TimesOf(self), Stamp(1100000000));
}
