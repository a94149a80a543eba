#include "mdlMain.h"

#include <string>
#include <string_view>
#include <unordered_map>

#include "clsFileString.h"
#include "mdlAppGlobal.h"
#include "mdlAppParam.h"
#include "mdlChartFile.h"
#include "mdlMessages.h"
#include "mdlTools.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace fennick {
namespace {

// Fennick's temporary files end in ".cbk1", its backups in "~n.cbk".
constexpr char16_t kBackupExt[] = u"cbk";

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string FoldName(const std::u16string& name) { return clsFileString().FileLCase(name); }

// The entries of one folder, looked up the way the Windows file system looks names up: the exact
// name first, else the first entry in name order that equals it with ASCII letters folded. One
// listing answers every lookup of a pass, so a large sound set is not listed again for each miss.
class FolderIndex {
 public:
  bool Build(const std::u16string& folder) {
    folder_ = folder;
    exact_.clear();
    folded_.clear();
    gone_.clear();
    if (!platform::ListFolder(folder, entries_)) return false;
    gone_.assign(entries_.size(), false);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      exact_.emplace(entries_[i].Name, i);
      folded_[FoldName(entries_[i].Name)].push_back(i);  // in name order: the listing is sorted
    }
    return true;
  }
  const std::u16string& Folder() const { return folder_; }
  // The entry the name finds, or nullptr.
  const platform::DirEntry* Find(const std::u16string& name) const {
    const auto exact = exact_.find(name);
    if (exact != exact_.end() && !gone_[exact->second]) return &entries_[exact->second];
    const auto folded = folded_.find(FoldName(name));
    if (folded == folded_.end()) return nullptr;
    for (const std::size_t i : folded->second) {
      if (!gone_[i]) return &entries_[i];
    }
    return nullptr;
  }
  // Forgets an entry once it has been deleted, so that the next lookup finds what is left.
  void Forget(const platform::DirEntry* entry) { gone_[static_cast<std::size_t>(entry - entries_.data())] = true; }

 private:
  std::u16string folder_;
  std::vector<platform::DirEntry> entries_;
  std::unordered_map<std::u16string, std::size_t> exact_;
  std::unordered_map<std::u16string, std::vector<std::size_t>> folded_;
  std::vector<bool> gone_;
};

// The listing of the source folder of the pair being converted, in use only while ConvertFolder
// runs; called alone, the functions below look at the file system directly.
struct ConvertIndexes {
  bool active = false;
  FolderIndex source;
};
ConvertIndexes& Indexes() {
  static ConvertIndexes indexes;
  return indexes;
}

bool IsFileEntry(const platform::DirEntry* e) {
  return e != nullptr && !(e->Attributes & platform::kAttrDirectory) && !e->Dangling;
}

// The name whose stored bytes are the chart's own Shift-JIS bytes. On POSIX a file unpacked from a
// Japanese archive keeps such a name, which no other spelling of the chart's text reaches.
std::u16string RawCp932Name(const std::u16string& name) {
  if (platform::PathSeparator() != u'/') return std::u16string();
  std::string bytes;
  platform::EncodeCp932(name, bytes);
  const std::u16string raw = platform::DecodeUtf8(bytes);
  return raw == name ? std::u16string() : raw;
}

// Whether the file part of a material line names a file (not a folder) of the source folder.
bool MaterialFileExists(const std::u16string& source, const std::u16string& file) {
  if (file.empty()) return false;
  const bool nested =
      file.find(u'\\') != std::u16string::npos || file.find(platform::PathSeparator()) != std::u16string::npos;
  if (nested) return !mdlTools::FindStoredFile(source, file).empty();
  const std::u16string raw = RawCp932Name(file);
  ConvertIndexes& indexes = Indexes();
  if (indexes.active && indexes.source.Folder() == source) {
    return IsFileEntry(indexes.source.Find(file)) || (!raw.empty() && IsFileEntry(indexes.source.Find(raw)));
  }
  return !mdlTools::FindStoredFile(source, file).empty() ||
         (!raw.empty() && !mdlTools::FindStoredFile(source, raw).empty());
}

// Whether the folder `outer` is `inner` or holds it, following the physical parents of `inner`.
bool HoldsFolder(const std::u16string& outer, const std::u16string& inner) {
  std::u16string p = inner;
  for (;;) {
    if (platform::SameFile(p, outer)) return true;
    const std::u16string up = platform::JoinPath(p, u"..");
    // Too deep to tell within the longest path the system takes: count it as held, so nothing goes.
    if (up.size() > 3000) return true;
    if (!platform::FolderExists(up) || platform::SameFile(up, p)) return false;
    p = up;
  }
}

