#include "mdlMain.h"

#include <string>
#include <unordered_map>

#include "clsFileString.h"
#include "mdlAppGlobal.h"
#include "mdlMessages.h"
#include "mdlTools.h"
#include "platform/fs.h"

namespace tobrenz {
namespace {

// Progress is shown, and a stop looked for, once per this many files of a folder's list.
constexpr std::int32_t kProgressEvery = 100;

std::u16string Folded(const std::u16string& name) {
  std::u16string out = name;
  for (char16_t& c : out) c = clsFileString::FoldAscii(c);
  return out;
}

// The entries of one folder, read once, so that looking up a partner costs no further listing: the
// stored name is found exactly first, then with ASCII letters folded (the first in name order), as a
// case-insensitive file system finds it.
class FolderIndex {
 public:
  bool Load(const std::u16string& folder) {
    if (!platform::ListFolder(folder, entries_)) return false;
    exact_.reserve(entries_.size());
    folded_.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      exact_.emplace(entries_[i].Name, i);
      folded_.emplace(Folded(entries_[i].Name), i);  // keeps the first: the listing is in name order
    }
    return true;
  }

  const platform::DirEntry* Find(const std::u16string& name) const {
    if (auto it = exact_.find(name); it != exact_.end()) return &entries_[it->second];
    if (auto it = folded_.find(Folded(name)); it != folded_.end()) return &entries_[it->second];
    return nullptr;
  }
  const platform::DirEntry* FindExact(const std::u16string& name) const {
    auto it = exact_.find(name);
    return it == exact_.end() ? nullptr : &entries_[it->second];
  }

  std::vector<std::u16string> Subfolders() const {
    std::vector<std::u16string> names;
    for (const auto& e : entries_) {
      // A linked folder is not entered: it may lead out of the tree or back into it.
      if ((e.Attributes & platform::kAttrDirectory) && !e.IsLink) names.push_back(e.Name);
    }
    return names;
  }

 private:
  std::vector<platform::DirEntry> entries_;
  std::unordered_map<std::u16string, std::size_t> exact_, folded_;
};

void ComparePair(const std::u16string& folder, const std::u16string& name, const FolderIndex& index) {
  RunState& state = State();
  static const clsFileString strings;
  const std::u16string partner_name = BaseName(name) + state.CompareExt;
  // A target with the comparison extension would be its own partner and, equal in size to itself,
  // be deleted; it is no pair.
  if (strings.FileStrComp(partner_name, name, 1) == 0) return;
  const platform::DirEntry* found = index.Find(partner_name);
  if (found == nullptr || (found->Attributes & platform::kAttrDirectory) || found->Dangling) return;

  const std::u16string partner = platform::JoinPath(folder, found->Name);
  const std::u16string target = platform::JoinPath(folder, name);
  if (state.DryRun && (state.DryRunGone.count(partner) || state.DryRunGone.count(target))) return;
  // Sizes read now, not from the listing: a file that has gone since (deleted with an earlier pair,
  // or by someone else) must not make its partner look like the larger file.
  const std::int64_t partner_size = platform::FileSize(partner);
  const std::int64_t target_size = platform::FileSize(target);
  if (partner_size < 0 || target_size < 0) return;
  // Two names of one file (a link to the other): deleting one would lose the only content. They
  // can only be one file when their sizes agree.
  if (partner_size == target_size && platform::SameFile(partner, target)) return;
  ++state.TargetCount;

  // Times and attributes are written through links, so they are left alone where that could touch
  // a file outside the folder tree.
  const platform::DirEntry* target_entry = index.FindExact(name);
  const bool linked = found->IsLink || (target_entry != nullptr && target_entry->IsLink);
  const bool partner_goes = partner_size > target_size;
  // A kept target takes over the times of the partner it stands in for; a kept partner ends with
  // normal attributes, as a time copy leaves its source. Both files are known to exist and to be two
  // files here, so the times are copied directly, without the checks of mdlTime::CopyFileTime that
  // would cost several more file-system calls on every pair of a large folder.
  if (!state.DryRun && !linked) {
    if (partner_goes) {
      platform::FileTimes times;
      if (platform::GetFileTimes(partner, times)) platform::SetFileTimes(target, times);
    } else {
      platform::SetAttributes(partner, platform::kAttrNormal);
    }
  }

  PairResult pair{target, partner, target_size, partner_size, partner_goes, false};
  const std::u16string& doomed = pair.PartnerGoes ? partner : target;
  if (state.DryRun) {
    state.DryRunGone.insert(doomed);
    pair.Done = true;
  } else {
    pair.Done = platform::DeleteFile(doomed);
    if (!pair.Done) state.Fail(doomed, u"削除できません");
  }
  if (pair.Done && pair.PartnerGoes) ++state.DeletedCount;
  if (state.OnPair) state.OnPair(pair);
}

}  // namespace

