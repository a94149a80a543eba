#include "toolkit/run/Run.h"

#include "toolkit/files/FolderIndex.h"
#include "toolkit/files/Paths.h"
#include "toolkit/platform/fs.h"
#include "toolkit/text/Codecs.h"

std::u16string RunRecord::FailedLines(const std::u16string& label, bool list) const {
  if (Failures.empty()) return std::u16string();
  std::u16string text = u"\r\n" + label + u" = " + paths::Decimal(static_cast<std::int64_t>(Failures.size()));
  const std::size_t shown = list ? std::min(Failures.size(), kListedFailures) : 0;
  for (std::size_t i = 0; i < shown; ++i) {
    text += u"\r\n　" + text::ReadableName(Failures[i].Path) + u": " + Failures[i].Reason;
  }
  if (list && shown < Failures.size()) {
    text += u"\r\n　… ほか " + paths::Decimal(static_cast<std::int64_t>(Failures.size() - shown)) + u" 件";
  }
  return text;
}

void RunOptionsBase::FromSettings(const settings::SettingsTable& table) {
  using namespace settings;
  IncludeOn = table.Number(kSectionFilter, kKeyInclude) != 0;
  IncludeText = table.Text(kSectionFilter, kKeyIncludeText);
  ExcludeOn = table.Number(kSectionFilter, kKeyExclude) != 0;
  ExcludeText = table.Text(kSectionFilter, kKeyExcludeText);
  RecursiveOn = table.Number(kSectionProcess, kKeyRecursive) != 0;
  TargetText = table.Text(kSectionSystem, kKeyTarget);
}

void RunOptionsBase::ToSettings(settings::SettingsTable& table) const {
  using namespace settings;
  table.Set(kSectionSystem, kKeyTarget, SettingValue::OfText(TargetText));
  table.Set(kSectionFilter, kKeyInclude, SettingValue::OfNumber(IncludeOn ? 1 : 0));
  table.Set(kSectionFilter, kKeyIncludeText, SettingValue::OfText(IncludeText));
  table.Set(kSectionFilter, kKeyExclude, SettingValue::OfNumber(ExcludeOn ? 1 : 0));
  table.Set(kSectionFilter, kKeyExcludeText, SettingValue::OfText(ExcludeText));
  table.Set(kSectionProcess, kKeyRecursive, SettingValue::OfNumber(RecursiveOn ? 1 : 0));
}

void RunStateBase::ReadBase(const RunOptionsBase& options) {
  RecursiveOn = options.RecursiveOn;
  DryRun = options.DryRun;
  ListFailures = options.ResultListsFailures;
}

StoredFiles::Result ChartRunState::FindMaterial(const std::u16string& base, const std::u16string& relative) {
  std::u16string why;
  const StoredFiles::Result found = Materials.FindFile(base, relative, why);
  if (found == StoredFiles::Result::Failed && MaterialFailures.insert(why).second) {
    Fail(base, u"素材ファイルを確かめられません: " + why);
  }
  return found;
}

