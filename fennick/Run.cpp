#include "fennick/Run.h"

#include <string>

#include "fennick/Commands.h"
#include "fennick/Settings.h"
#include "toolkit/files/Paths.h"
#include "toolkit/platform/fs.h"
#include "toolkit/text/ChartText.h"
#include "toolkit/text/Compare.h"
#include "toolkit/text/Codecs.h"

namespace fennick {
namespace {

// Fennick's temporary files end in ".cbk1", its backups in "~n.cbk".
constexpr char16_t kBackupExt[] = u"cbk";
// Sync deletion shows its progress, and looks for a stop, once per this many entries.
constexpr std::int32_t kProgressEvery = 100;

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

void SetSyncProgress(const RunState& state, const std::u16string& target, const std::u16string& name) {
  RunProgress& cancel = state.Context().Progress;
  const std::u16string deleted = u"同期削除中 - DELETED: " + paths::Decimal(state.DeletedCount);
  const std::u16string shown = text::ReadableName(name);
  cancel.SetCaption(deleted + u" " + shown);
  cancel.SetTitle(deleted + u"\r\n" + shown);
  cancel.SetText(text::ReadableName(target));
}

// Why an entry of a tree stayed, as the user reads it.
std::u16string StayText(const platform::TreeRemoval::Stay& stay, bool trash) {
  using Why = platform::TreeRemoval::Why;
  switch (stay.Reason) {
    case Why::Kept: return u"ソースフォルダなので削除しません";
    case Why::HoldsKept: return u"ソースフォルダを含むので削除しません";
    case Why::KeptFile: return u"譜面は削除しません";
    case Why::HoldsKeptFile: return u"譜面を含むので削除しません";
    case Why::MountPoint: return u"マウントポイントなので削除しません";
    case Why::Held: return u"別の実行がこのフォルダを処理中です";
    case Why::Failed: break;
  }
  return platform::Explained(trash ? u"ごみ箱に移動できません" : u"削除できません", stay.Error);
}

// Records a tree that did not go: the tree with the reason when that lies in the tree itself, else
// the tree as partly deleted (or not at all; a tree bound for the trash goes whole or not at all),
// then each entry that stayed with its reason.
void ReportStayed(RunState& state, const std::u16string& path, const platform::TreeRemoval& removal) {
  const auto& stayed = removal.Stayed;
  if (stayed.size() == 1 && stayed[0].Path == path) {
    state.Fail(path, StayText(stayed[0], state.TrashOn));
    return;
  }
  const std::u16string count = paths::Decimal(static_cast<std::int64_t>(stayed.size()));
  state.Fail(path, state.TrashOn           ? u"ごみ箱に移動できません"
                   : removal.Removed > 0 ? u"一部だけ削除しました (残った項目 " + count + u" 件)"
                                         : u"削除できません (残った項目 " + count + u" 件)");
  for (const auto& stay : stayed) state.Fail(stay.Path, StayText(stay, state.TrashOn));
}

// Walks into every real subfolder of a folder in name order; false when a step was stopped.
bool EachSubfolder(RunState& state, const platform::Folder& folder,
                   const std::function<bool(const platform::Folder& sub)>& step) {
  FolderIndex index;
  platform::IoError error;
  if (!index.Load(folder, error)) {
    state.Fail(folder.Path(), platform::Explained(u"フォルダを読めません", error));
    return true;
  }
  return run::EachSubfolder(state, folder, index.Subfolders(), step);
}

// How many entries a folder holds at every level, as a deletion of its tree meets them: links are
// not followed and another mount is not entered. What cannot be listed is not counted.
std::size_t CountEntries(const platform::Folder& folder, std::uint64_t device) {
  std::vector<platform::DirEntry> entries;
  platform::IoError error;
  if (!folder.List(entries, error, platform::Folder::Order::AsStored)) return 0;
  std::size_t count = entries.size();
  for (const platform::DirEntry& entry : entries) {
    if (!entry.IsRealFolder()) continue;
    const platform::Folder sub = folder.OpenSub(entry.Name, error);
    platform::FileInfo info;
    if (sub.IsOpen() && sub.SelfInfo(info, error) && info.Device == device) count += CountEntries(sub, info.Device);
  }
  return count;
}

// Whether the file part of a material line names a file (not a folder) of the source folder. A
// folder that cannot be examined is no answer: recorded once, and Failed.
StoredFiles::Result MaterialFile(RunState& state, const std::u16string& source, const std::u16string& file) {
  if (file.empty()) return StoredFiles::Result::Absent;
  return state.FindMaterial(source, file);
}

}  // namespace

ConvertModes ConvertModeOf(std::int32_t number) {
  return number == 1 ? ConvertModes::Redefine : number == 2 ? ConvertModes::Clear : ConvertModes::Normal;
}

void RunOptions::FromSettings(const settings::SettingsTable& table) {
  using namespace settings;
  RunOptionsBase::FromSettings(table);
  SourceText = table.Text(kSectionSystem, kKeySource);
  SyncDeleteOn = table.Number(kSectionProcess, kKeySyncDelete) != 0;
  ConvertOn = table.Number(kSectionProcess, kKeyConvert) != 0;
  ConvertMode = ConvertModeOf(table.Number(kSectionProcess, kKeyConvertMode));
  BackupOn = table.Number(kSectionProcess, kKeyBackup) != 0;
  BaseFolderOn = table.Number(kSectionProcess, kKeyBaseFolder) != 0;
  TrashOn = table.Number(kSectionProcess, kKeyTrash) != 0;
}

void RunOptions::ToSettings(settings::SettingsTable& table) const {
  using namespace settings;
  RunOptionsBase::ToSettings(table);
  table.Set(kSectionSystem, kKeySource, SettingValue::OfText(SourceText));
  table.Set(kSectionProcess, kKeySyncDelete, SettingValue::OfNumber(SyncDeleteOn ? 1 : 0));
  table.Set(kSectionProcess, kKeyConvert, SettingValue::OfNumber(ConvertOn ? 1 : 0));
  table.Set(kSectionProcess, kKeyConvertMode, SettingValue::OfNumber(static_cast<std::int32_t>(ConvertMode)));
  table.Set(kSectionProcess, kKeyBackup, SettingValue::OfNumber(BackupOn ? 1 : 0));
  table.Set(kSectionProcess, kKeyBaseFolder, SettingValue::OfNumber(BaseFolderOn ? 1 : 0));
  table.Set(kSectionProcess, kKeyTrash, SettingValue::OfNumber(TrashOn ? 1 : 0));
}

std::u16string LastComponent(const std::u16string& path) {
  const std::u16string name = platform::LastName(path);
  // A drive such as "C:" is a root, not a folder name.
  return name == platform::RootOf(path) ? std::u16string() : name;
}

bool ConvertMaterialLine(RunState& state, const std::u16string& source, const std::u16string& set_tag,
                         std::u16string& line) {
  const auto& names = CommandNames();
  int command = 0;
  for (int k = 1; k <= kCommandCount && command == 0; ++k) {
    if (text::StartsWith(line, names[k], text::CaseMode::Text)) command = k;
  }
  if (command == 0) return false;

  // The character right after the command and its index separates them from the file.
  const std::size_t separator = names[command].size() + static_cast<std::size_t>(CommandIdWidth()[command]);
  const std::size_t open = line.find(u'<', separator);
  const std::size_t close = line.find(u'>', separator);
  std::u16string head, bracket, file;
  if (open != std::u16string::npos && close != std::u16string::npos && close > open) {
    head = line.substr(0, open);
    bracket = line.substr(open, close - open + 1);
    file = line.substr(close + 1);
  } else {
    // The separator may be any character; the blanks after it stay in the head.
    std::size_t q = separator + 1;
    while (q < line.size() && IsBlank(line[q])) ++q;
    head = line.substr(0, std::min(q, line.size()));
    if (q < line.size()) file = line.substr(q);
  }
  const ConvertModes mode = state.ConvertMode;
  if (mode == ConvertModes::Redefine || mode == ConvertModes::Clear) bracket.clear();
  if (bracket.empty() && mode != ConvertModes::Clear) {
    const StoredFiles::Result found = MaterialFile(state, source, file);
    // A line whose file could not be looked for stays exactly as it is, its tag included.
    if (found == StoredFiles::Result::Failed) return false;
    if (found == StoredFiles::Result::Found) bracket = set_tag;
  }

  std::u16string converted = head + bracket + file;
  if (text::Equal(converted, line, text::CaseMode::Text)) return false;
  line = std::move(converted);
  return true;
}

std::u16string SetTag(const std::u16string& source) {
  std::u16string name = LastComponent(source);
  std::string bytes;
  if (text::EncodeCp932(name, bytes)) name = text::DecodeCp932(bytes);
  return u"<" + name + u">";
}

void ConvertChart(RunState& state, run::ChartFolder& charts, const std::u16string& source,
                  const std::u16string& name) {
  const std::u16string set_tag = SetTag(source);
  run::LineRewrite rewrite;
  // One tag serves both encodings: read back from Shift-JIS bytes it is text wherever the name is,
  // and the chart's encoding then decides whether it can be written.
  rewrite.Rewrite = [&](std::u16string& line, text::ChartEncoding) {
    return ConvertMaterialLine(state, source, set_tag, line);
  };
  run::RewriteChart(state, charts, name, rewrite);
}

bool SyncDelete(RunState& state, const std::u16string& source, const platform::Folder& target) {
  RunProgress& cancel = state.Context().Progress;
  platform::IoError error;
  const platform::Folder set = platform::Folder::Open(source, error);
  std::vector<platform::DirEntry> entries;
  // The sound set in the order its file system keeps it: the target's namesakes, stored alike, then
  // go in the order that file system removes them fastest.
  const bool listed = set.IsOpen() && set.List(entries, error, platform::Folder::Order::AsStored);
  SetSyncProgress(state, target.Path(), entries.empty() ? std::u16string() : entries.front().Name);
  if (cancel.DoCancel(u"同期削除中")) return false;
  if (!listed) {
    state.Fail(source, platform::Explained(u"ソースフォルダを読めません", error));
    return true;
  }
  // Every entry would be its own namesake: the sound set itself would go.
  if (set.SameAs(target)) {
    state.Fail(target.Path(), u"ソースフォルダと同じフォルダなので同期削除しません");
    return true;
  }
  FolderIndex targets;
  if (!targets.Load(target, error)) {
    state.Fail(target.Path(), platform::Explained(u"ターゲットフォルダを読めません", error));
    return true;
  }
  // The sound set is kept by its identity, however it was reached (a link, a bind mount): no folder
  // tree that is or holds it goes.
  platform::FileInfo set_info;
  if (!set.SelfInfo(set_info, error)) {
    state.Fail(source, platform::Explained(u"ソースフォルダを読めません", error));
    return true;
  }

  state.ProgressTick = kProgressEvery;
  for (const platform::DirEntry& entry : entries) {
    if (++state.ProgressTick >= kProgressEvery) {
      state.ProgressTick = 0;
      SetSyncProgress(state, target.Path(), entry.Name);
      if (cancel.DoCancel(u"同期削除中")) return false;
    }
    const platform::DirEntry* found = targets.Find(entry.Name);
    if (found == nullptr) continue;
    const std::u16string name = found->Name;
    const std::u16string path = target.PathOf(name);
    // A folder, or a link to one, goes as a tree: a link as a link, a real folder with its contents.
    const bool tree = found->IsFolder(), real_folder = found->IsRealFolder();
    targets.Forget(found);
    platform::TreeRemoval removal;
    removal.Keep = {{set_info.Device, set_info.Id}};
    removal.KeepFile = run::IsChartName;
    removal.CheckOnly = state.DryRun;
    removal.ToTrash = state.TrashOn;
    bool gone = false;
    // A folder that goes to the trash goes whole: what it holds is counted before, while it is here.
    // A dry run counts what would go instead.
    const auto count_held = [&] {
      std::size_t held = 0;
      const platform::Folder sub = target.OpenSub(name, error);
      platform::FileInfo info;
      if (sub.IsOpen() && sub.SelfInfo(info, error)) held = CountEntries(sub, info.Device);
      return held;
    };
    const bool count_first = real_folder && state.Hooks.Deleted && (state.DryRun || state.TrashOn);
    const std::size_t held_before = count_first ? count_held() : 0;
    // What goes to the trash goes whole, by the checks of a tree deletion.
    if (tree || state.TrashOn) {
      gone = target.RemoveTree(name, removal, real_folder);
    } else if (run::IsChartName(name)) {
      removal.Stayed.push_back({path, platform::TreeRemoval::Why::KeptFile, {}});
    } else {
      gone = state.DryRun || target.Remove(name, error);
      if (!gone) removal.Stayed.push_back({path, platform::TreeRemoval::Why::Failed, error});
    }
    if (!gone) {
      ReportStayed(state, path, removal);
      continue;
    }
    ++state.DeletedCount;
    if (state.DryRun) state.WouldDelete.insert(path);
    if (!state.Hooks.Deleted) continue;
    DeletedEntry deleted{path, real_folder, held_before};
    // A tree deleted entry by entry counts what went; the folder itself was the last to go.
    if (real_folder && !count_first && removal.Removed > 0) deleted.Held = removal.Removed - 1;
    state.Hooks.Deleted(deleted);
  }
  return true;
}

bool ConvertFolder(RunState& state, const std::u16string& source, const platform::Folder& target) {
  if (run::ListingStopped(state.Context().Progress, target.Path())) return false;
  const std::optional<run::FolderListing> listing = run::ListFiles(state, target);
  if (!listing) return true;
  // Listed afresh for every pair: sync deletion may just have changed what the folders hold.
  state.Materials.Clear();
  state.MaterialFailures.clear();
  return run::RewriteCharts(state, target, listing->Entries, listing->Names, kBackupExt, u"マテリアル変換中",
                               [&](run::ChartFolder& charts, const std::u16string& name) {
                                 // A dry run does not convert what its sync deletion would have deleted.
                                 if (state.DryRun && state.WouldDelete.count(target.PathOf(name)) != 0) return;
                                 ConvertChart(state, charts, source, name);
                               });
}

bool ProcessFolderPair(RunState& state, const std::u16string& source, const platform::Folder& target) {
  // One run at a time deletes and rewrites in a folder.
  platform::FolderLock lock;
  if (!state.DryRun && !run::Lock(state, lock, target)) return true;
  // Deleting the set's files is only sound when the charts then name them through the set: a pair
  // whose conversion would fail is refused before anything of it goes. Only a set tag that
  // Shift-JIS cannot hold can make it fail for certain; the charts are then tried as a dry run.
  if (state.SyncDeleteOn && state.ConvertOn && !text::CanEncodeCp932(LastComponent(source))) {
    RunState trial(state.Context());
    trial.DryRun = true;
    trial.ConvertMode = state.ConvertMode;
    if (!ConvertFolder(trial, source, target)) return false;
    if (!trial.Failures.empty()) {
      state.Fail(target.Path(), u"変換できない譜面があるので、同期削除も変換もしません");
      state.Failures.insert(state.Failures.end(), trial.Failures.begin(), trial.Failures.end());
      return true;
    }
  }
  if (state.SyncDeleteOn && !SyncDelete(state, source, target)) return false;
  if (state.ConvertOn && !ConvertFolder(state, source, target)) return false;
  return true;
}

bool ProcessBaseFolder(RunState& state, const platform::Folder& folder) {
  const std::u16string name = LastComponent(folder.Path());
  // The sound set is found by name the way the Windows file system finds it: letter case aside.
  const platform::DirEntry* set = name.empty() ? nullptr : state.BaseIndex.Find(name);
  if (set != nullptr && set->IsFolder()) {
    return ProcessFolderPair(state, platform::JoinPath(state.SourcePath, set->Name), folder);
  }
  if (!state.RecursiveOn) return true;
  return EachSubfolder(state, folder, [&state](const platform::Folder& sub) { return ProcessBaseFolder(state, sub); });
}

bool ProcessSetFolder(RunState& state, const platform::Folder& folder) {
  const std::u16string name = LastComponent(folder.Path());
  if (!name.empty() && text::Equal(name, state.SetName, text::CaseMode::Text)) {
    return ProcessFolderPair(state, state.SourcePath, folder);
  }
  return EachSubfolder(state, folder, [&state](const platform::Folder& sub) { return ProcessSetFolder(state, sub); });
}

bool ProcessTarget(RunState& state, const std::u16string& source, const platform::Folder& target) {
  state.SourcePath = state.ClearOnly ? std::u16string() : source;
  state.SetName.clear();
  if (state.ClearOnly) return ProcessFolderPair(state, std::u16string(), target);
  if (state.BaseFolderOn) {
    platform::IoError error;
    const platform::Folder base = platform::Folder::Open(source, error);
    if (!base.IsOpen() || !state.BaseIndex.Load(base, error)) {
      state.Fail(source, platform::Explained(u"ソースフォルダを読めません", error));
      return true;
    }
    return ProcessBaseFolder(state, target);
  }
  if (state.RecursiveOn) {
    state.SetName = LastComponent(source);
    return ProcessSetFolder(state, target);
  }
  return ProcessFolderPair(state, source, target);
}

void ReadRunOptions(RunState& state, const RunOptions& options) {
  state.ReadBase(options);
  state.SyncDeleteOn = options.SyncDeleteOn;
  state.ConvertOn = options.ConvertOn;
  state.ConvertMode = options.ConvertMode;
  state.BackupOn = options.BackupOn;
  state.BaseFolderOn = options.BaseFolderOn;
  state.TrashOn = options.TrashOn;
}

std::u16string ResultText(const RunState& state) {
  return u"同期削除数 = " + paths::Decimal(state.DeletedCount) + (state.TrashOn && state.SyncDeleteOn ? u" (ごみ箱へ移動)" : u"") +
         u"\r\nマテリアル変換 処理/対象 = " +
         paths::Decimal(state.ProcessedCount) + u" / " + paths::Decimal(state.TargetCount) +
         state.FailedLines(u"処理できなかった項目", state.ListFailures);
}

RunResult Run(const RunContext& context, const RunOptions& options, const RunHooks& hooks) {
  RunState state(context);
  state.Hooks = hooks;
  ReadRunOptions(state, options);
  run::SetFileFilter(context.Files, options);
  if (!state.SyncDeleteOn && !state.ConvertOn) {
    context.Messages.ShowWarning(u"処理内容が一つも選択されませんでした。", u"処理結果", MsgIcon::None);
    return {};
  }
  std::u16string source_why, target_why;
  std::u16string source = run::RunFolder(options.SourceText, options.ExactPaths, context.RelativeBase, source_why);
  if (hooks.PathChecked) hooks.PathChecked(0, !source.empty());
  std::u16string target = run::RunFolder(options.TargetText, options.ExactPaths, context.RelativeBase, target_why);
  if (hooks.PathChecked) hooks.PathChecked(1, !target.empty());
  if (target.empty()) {
    context.Messages.ShowMessage(run::WithReason(u"正確なターゲットパスを指定してください。", target_why), u"パスの指定",
                             MsgIcon::Exclamation);
    return {};
  }
  state.ClearOnly = state.ConvertMode == ConvertModes::Clear && state.ConvertOn && !state.RecursiveOn && !state.SyncDeleteOn;
  if (source.empty() && !state.ClearOnly) {
    context.Messages.ShowMessage(run::WithReason(u"正確なソースパスを指定してください", source_why), u"パスの指定",
                             MsgIcon::Exclamation);
    return {};
  }
  if (state.ClearOnly) source.clear();
  if (!state.ClearOnly) {
    using text::CaseMode;
    if (text::StartsWith(source, target, CaseMode::Text) || text::StartsWith(target, source, CaseMode::Text)) {
      const bool go_on = context.Messages.AskYesNo(
          u"変換フォルダとソースフォルダが同一のフォルダ、\r\n"
          u"あるいは一方がもう一方のフォルダに含まれています。\r\n"
          u"想定外の結果になる可能性がありますが、このまま続行しますか？\r\n"
          u"(あまりお薦めしません。)",
          u"パスの指定", MsgIcon::Question);
      if (!go_on) {
        if (hooks.PathChecked) {
          hooks.PathChecked(0, false);
          hooks.PathChecked(1, false);
        }
        return {};
      }
    }
  }

  run::BeginWork(context, hooks, u"");
  const platform::Folder folder = run::OpenFolder(state, target);
  const bool finished = !folder.IsOpen() || ProcessTarget(state, source, folder);
  return run::EndWork(context, hooks, finished, ResultText(state), state);
}

}  // namespace fennick