RunState& State() {
  static RunState state;
  return state;
}

std::u16string BaseName(const std::u16string& name) {
  const std::size_t dot = name.rfind(u'.');
  return dot == std::u16string::npos ? name : name.substr(0, dot);
}

bool ProcessFolder(const std::u16string& folder) {
  RunState& state = State();
  if (mdlRun::ListingStopped(folder)) return false;

  std::vector<std::u16string> subfolders;
  {
    FolderIndex index;
    if (!index.Load(folder)) {
      state.Fail(folder, u"フォルダを読めません");
      return true;
    }
    clsFilter& filter = mdlAppGlobal::Filter();
    filter.MakeFileList(folder);
    // Taken once, before any file of the folder is deleted.
    const std::vector<std::u16string> names = filter.List();
    state.ProgressTick = 0;
    for (const std::u16string& name : names) {
      if (++state.ProgressTick >= kProgressEvery) {
        state.ProgressTick = 0;
        if (mdlRun::ItemStopped(u"選択中", state.DeletedCount, state.TargetCount, name)) return false;
      }
      ComparePair(folder, name, index);
    }
    if (state.RecursiveOn) subfolders = index.Subfolders();
  }
  for (const std::u16string& sub : subfolders) {
    if (!ProcessFolder(platform::JoinPath(folder, sub))) return false;
  }
  return true;
}

void ReadRunOptions(const RunOptions& options) {
  State().RecursiveOn = options.RecursiveOn;
  mdlRun::SetFileFilter(options);
}

bool CheckCompareExt(const std::u16string& text) {
  return !text.empty() && text.find_first_of(u"\\/:*?\"<>|") == std::u16string::npos &&
         mdlTools::IsPrintableText(text);
}

std::u16string ResultText() {
  const RunState& state = State();
  return u"削除\"" + state.CompareExt + u"\" / 対象ファイル = " + mdlTools::Decimal(state.DeletedCount) + u" / " +
         mdlTools::Decimal(state.TargetCount) + state.FailedLine(u"処理できなかったファイル・フォルダ");
}

RunOutcome Run(const RunOptions& options, const RunHooks& hooks) {
  RunState& state = State();
  ReadRunOptions(options);
  std::u16string target = mdlTools::CheckPathBox(options.TargetText);
  if (hooks.PathChecked) hooks.PathChecked(1, !target.empty());
  if (target.empty()) {
    mdlMessages::ShowMessage(u"正確なターゲットパスを指定してください。", u"パスの指定", MsgIcon::Exclamation);
    return RunOutcome::Warned;
  }
  const bool ext_ok = CheckCompareExt(options.CompareExtText);
  if (hooks.CompareExtChecked) hooks.CompareExtChecked(ext_ok);
  if (!ext_ok) {
    mdlMessages::ShowMessage(u"拡張子が空白か、ファイル名として使用できない文字や表示できない文字が含まれています。",
                             u"拡張子の指定", MsgIcon::Exclamation);
    return RunOutcome::Warned;
  }

  mdlRun::BeginWork(hooks, u"");
  state.TargetCount = 0;
  state.DeletedCount = 0;
  state.ProgressTick = 0;
  state.Failures.clear();
  state.DryRunGone.clear();
  state.CompareExt = u"." + options.CompareExtText;

  target = mdlTools::GetExistingFolder(target, u"");
  const bool finished = ProcessFolder(target);
  state.DryRunGone.clear();
  return mdlRun::EndWork(hooks, finished, ResultText);
}

}  // namespace tobrenz
