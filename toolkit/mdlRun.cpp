#include "mdlRun.h"

#include "mdlAppGlobal.h"
#include "mdlMessages.h"
#include "mdlTools.h"

std::u16string RunRecord::FailedLine(const std::u16string& label) const {
  if (Failures.empty()) return std::u16string();
  return u"\r\n" + label + u" = " + mdlTools::Decimal(static_cast<std::int64_t>(Failures.size()));
}

namespace mdlRun {

void SetFileFilter(const RunOptionsBase& options) {
  clsFilter& filter = mdlAppGlobal::Filter();
  filter.SetIsMatchOther(0, options.IncludeOn);
  filter.SetPatterns(0, options.IncludeText);
  filter.SetIsMatchOther(1, options.ExcludeOn);
  filter.SetPatterns(1, options.ExcludeText);
}

void BeginWork(const RunHooks& hooks, const std::u16string& text) {
  if (hooks.Begin) hooks.Begin();
  clsCancel& cancel = mdlAppGlobal::Cancel();
  cancel.SetCaption(u"準備中");
  cancel.SetTitle(u"");
  cancel.SetText(text);
  cancel.SetVisible(true);
  cancel.IsCancel = false;
}

RunOutcome EndWork(const RunHooks& hooks, bool finished, const std::function<std::u16string()>& result_text) {
  if (hooks.Refresh) hooks.Refresh();
  mdlAppGlobal::Cancel().SetVisible(false);
  mdlMessages::ShowMessage(result_text(), u"処理結果", MsgIcon::None);
  if (hooks.End) hooks.End();
  return finished ? RunOutcome::Finished : RunOutcome::Cancelled;
}

bool ListingStopped(const std::u16string& folder) {
  clsCancel& cancel = mdlAppGlobal::Cancel();
  cancel.SetCaption(u"ファイルリスト取得中 - " + folder);
  cancel.SetTitle(u"ファイルリスト取得中");
  cancel.SetText(folder);
  return cancel.DoCancel(u"ファイルリスト取得中");
}

bool ItemStopped(const std::u16string& label, std::int64_t done, std::int64_t total, const std::u16string& name) {
  clsCancel& cancel = mdlAppGlobal::Cancel();
  const std::u16string counts = mdlTools::Decimal(done) + u" / " + mdlTools::Decimal(total);
  cancel.SetCaption(label + u" - " + counts + u" " + name);
  cancel.SetTitle(label + u" - " + counts + u"\r\n" + name);
  return cancel.DoCancel(label);
}

}  // namespace mdlRun
