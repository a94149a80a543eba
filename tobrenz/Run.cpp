#include "tobrenz/Run.h"

#include <algorithm>
#include <string>

#include "toolkit/files/Paths.h"
#include "toolkit/platform/fs.h"
#include "toolkit/text/Compare.h"

namespace tobrenz {
namespace {

// Progress is shown, and a stop looked for, once per this many files of a folder's list.
constexpr std::int32_t kProgressEvery = 100;

// A look at one side of a pair, taken when the pair is decided: a file that has gone since the
// listing (deleted with an earlier pair, or by someone else) must not make its partner look like the
// larger file. False when the side is no longer there or cannot be examined (then recorded).
bool LookAt(RunState& state, const platform::Folder& folder, const std::u16string& name, platform::FileInfo& info) {
  platform::IoError error;
  if (folder.Info(name, info, false, error)) return !info.IsFolder && !info.IsLink;
  if (!error.NotFound()) state.Fail(folder.PathOf(name), platform::Explained(u"調べられません", error));
  return false;
}

void ComparePair(RunState& state, const platform::Folder& folder, const FolderIndex& index,
                 const platform::DirEntry& target_entry) {
  const std::u16string& name = target_entry.Name;
  const std::u16string partner_name = BaseName(name) + state.CompareExt;
  // A target with the comparison extension would be its own partner and, equal in size to itself,
  // be deleted; it is no pair.
  if (text::Equal(partner_name, name, text::CaseMode::Text)) return;
  // A link is never one side of a pair: what it points to may lie outside the folder, and deleting
  // the real file in its favour would keep no content at all.
  if (target_entry.IsLink) return;
  const platform::DirEntry* found = index.Find(partner_name);
  if (found == nullptr || !found->IsFile() || found->IsLink) return;

  const std::u16string partner = folder.PathOf(found->Name);
  const std::u16string target = folder.PathOf(name);
  if (state.DryRun && (state.DryRunGone.count(partner) || state.DryRunGone.count(target))) return;
  // A chart is no picture in another format: whichever side it is, the pair is left and told of.
  if (run::IsChartName(name) || run::IsChartName(found->Name)) {
    state.Fail(target, u"譜面との組なので削除しません");
    return;
  }
  platform::FileInfo partner_info, target_info;
  if (!LookAt(state, folder, found->Name, partner_info) || !LookAt(state, folder, name, target_info)) return;
  // Two names of one file: deleting one would lose nothing but would count a pair that is none.
  if (partner_info.Device == target_info.Device && partner_info.Id == target_info.Id) return;

  PairResult pair{target, partner, target_info.Size, partner_info.Size, partner_info.Size > target_info.Size, false};
  const std::u16string& doomed_name = pair.PartnerGoes ? found->Name : name;
  // An empty file is what a failed conversion leaves: never kept at the cost of a real one.
  if (std::min(pair.TargetSize, pair.PartnerSize) == 0 && std::max(pair.TargetSize, pair.PartnerSize) > 0) {
    state.Fail(pair.PartnerGoes ? partner : target, u"残すほうが空のファイルなので削除しません");
    return;
  }
  ++state.TargetCount;
  if (state.DryRun) {
    state.DryRunGone.insert(pair.PartnerGoes ? partner : target);
    pair.Done = true;
  } else {
    platform::IoError error;
    // A kept target takes over the times of the partner it stands in for, in one call; a kept
    // partner ends with normal attributes, as a time copy leaves its source.
    if (pair.PartnerGoes) {
      if (!folder.SetTimes(name, partner_info.Times, error)) state.Fail(target, platform::Explained(u"日時を写せません", error));
    } else if (!folder.MakeNormal(found->Name, partner_info, error)) {
      state.Fail(partner, platform::Explained(u"属性を標準に戻せません", error));
    }
    pair.Done = state.TrashOn ? folder.Trash(doomed_name, error) : folder.Remove(doomed_name, error);
    if (!pair.Done) {
      state.Fail(pair.PartnerGoes ? partner : target,
                 platform::Explained(state.TrashOn ? u"ごみ箱に移動できません" : u"削除できません", error));
    }
  }
  if (pair.Done && pair.PartnerGoes) ++state.DeletedCount;
  if (pair.Done && state.TrashOn) ++state.TrashedCount;
  if (state.Hooks.Pair) state.Hooks.Pair(pair);
}

}  // namespace

void RunOptions::FromSettings(const settings::SettingsTable& table) {
  RunOptionsBase::FromSettings(table);
  CompareExtText = table.Text(settings::kSectionProcess, kKeyCompareExt);
  TrashOn = table.Number(settings::kSectionProcess, settings::kKeyTrash) != 0;
}

void RunOptions::ToSettings(settings::SettingsTable& table) const {
  RunOptionsBase::ToSettings(table);
  table.Set(settings::kSectionProcess, kKeyCompareExt, settings::SettingValue::OfText(CompareExtText));
  table.Set(settings::kSectionProcess, settings::kKeyTrash, settings::SettingValue::OfNumber(TrashOn ? 1 : 0));
}

std::u16string BaseName(const std::u16string& name) {
  const std::size_t dot = name.rfind(u'.');
  return dot == std::u16string::npos ? name : name.substr(0, dot);
}

bool ProcessFolder(RunState& state, const platform::Folder& folder) {
  if (run::ListingStopped(state.Context().Progress, folder.Path())) return false;
  std::vector<std::u16string> subfolders;
  {
    // One run at a time deletes in a folder.
    platform::FolderLock lock;
    if (!state.DryRun && !run::Lock(state, lock, folder)) return true;
    // Taken once, before any file of the folder is deleted.
    std::optional<run::FolderListing> listing = run::ListFiles(state, folder);
    if (!listing) return true;
    const std::vector<std::u16string>& names = listing->Names;
    const FolderIndex index(std::move(listing->Entries));
    state.ProgressTick = 0;
    for (const std::u16string& name : names) {
      if (++state.ProgressTick >= kProgressEvery) {
        state.ProgressTick = 0;
        if (run::ItemStopped(state.Context().Progress, u"選択中", state.DeletedCount, state.TargetCount, name)) return false;
      }
      // The listed name itself, exactly: the list holds stored names.
      const platform::DirEntry* entry = index.Find(name);
      if (entry != nullptr) ComparePair(state, folder, index, *entry);
    }
    if (state.RecursiveOn) subfolders = index.Subfolders();
  }
  return run::EachSubfolder(state, folder, subfolders,
                               [&state](const platform::Folder& sub) { return ProcessFolder(state, sub); });
}

void ReadRunOptions(RunState& state, const RunOptions& options) {
  state.ReadBase(options);
  state.TrashOn = options.TrashOn;
}

std::u16string CompareExtension(const std::u16string& text) {
  const std::size_t first = text.find_first_not_of(u" \t");
  if (first == std::u16string::npos) return std::u16string();
  std::u16string ext = text.substr(first, text.find_last_not_of(u" \t") + 1 - first);
  if (ext[0] == u'.') ext.erase(0, 1);
  return ext;
}

bool CheckCompareExt(const std::u16string& text) {
  return !text.empty() && text.find_first_of(u"\\/:*?\"<>|") == std::u16string::npos &&
         paths::IsPrintableText(text);
}

std::u16string ResultText(const RunState& state) {
  return u"削除\"" + state.CompareExt + u"\" / 対象ファイル = " + paths::Decimal(state.DeletedCount) + u" / " +
         paths::Decimal(state.TargetCount) +
         (state.TrashOn ? u"\r\nごみ箱へ移動 = " + paths::Decimal(state.TrashedCount) : u"") +
         state.FailedLines(u"処理できなかったファイル・フォルダ", state.ListFailures);
}

RunResult Run(const RunContext& context, const RunOptions& options, const RunHooks& hooks) {
  RunState state(context);
  state.Hooks = hooks;
  ReadRunOptions(state, options);
  run::SetFileFilter(context.Files, options);
  std::u16string why;
  const std::u16string target = run::RunFolder(options.TargetText, options.ExactPaths, context.RelativeBase, why);
  if (hooks.PathChecked) hooks.PathChecked(1, !target.empty());
  if (target.empty()) {
    context.Messages.ShowMessage(run::WithReason(u"正確なターゲットパスを指定してください。", why), u"パスの指定",
                             MsgIcon::Exclamation);
    return {};
  }
  const std::u16string ext = CompareExtension(options.CompareExtText);
  const bool ext_ok = CheckCompareExt(ext);
  if (hooks.CompareExtChecked) hooks.CompareExtChecked(ext_ok);
  if (!ext_ok) {
    context.Messages.ShowMessage(u"拡張子が空白か、ファイル名として使用できない文字や表示できない文字が含まれています。",
                             u"拡張子の指定", MsgIcon::Exclamation);
    return {};
  }

  run::BeginWork(context, hooks, u"");
  state.CompareExt = u"." + ext;
  const platform::Folder folder = run::OpenFolder(state, target);
  const bool finished = !folder.IsOpen() || ProcessFolder(state, folder);
  return run::EndWork(context, hooks, finished, ResultText(state), state);
}

}  // namespace tobrenz