void SetSyncProgress(const std::u16string& target, const std::u16string& name) {
  clsCancel& cancel = mdlAppGlobal::Cancel();
  const std::u16string deleted = u"同期削除中 - DELETED: " + mdlTools::Decimal(State().DeletedCount);
  cancel.SetCaption(deleted + u" " + name);
  cancel.SetTitle(deleted + u"\r\n" + name);
  cancel.SetText(target);
}

// The subfolders of a folder in listing order. Linked folders are left out: they may lead out of
// the target tree or back into it.
std::vector<std::u16string> Subfolders(const std::u16string& folder) {
  std::vector<platform::DirEntry> entries;
  platform::ListFolder(folder, entries);
  std::vector<std::u16string> out;
  for (const auto& e : entries) {
    if ((e.Attributes & platform::kAttrDirectory) && !e.IsLink) out.push_back(platform::JoinPath(folder, e.Name));
  }
  return out;
}

}  // namespace

RunState& State() {
  static RunState state;
  return state;
}

std::u16string LastComponent(const std::u16string& path) {
  std::size_t end = path.size();
  while (end > 0 && platform::IsSeparator(path[end - 1])) --end;
  std::size_t start = end;
  while (start > 0 && !platform::IsSeparator(path[start - 1])) --start;
  const std::u16string name = path.substr(start, end - start);
  // A drive such as "C:" is a root, not a folder name.
  return name == platform::RootOf(path) ? std::u16string() : name;
}

bool ConvertMaterialLine(const std::u16string& source, const std::u16string& set_tag, std::u16string& line) {
  const clsFileString strings;
  const auto& names = CommandNames();
  int command = 0;
  for (int k = 1; k <= kCommandCount && command == 0; ++k) {
    if (strings.FileStrComp(line.substr(0, names[k].size()), names[k], 1) == 0) command = k;
  }
  if (command == 0) return false;

  // p counts from 1: the first character after the command and its index.
  const std::size_t p = names[command].size() + static_cast<std::size_t>(CommandIdWidth()[command]) + 1;
  const std::size_t open = line.find(u'<', p - 1);
  const std::size_t close = line.find(u'>', p - 1);
  std::u16string head, bracket, file;
  if (open != std::u16string::npos && close != std::u16string::npos && close > open) {
    head = line.substr(0, open);
    bracket = line.substr(open, close - open + 1);
    file = line.substr(close + 1);
  } else {
    // The character at p is the separator, whatever it is; the blanks after it stay in the head.
    std::size_t q = p;  // 0-based index of position p + 1
    while (q < line.size() && IsBlank(line[q])) ++q;
    head = line.substr(0, std::min(q, line.size()));
    if (q < line.size()) file = line.substr(q);
  }
  const int mode = State().ConvertMode;
  if (mode == kModeRedefine || mode == kModeClear) bracket.clear();
  if (bracket.empty() && mode != kModeClear && MaterialFileExists(source, file)) bracket = set_tag;

  std::u16string converted = head + bracket + file;
  if (strings.FileStrComp(converted, line, 1) == 0) return false;
  line = std::move(converted);
  return true;
}

void ConvertChart(const std::u16string& source, const std::u16string& target, const std::u16string& name) {
  RunState& state = State();
  const std::u16string chart = platform::JoinPath(target, name);
  ++state.TargetCount;

  std::string bytes;
  if (const std::u16string why = mdlChartFile::Read(chart, bytes); !why.empty()) {
    state.Fail(chart, why);
    return;
  }
  const std::u16string set_tag = u"<" + LastComponent(source) + u">";

  // Lines that keep their text are written back from their own bytes, so nothing that was not asked
  // for changes, whatever the chart's encoding.
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8 + 16);
  ChartChange change{chart, {}};
  std::size_t pos = 0;
  std::string_view raw;
  std::u16string line;
  while (platform::NextLine(bytes, pos, raw)) {
    platform::DecodeCp932(raw, line);  // one buffer for every line of the chart
    if (ConvertMaterialLine(source, set_tag, line)) {
      std::string encoded;
      if (!platform::EncodeCp932(line, encoded)) {
        state.Fail(chart, u"変換後の行に Shift-JIS で書けない文字があります: " + line);
        return;
      }
      change.Lines.emplace_back(platform::DecodeCp932(raw), line);
      platform::AppendLine(out, encoded);
    } else {
      platform::AppendLine(out, raw);
    }
  }
  if (change.Lines.empty()) {
    // Nothing to write: the chart only loses its attributes, as every examined chart does (a
    // linked chart keeps them: they belong to the file it points to, which SetAttributes leaves
    // alone).
    if (!state.DryRun) platform::SetAttributes(chart, platform::kAttrNormal);
    return;
  }
  if (state.DryRun) {
    ++state.ProcessedCount;
    if (state.OnChange) state.OnChange(change);
    return;
  }

  std::u16string why = mdlChartFile::WriteTemp(chart, kBackupExt, out, true);
  if (why.empty()) why = mdlChartFile::Replace(chart, kBackupExt, state.BackupOn);
  if (!why.empty()) {
    state.Fail(chart, why);
    return;
  }
  ++state.ProcessedCount;
  if (state.OnChange) state.OnChange(change);
}