namespace run {
namespace {
constexpr char16_t kCannotRead[] = u"フォルダを読めません";
}  // namespace

platform::Folder OpenFolder(RunRecord& record, const std::u16string& path) {
  platform::IoError error;
  platform::Folder folder = platform::Folder::Open(path, error);
  if (!folder.IsOpen()) record.Fail(path, platform::Explained(kCannotRead, error));
  return folder;
}

std::optional<FolderListing> ListFiles(RunStateBase& state, const platform::Folder& folder) {
  platform::IoError error;
  FileFilter& files = state.Context().Files;
  if (files.MakeFileList(folder, error)) return FolderListing{files.List(), files.Entries()};
  state.Fail(folder.Path(), platform::Explained(kCannotRead, error));
  return std::nullopt;
}

bool EachSubfolder(RunRecord& record, const platform::Folder& folder, const std::vector<std::u16string>& names,
                   const std::function<bool(const platform::Folder& sub)>& step) {
  for (const std::u16string& name : names) {
    platform::IoError error;
    const platform::Folder sub = folder.OpenSub(name, error);
    if (!sub.IsOpen()) {
      record.Fail(folder.PathOf(name), platform::Explained(kCannotRead, error));
      continue;
    }
    if (!step(sub)) return false;
  }
  return true;
}

bool Lock(RunRecord& record, platform::FolderLock& lock, const platform::Folder& folder) {
  std::u16string why;
  if (run::LockFolder(lock, folder, why)) return true;
  record.Fail(folder.Path(), why);
  return false;
}

bool RewriteCharts(ChartRunState& state, const platform::Folder& folder, const std::vector<platform::DirEntry>& listing,
                   const std::vector<std::u16string>& names, const std::u16string& ext, const std::u16string& label,
                   const std::function<void(run::ChartFolder& charts, const std::u16string& name)>& chart) {
  run::ChartFolder charts(folder, ext, state.BackupOn, state.DryRun);
  std::u16string why;
  if (!charts.Begin(listing, why, state.Hooks.Leftover)) {
    state.Fail(folder.Path(), why);
    return true;
  }
  for (const std::u16string& name : names) {
    // A backup may be the only copy of a chart as it was; a temporary file is half a chart.
    if (run::IsOwnFile(name)) continue;
    if (ItemStopped(state.Context().Progress, label, state.ProcessedCount, state.TargetCount, name)) return false;
    chart(charts, name);
  }
  return true;
}

void RewriteChart(ChartRunState& state, run::ChartFolder& charts, const std::u16string& name,
                  run::LineRewrite rewrite) {
  ++state.TargetCount;
  // The text of every changed line costs an allocation or two per line: kept only for a listener.
  rewrite.ShowLines = state.Hooks.Changed && state.Hooks.ChangedLines;
  run::ChartChange change;
  std::u16string why;
  switch (charts.Rewrite(name, rewrite, change, why)) {
    case run::Outcome::Failed:
      state.Fail(change.Path, why);
      break;
    case run::Outcome::Rewritten:
      ++state.ProcessedCount;
      if (state.Hooks.Changed) state.Hooks.Changed(change);
      break;
    case run::Outcome::Unchanged:
      break;
  }
}

void SetFileFilter(FileFilter& filter, const RunOptionsBase& options) {
  filter.SetIsMatchOther(0, options.IncludeOn);
  filter.SetPatterns(0, options.IncludeText);
  filter.SetIsMatchOther(1, options.ExcludeOn);
  filter.SetPatterns(1, options.ExcludeText);
}

std::u16string RunFolder(const std::u16string& text, bool exact, const std::u16string& base, std::u16string& why) {
  why.clear();
  if (!exact) {
    if (paths::CheckPathBox(text, base).empty()) return std::u16string();
    // The folder was just seen; spelled as stored. Should it have become impossible to examine
    // meanwhile, the run stops rather than work in another folder.
    const std::u16string full = paths::GetFullPath(text, base);
    const std::u16string stored = paths::GetTruePath(full);
    if (stored.empty() || !platform::FolderExists(stored)) {
      why = text::ReadableName(full) + u": 調べられません";
    }
    return why.empty() ? stored : std::u16string();
  }
  if (text.empty()) return std::u16string();
  platform::FileInfo info;
  platform::IoError error;
  if (!platform::PathInfo(text, info, error)) {
    why = text::ReadableName(text) + u": " + platform::ErrorText(error);
    return std::u16string();
  }
  if (!info.IsFolder) {
    why = text::ReadableName(text) + u": フォルダではありません";
    return std::u16string();
  }
  return text;
}

bool IsChartName(const std::u16string& name) {
  const std::size_t dot = name.rfind(u'.');
  if (dot == std::u16string::npos) return false;
  const std::u16string ext = FolderIndex::Folded(name.substr(dot + 1));
  return ext == u"bms" || ext == u"bme" || ext == u"bml" || ext == u"pms" || ext == u"bmson";
}

std::u16string WithReason(const std::u16string& message, const std::u16string& why) {
  return why.empty() ? message : message + u"\r\n" + why;
}

void BeginWork(const RunContext& context, const RunHooks& hooks, const std::u16string& text) {
  if (hooks.Begin) hooks.Begin();
  RunProgress& cancel = context.Progress;
  cancel.SetCaption(u"準備中");
  cancel.SetTitle(u"");
  cancel.SetText(text);
  cancel.SetVisible(true);
  cancel.IsCancel = false;
}

RunResult EndWork(const RunContext& context, const RunHooks& hooks, bool finished, const std::u16string& result_text,
                  const RunRecord& record) {
  if (hooks.Refresh) hooks.Refresh();
  context.Progress.SetVisible(false);
  if (hooks.Result) {
    hooks.Result(result_text);
  } else {
    context.Messages.ShowMessage(result_text, u"処理結果", MsgIcon::None);
  }
  if (hooks.End) hooks.End();
  return {finished ? RunOutcome::Finished : RunOutcome::Cancelled, record.Failures};
}

bool ListingStopped(RunProgress& cancel, const std::u16string& folder) {
  const std::u16string shown = text::ReadableName(folder);
  cancel.SetCaption(u"ファイルリスト取得中 - " + shown);
  cancel.SetTitle(u"ファイルリスト取得中");
  cancel.SetText(shown);
  return cancel.DoCancel(u"ファイルリスト取得中");
}

bool ItemStopped(RunProgress& cancel, const std::u16string& label, std::int64_t done, std::int64_t total,
                 const std::u16string& name) {
  const std::u16string counts = paths::Decimal(done) + u" / " + paths::Decimal(total);
  const std::u16string shown = text::ReadableName(name);
  cancel.SetCaption(label + u" - " + counts + u" " + shown);
  cancel.SetTitle(label + u" - " + counts + u"\r\n" + shown);
  return cancel.DoCancel(label);
}

}  // namespace run
