#include "mdlChartFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "mdlTools.h"
#include "platform/fs.h"

using namespace mdlChartFile;

namespace {

std::vector<std::u16string> Names(const TempDir& t) {
  std::vector<platform::DirEntry> entries;
  EXPECT_TRUE(platform::ListFolder(t.Path(), entries));
  std::vector<std::u16string> names;
  for (const auto& e : entries) names.push_back(e.Name);
  return names;
}

std::string Read(const std::u16string& path) {
  std::string bytes;
  EXPECT_TRUE(platform::ReadFile(path, bytes)) << U8(path);
  return bytes;
}

}  // namespace

// The backup search takes the last number it may and then gives up, leaving the chart as it was
// and no temporary file behind.
TEST(mdlChartFile, BackupNumbersRunOutAtTheBound) {
  TempDir t;
  const auto chart = t.Write(u"a.bms", "old");
  for (int n = 1; n < kMaxBackupNumber; ++n) {
    ASSERT_TRUE(platform::WriteFile(t / (u"a.bms~" + mdlTools::Decimal(n) + u".mbk"), "", false));
  }
  const std::u16string last = t / (u"a.bms~" + mdlTools::Decimal(kMaxBackupNumber) + u".mbk");

  ASSERT_EQ(WriteTemp(chart, u"mbk", "new", false), u"");
  MakeDurable(t.Path());
  EXPECT_EQ(Replace(chart, u"mbk", true), u"");
  EXPECT_EQ(Read(chart), "new");
  EXPECT_EQ(Read(last), "old");

  ASSERT_EQ(WriteTemp(chart, u"mbk", "newer", true), u"");
  EXPECT_EQ(Replace(chart, u"mbk", true), u"バックアップを作れません");
  EXPECT_EQ(Read(chart), "new");
  EXPECT_FALSE(platform::PathExists(TempPath(chart, u"mbk")));
  EXPECT_EQ(Names(t).size(), static_cast<std::size_t>(kMaxBackupNumber) + 1);
}

// A chart that went away after it was read is not brought back by its temporary file.
TEST(mdlChartFile, AChartGoneBeforeItsReplaceStaysGone) {
  TempDir t;
  const auto chart = t.Write(u"a.bms", "old");
  ASSERT_TRUE(platform::DeleteFile(chart));
  for (const bool backup : {true, false}) {
    ASSERT_EQ(WriteTemp(chart, u"cbk", "new", true), u"");
    EXPECT_EQ(Replace(chart, u"cbk", backup), u"譜面が見つかりません");
    EXPECT_TRUE(Names(t).empty());
  }
}