bool SyncDelete(const std::u16string& source, const std::u16string& target) {
  RunState& state = State();
  clsCancel& cancel = mdlAppGlobal::Cancel();
  std::vector<platform::DirEntry> entries;
  const bool listed = platform::ListFolder(source, entries);
  SetSyncProgress(target, entries.empty() ? std::u16string() : entries.front().Name);
  if (cancel.DoCancel(u"同期削除中")) return false;
  if (!listed) {
    state.Fail(source, u"ソースフォルダを読めません");
    return true;
  }
  // Every entry would be its own namesake: the sound set itself would go.
  if (platform::SameFile(source, target)) {
    state.Fail(target, u"ソースフォルダと同じフォルダなので同期削除しません");
    return true;
  }
  FolderIndex targets;
  if (!targets.Build(target)) {
    state.Fail(target, u"ターゲットフォルダを読めません");
    return true;
  }

  // A folder of the target can hold the source only when the target itself does; asked once, so
  // that a pass over a large set does not walk the source's parents for every folder it deletes.
  const bool target_holds_source = HoldsFolder(target, source);

  state.ProgressTick = 100;
  for (const platform::DirEntry& entry : entries) {
    if (++state.ProgressTick >= 100) {
      state.ProgressTick = 0;
      SetSyncProgress(target, entry.Name);
      if (cancel.DoCancel(u"同期削除中")) return false;
    }
    if (entry.Name == u"." || entry.Name == u"..") continue;
    const platform::DirEntry* found = targets.Find(entry.Name);
    if (found == nullptr) continue;
    const std::u16string path = platform::JoinPath(target, found->Name);
    // A link goes as a link; only a real folder is deleted with its contents.
    const bool tree = (found->Attributes & platform::kAttrDirectory) && !found->IsLink;
    targets.Forget(found);
    if (tree && target_holds_source && HoldsFolder(path, source)) {
      state.Fail(path, u"ソースフォルダを含むので削除しません");
      continue;
    }
    if (state.DryRun) {
      ++state.DeletedCount;
      state.WouldDelete.insert(path);
      if (state.OnDelete) state.OnDelete(path);
      continue;
    }
    if (tree ? platform::DeleteTree(path) : platform::DeleteFile(path)) {
      ++state.DeletedCount;
      if (state.OnDelete) state.OnDelete(path);
    } else {
      state.Fail(path, u"削除できません");
    }
  }
  return true;
}

bool ConvertFolder(const std::u16string& source, const std::u16string& target) {
  RunState& state = State();
  if (mdlRun::ListingStopped(target)) return false;
  clsFilter& filter = mdlAppGlobal::Filter();
  filter.MakeFileList(target);
  const std::vector<std::u16string> names = filter.List();

  ConvertIndexes& indexes = Indexes();
  indexes.active = !source.empty() && indexes.source.Build(source);
  struct Deactivate {
    ~Deactivate() { Indexes().active = false; }
  } deactivate;

  for (const std::u16string& name : names) {
    if (mdlRun::ItemStopped(u"マテリアル変換中", state.ProcessedCount, state.TargetCount, name)) return false;
    if (state.DryRun && state.WouldDelete.count(platform::JoinPath(target, name)) != 0) continue;
    ConvertChart(source, target, name);
  }
  return true;
}

bool ProcessFolderPair(const std::u16string& source, const std::u16string& target) {
  const RunState& state = State();
  if (state.SyncDeleteOn && !SyncDelete(source, target)) return false;
  if (state.ConvertOn && !ConvertFolder(source, target)) return false;
  return true;
}

