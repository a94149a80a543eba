#include "mdlChartFile.h"

#include "mdlTime.h"
#include "mdlTools.h"
#include "platform/fs.h"

namespace mdlChartFile {

std::u16string Read(const std::u16string& chart, std::string& bytes) {
  return platform::ReadFile(chart, bytes) ? std::u16string() : u"読み込めません";
}

std::u16string TempPath(const std::u16string& chart, const std::u16string& ext) { return chart + u"." + ext + u"1"; }

std::u16string WriteTemp(const std::u16string& chart, const std::u16string& ext, const std::string& bytes,
                         bool durable) {
  const std::u16string temp = TempPath(chart, ext);
  if (platform::WriteFile(temp, bytes, durable)) return std::u16string();
  platform::DeleteFile(temp);
  return u"一時ファイル " + temp + u" を作れません";
}

void MakeDurable(const std::u16string& folder) { platform::SyncFileSystem(folder); }

std::u16string Replace(const std::u16string& chart, const std::u16string& ext, bool backup) {
  const std::u16string temp = TempPath(chart, ext);
  auto fail = [&](const std::u16string& reason) {
    platform::DeleteFile(temp);
    return reason;
  };
  // A linked chart's times are those of the file it points to; its attributes are not touched
  // through the link.
  if (!mdlTime::CopyFileTime(chart, temp)) return fail(u"譜面が見つかりません");
  std::u16string kept;
  if (backup) {
    // A new name for the old content, never one that exists: the chart's path keeps the old
    // content until the new one takes its place in one step.
    for (int n = 1; n <= kMaxBackupNumber && kept.empty(); ++n) {
      const std::u16string candidate = chart + u"~" + mdlTools::Decimal(n) + u"." + ext;
      const platform::KeepResult result = platform::KeepCopyNoReplace(chart, candidate);
      if (result == platform::KeepResult::Made) kept = candidate;
      if (result == platform::KeepResult::Failed) break;
    }
    if (kept.empty()) return fail(u"バックアップを作れません");
  }
  if (!platform::RenameReplace(temp, chart)) {
    if (!kept.empty()) platform::DeleteFile(kept);  // a second name of the unchanged chart
    return fail(u"書き換えたファイルを置けません");
  }
  return std::u16string();
}

}  // namespace mdlChartFile
