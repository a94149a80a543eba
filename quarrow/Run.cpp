#include "quarrow/Run.h"

#include <string>

#include "quarrow/Commands.h"
#include "quarrow/Settings.h"
#include "toolkit/files/Paths.h"
#include "toolkit/platform/fs.h"

namespace quarrow {
namespace {

// Quarrow's temporary files end in ".mbk1", its backups in "~n.mbk".
constexpr char16_t kBackupExt[] = u"mbk";

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// A file line parted after its command, which ends at `end` (its index included): the blanks after
// the command belong to the head, the rest is the file name, with its "<set>" part split off when
// asked for.
SplitLine Split(const std::u16string& line, std::size_t end, bool bracketed) {
  while (end < line.size() && IsBlank(line[end])) ++end;
  SplitLine out;
  out.Head = line.substr(0, std::min(end, line.size()));
  const std::u16string rest = end < line.size() ? line.substr(end) : std::u16string();
  if (bracketed && !rest.empty() && rest[0] == u'<') {
    const std::size_t close = rest.find(u'>');
    if (close != std::u16string::npos) {
      out.Bracket = rest.substr(0, close + 1);
      out.FileName = rest.substr(close + 1);
      return out;
    }
  }
  out.FileName = rest;
  return out;
}

bool MayMatch(const RunState& state, std::string_view raw) {
  for (const auto& rule : state.Rules) {
    if (rule->MayMatch(raw)) return true;
  }
  return false;
}

}  // namespace

void RunOptions::FromSettings(const settings::SettingsTable& table) {
  using namespace settings;
  RunOptionsBase::FromSettings(table);
  MaterialText = table.Text(kSectionSystem, kKeyMaterialBase);
  FileCheckOn = table.Number(kSectionProcess, kKeyFileCheck) != 0;
  TextModeOn = table.Number(kSectionProcess, kKeyTextMode) != 0;
  BackupOn = table.Number(kSectionProcess, kKeyBackup) != 0;
}

void RunOptions::ToSettings(settings::SettingsTable& table) const {
  using namespace settings;
  RunOptionsBase::ToSettings(table);
  table.Set(kSectionSystem, kKeyMaterialBase, SettingValue::OfText(MaterialText));
  table.Set(kSectionProcess, kKeyFileCheck, SettingValue::OfNumber(FileCheckOn ? 1 : 0));
  table.Set(kSectionProcess, kKeyTextMode, SettingValue::OfNumber(TextModeOn ? 1 : 0));
  table.Set(kSectionProcess, kKeyBackup, SettingValue::OfNumber(BackupOn ? 1 : 0));
}

SplitLine SplitIndexedLine(const std::u16string& line, const std::u16string& name) {
  return Split(line, name.size() + 2, true);
}

SplitLine SplitPlainLine(const std::u16string& line, const std::u16string& name) {
  return Split(line, name.size(), false);
}

bool CheckMaterialFile(RunState& state, const std::u16string& folder, const std::u16string& newLine, int command) {
  const std::u16string& name = CommandNames()[command];
  const SplitLine parts = (command == kCommandWav || command == kCommandBmp) ? SplitIndexedLine(newLine, name)
                                                                             : SplitPlainLine(newLine, name);
  std::u16string base = folder, relative = parts.FileName;
  if (!parts.Bracket.empty()) {
    if (state.Params.MaterialBase.empty()) return false;
    // The sound set is one more folder level in front of the file's own path.
    base = state.Params.MaterialBase;
    relative = parts.Bracket.substr(1, parts.Bracket.size() - 2) + u'\\' + parts.FileName;
  }
  return state.FindMaterial(base, relative) == StoredFiles::Result::Found;
}

bool ReplaceLine(RunState& state, const std::u16string& folder, std::u16string& line) {
  // The command the line as read begins with, kept before a rule rewrites the line in place.
  char16_t head[16];
  const std::size_t head_length = std::min<std::size_t>(line.size(), std::size(head));
  std::copy_n(line.data(), head_length, head);
  Rule* matched = nullptr;
  for (const auto& rule : state.Rules) {
    // A rule that does not match leaves the line as it is, so no copy is needed per rule.
    if (rule->Convert(line)) {
      matched = rule.get();
      break;
    }
  }
  if (matched == nullptr) return false;
  int command = matched->CommandNum;
  if (command == 0) command = FindCommand(std::u16string_view(head, head_length));
  const bool accepted = !state.FileCheckOn || command == 0 || command > kCommandMidiFile ||
                        CheckMaterialFile(state, folder, line, command);
  return accepted;
}

void ProcessChart(RunState& state, run::ChartFolder& charts, const std::u16string& folder,
                  const std::u16string& name) {
  run::LineRewrite rewrite;
  rewrite.MayChange = [&state](std::string_view raw) { return MayMatch(state, raw); };
  rewrite.Rewrite = [&state, &folder](std::u16string& line, text::ChartEncoding) {
    return ReplaceLine(state, folder, line);
  };
  run::RewriteChart(state, charts, name, rewrite);
}

bool ProcessFolder(RunState& state, const platform::Folder& folder) {
  if (run::ListingStopped(state.Context().Progress, folder.Path())) return false;
  std::optional<run::FolderListing> listing = run::ListFiles(state, folder);
  if (!listing) return true;
  const std::vector<std::u16string>& names = listing->Names;
  const FolderIndex index(std::move(listing->Entries));
  // The file check finds the chart folder's files in the listing the run already has.
  state.Materials.Seed(folder, index.Entries());
  const bool finished = run::RewriteCharts(
      state, folder, index.Entries(), names, kBackupExt, u"置換中",
      [&](run::ChartFolder& charts, const std::u16string& name) { ProcessChart(state, charts, folder.Path(), name); });
  state.Materials.Forget(folder.Path());
  if (!finished) return false;
  if (!state.RecursiveOn) return true;
  return run::EachSubfolder(state, folder, index.Subfolders(),
                               [&state](const platform::Folder& sub) { return ProcessFolder(state, sub); });
}

void ReadRunOptions(RunState& state, const RunOptions& options) {
  state.ReadBase(options);
  state.BackupOn = options.BackupOn;
  state.FileCheckOn = options.FileCheckOn;
  state.TextModeOn = options.TextModeOn;
}

void BuildRules(RunState& state, const std::vector<RuleEntry>& entries) {
  state.Rules.clear();
  for (const RuleEntry& entry : entries) {
    auto rule = std::make_unique<Rule>();
    rule->MakeRule(entry.Text, entry.Split, RuleCase(state.TextModeOn));
    state.Rules.push_back(std::move(rule));
  }
}

std::u16string ResultText(const RunState& state) {
  return u"処理/対象 = " + paths::Decimal(state.ProcessedCount) + u"/" + paths::Decimal(state.TargetCount) +
         state.FailedLines(u"書き換えに失敗した譜面・フォルダ", state.ListFailures);
}

RunResult Run(const RunContext& context, const RunOptions& options, const RunHooks& hooks) {
  RunState state(context);
  state.Hooks = hooks;
  ReadRunOptions(state, options);
  run::SetFileFilter(context.Files, options);
  RunParams params;
  std::u16string material_why, target_why;
  const bool material_given = options.ExactPaths ? !options.MaterialText.empty()
                                                 : !paths::TrimLeadingBlanks(options.MaterialText).empty();
  if (material_given) params.MaterialBase = run::RunFolder(options.MaterialText, options.ExactPaths, context.RelativeBase, material_why);
  if (hooks.PathChecked) hooks.PathChecked(0, !params.MaterialBase.empty());
  params.TargetFolder = run::RunFolder(options.TargetText, options.ExactPaths, context.RelativeBase, target_why);
  if (hooks.PathChecked) hooks.PathChecked(1, !params.TargetFolder.empty());
  if (!material_given && hooks.PathChecked) hooks.PathChecked(0, true);  // no base is a valid choice

  if (params.TargetFolder.empty()) {
    context.Messages.ShowMessage(run::WithReason(u"正確なターゲットパスを指定してください。", target_why), u"パスの指定",
                             MsgIcon::Exclamation);
    return {};
  }
  if (material_given && state.FileCheckOn && params.MaterialBase.empty()) {
    context.Messages.ShowMessage(
        run::WithReason(u"正確なマテリアルベースパスを指定してください。\r\n指定しない場合は、空白にしてください。",
                           material_why),
        u"パスの指定", MsgIcon::Exclamation);
    return {};
  }
  if (options.Rules.empty()) {
    context.Messages.ShowMessage(u"ルールがありません。", u"ルールの指定", MsgIcon::Exclamation);
    return {};
  }

  run::BeginWork(context, hooks, u"置換ルール取り込み中");
  state.Params = params;
  BuildRules(state, options.Rules);
  const platform::Folder target = run::OpenFolder(state, params.TargetFolder);
  const bool finished = !target.IsOpen() || ProcessFolder(state, target);
  return run::EndWork(context, hooks, finished, ResultText(state), state);
}

}  // namespace quarrow