bool ProcessBaseFolder(const std::u16string& folder) {
  const RunState& state = State();
  const std::u16string name = LastComponent(folder);
  // The sound set is found by name the way the Windows file system finds it: letter case aside.
  const std::u16string stored = name.empty() ? std::u16string() : platform::StoredName(state.SourcePath, name);
  if (!stored.empty()) {
    const std::u16string candidate = platform::JoinPath(state.SourcePath, stored);
    if (platform::FolderExists(candidate)) return ProcessFolderPair(candidate, folder);
  }
  if (!state.RecursiveOn) return true;
  for (const std::u16string& sub : Subfolders(folder)) {
    if (!ProcessBaseFolder(sub)) return false;
  }
  return true;
}

bool ProcessSetFolder(const std::u16string& folder) {
  const RunState& state = State();
  const std::u16string name = LastComponent(folder);
  if (!name.empty() && clsFileString().FileStrComp(name, state.SetName, 1) == 0) {
    return ProcessFolderPair(state.SourcePath, folder);
  }
  for (const std::u16string& sub : Subfolders(folder)) {
    if (!ProcessSetFolder(sub)) return false;
  }
  return true;
}

bool ProcessTarget(const std::u16string& source, const std::u16string& target) {
  RunState& state = State();
  state.SourcePath = state.ClearOnly ? std::u16string() : source;
  state.TargetPath = target;
  state.SetName.clear();
  if (state.ClearOnly) return ProcessFolderPair(std::u16string(), target);
  if (state.BaseFolderOn) return ProcessBaseFolder(target);
  if (state.RecursiveOn) {
    state.SetName = LastComponent(source);
    return ProcessSetFolder(target);
  }
  return ProcessFolderPair(source, target);
}

void ReadRunOptions(const RunOptions& options) {
  RunState& state = State();
  state.SyncDeleteOn = options.SyncDeleteOn;
  state.ConvertOn = options.ConvertOn;
  state.ConvertMode = options.ConvertMode == kModeClear      ? kModeClear
                      : options.ConvertMode == kModeRedefine ? kModeRedefine
                                                             : kModeNormal;
  state.BackupOn = options.BackupOn;
  state.RecursiveOn = options.RecursiveOn;
  state.BaseFolderOn = options.BaseFolderOn;
  mdlRun::SetFileFilter(options);
}

std::u16string ResultText() {
  const RunState& state = State();
  return u"同期削除数 = " + mdlTools::Decimal(state.DeletedCount) + u"\r\nマテリアル変換 処理/対象 = " +
         mdlTools::Decimal(state.ProcessedCount) + u" / " + mdlTools::Decimal(state.TargetCount) +
         state.FailedLine(u"処理できなかった項目");
}

RunOutcome Run(const RunOptions& options, const RunHooks& hooks) {
  RunState& state = State();
  ReadRunOptions(options);
  if (!state.SyncDeleteOn && !state.ConvertOn) {
    mdlMessages::ShowMessage(u"処理内容が一つも選択されませんでした。", u"処理結果", MsgIcon::None);
    return RunOutcome::Warned;
  }
  std::u16string source = mdlTools::CheckPathBox(options.SourceText);
  if (hooks.PathChecked) hooks.PathChecked(0, !source.empty());
  std::u16string target = mdlTools::CheckPathBox(options.TargetText);
  if (hooks.PathChecked) hooks.PathChecked(1, !target.empty());
  if (target.empty()) {
    mdlMessages::ShowMessage(u"正確なターゲットパスを指定してください", u"パスの指定", MsgIcon::Exclamation);
    return RunOutcome::Warned;
  }
  state.ClearOnly = state.ConvertMode == kModeClear && state.ConvertOn && !state.RecursiveOn && !state.SyncDeleteOn;
  if (source.empty() && !state.ClearOnly) {
    mdlMessages::ShowMessage(u"正確なソースパスを指定してください", u"パスの指定", MsgIcon::Exclamation);
    return RunOutcome::Warned;
  }
  target = mdlTools::GetExistingFolder(target, u"");
  source = state.ClearOnly ? std::u16string() : mdlTools::GetExistingFolder(source, u"");
  if (!state.ClearOnly) {
    const clsFileString strings;
    if (strings.FileInStrR(1, source, target, 1) != 0 || strings.FileInStrR(1, target, source, 1) != 0) {
      const bool go_on = mdlMessages::AskYesNo(
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
        return RunOutcome::Warned;
      }
    }
  }

  mdlRun::BeginWork(hooks, u"");
  state.TargetCount = 0;
  state.ProcessedCount = 0;
  state.DeletedCount = 0;
  state.ProgressTick = 0;
  state.Failures.clear();
  state.WouldDelete.clear();
  const bool finished = ProcessTarget(source, target);
  return mdlRun::EndWork(hooks, finished, ResultText);
}

}  // namespace fennick
