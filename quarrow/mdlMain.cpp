#include "mdlMain.h"

#include <string>

#include "mdlAppGlobal.h"
#include "mdlAppParam.h"
#include "mdlChartFile.h"
#include "mdlMessages.h"
#include "mdlTools.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace quarrow {
namespace {

// Quarrow's temporary files end in ".mbk1", its backups in "~n.mbk".
constexpr char16_t kBackupExt[] = u"mbk";

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// Steps 2 to 6 of both splits: the blanks after the command, then the bracket part when asked for.
SplitLine Split(const std::u16string& line, std::size_t a, bool bracketed) {
  // Positions count from 1 here: a is the last character of the head, b the first after it.
  while (a + 1 <= line.size() && IsBlank(line[a])) ++a;
  const std::size_t b = a + 1;
  SplitLine out;
  out.Head = line.substr(0, std::min(a, line.size()));
  const std::u16string rest = b <= line.size() ? line.substr(b - 1) : std::u16string();
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

}  // namespace

RunState& State() {
  static RunState state;
  return state;
}

SplitLine SplitIndexedLine(const std::u16string& line, const std::u16string& name) {
  return Split(line, name.size() + 2, true);
}

SplitLine SplitPlainLine(const std::u16string& line, const std::u16string& name) {
  return Split(line, name.size(), false);
}

bool CheckMaterialFile(const RunParams& params, const std::u16string& folder, const std::u16string& newLine,
                       int command) {
  const std::u16string& name = CommandNames()[command];
  const SplitLine parts = (command == kCommandWav || command == kCommandBmp) ? SplitIndexedLine(newLine, name)
                                                                             : SplitPlainLine(newLine, name);
  if (!parts.Bracket.empty()) {
    if (params.MaterialBase.empty()) return false;
    const std::u16string set = parts.Bracket.substr(1, parts.Bracket.size() - 2);
    // The sound set is one more folder level in front of the file's own path.
    return !mdlTools::FindStoredFile(params.MaterialBase, set + u'\\' + parts.FileName).empty();
  }
  return !mdlTools::FindStoredFile(folder, parts.FileName).empty();
}

bool ReplaceLine(const RunParams& params, const std::u16string& folder, std::u16string& line) {
  RunState& state = State();
  // One buffer for every line: most lines match no rule, and copying each would allocate.
  static std::u16string work;
  clsRules* matched = nullptr;
  for (const auto& rule : state.Rules) {
    work.assign(line);
    if (rule->Convert(work)) {
      matched = rule.get();
      break;
    }
  }
  if (matched == nullptr) return false;
  int command = matched->CommandNum;
  if (command == 0) command = FindCommand(line);
  const bool accepted = !state.FileCheckOn || command == 0 || command > kCommandMidiFile ||
                        CheckMaterialFile(params, folder, work, command);
  if (!accepted) return false;
  line.swap(work);
  return true;
}

namespace {

// Puts a written temporary file in its chart's place. A failure leaves the chart as it was and
// takes it back out of the rewritten count.
void CommitChart(const PendingChart& pending) {
  RunState& state = State();
  const std::u16string why = mdlChartFile::Replace(pending.Chart, kBackupExt, state.BackupOn);
  if (!why.empty()) {
    --state.ProcessedCount;
    state.Fail(pending.Chart, why);
    return;
  }
  if (state.OnChange) state.OnChange(pending.Change);
}

}  // namespace

void ProcessChart(const RunParams& params, const std::u16string& folder, const std::u16string& name) {
  RunState& state = State();
  const std::u16string chart = platform::JoinPath(folder, name);
  ++state.TargetCount;

  std::string bytes;
  if (const std::u16string why = mdlChartFile::Read(chart, bytes); !why.empty()) {
    state.Fail(chart, why);
    return;
  }

  // Lines no rule rewrites are written back from their own bytes, so nothing that was not asked for
  // changes, whatever the chart's encoding.
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 16 + 16);
  ChartChange change{chart, {}};
  bool changed = false;
  std::size_t pos = 0;
  std::string_view raw;
  std::u16string line;
  auto may_match = [&state](std::string_view text) {
    for (const auto& rule : state.Rules) {
      if (rule->MayMatch(text)) return true;
    }
    return false;
  };
  while (platform::NextLine(bytes, pos, raw)) {
    if (!may_match(raw)) {
      platform::AppendLine(out, raw);
      continue;
    }
    platform::DecodeCp932(raw, line);
    if (ReplaceLine(params, folder, line)) {
      changed = true;
      std::string encoded;
      if (!platform::EncodeCp932(line, encoded)) {
        state.Fail(chart, u"置換後の行に Shift-JIS で書けない文字があります: " + line);
        return;
      }
      if (encoded != raw) change.Lines.emplace_back(platform::DecodeCp932(raw), line);
      platform::AppendLine(out, encoded);
    } else {
      platform::AppendLine(out, raw);
    }
  }
  if (!changed) {
    // Nothing to write: the chart only loses its attributes, as every examined chart does.
    if (!state.DryRun) platform::SetAttributes(chart, platform::kAttrNormal);
    return;
  }
  if (state.DryRun) {
    ++state.ProcessedCount;
    if (state.OnChange) state.OnChange(change);
    return;
  }

  const std::u16string why = mdlChartFile::WriteTemp(chart, kBackupExt, out, !state.Batching);
  if (!why.empty()) {
    state.Fail(chart, why);
    return;
  }
  ++state.ProcessedCount;
  PendingChart pending{chart, std::move(change)};
  if (state.Batching) {
    state.Pending.push_back(std::move(pending));
  } else {
    CommitChart(pending);
  }
}

void CommitPending(const std::u16string& folder) {
  RunState& state = State();
  if (state.Pending.empty()) return;
  // With backups the old content survives anything in its backup, whose data has long been on the
  // disk; only without them must the new content reach the disk before it replaces the old.
  if (!state.BackupOn) mdlChartFile::MakeDurable(folder);
  for (const PendingChart& pending : state.Pending) CommitChart(pending);
  state.Pending.clear();
}

bool ProcessFolder(const RunParams& params, const std::u16string& folder) {
  RunState& state = State();
  if (mdlRun::ListingStopped(folder)) return false;
  clsFilter& filter = mdlAppGlobal::Filter();
  filter.MakeFileList(folder);
  const std::vector<std::u16string> names = filter.List();
  struct Batch {
    explicit Batch(const std::u16string& f) : folder(f) { State().Batching = true; }
    ~Batch() {
      CommitPending(folder);  // also when the user stops: what was written is put in place
      State().Batching = false;
    }
    const std::u16string& folder;
  };
  {
    Batch batch(folder);
    for (const std::u16string& name : names) {
      if (mdlRun::ItemStopped(u"置換中", state.ProcessedCount, state.TargetCount, name)) return false;
      ProcessChart(params, folder, name);
    }
  }
  if (state.RecursiveOn) {
    std::vector<platform::DirEntry> entries;
    platform::ListFolder(folder, entries);
    for (const auto& e : entries) {
      // A linked folder is not entered: it may lead out of the tree or back into it.
      if (!(e.Attributes & platform::kAttrDirectory) || e.IsLink) continue;
      if (!ProcessFolder(params, platform::JoinPath(folder, e.Name))) return false;
    }
  }
  return true;
}

void ReadRunOptions(const RunOptions& options) {
  RunState& state = State();
  state.BackupOn = options.BackupOn;
  state.FileCheckOn = options.FileCheckOn;
  state.RecursiveOn = options.RecursiveOn;
  state.TextModeOn = options.TextModeOn != 0 ? 1 : 0;
  mdlRun::SetFileFilter(options);
}

void BuildRules(const std::vector<RuleEntry>& entries) {
  RunState& state = State();
  state.Rules.clear();
  for (const RuleEntry& entry : entries) {
    auto rule = std::make_unique<clsRules>();
    rule->MakeRule(entry.Text, entry.Split, state.TextModeOn);
    state.Rules.push_back(std::move(rule));
  }
}

std::u16string ResultText() {
  const RunState& state = State();
  return u"処理/対象 = " + mdlTools::Decimal(state.ProcessedCount) + u"/" + mdlTools::Decimal(state.TargetCount) +
         state.FailedLine(u"書き換えに失敗した譜面");
}

RunOutcome Run(const RunOptions& options, const RunHooks& hooks) {
  RunState& state = State();
  ReadRunOptions(options);
  RunParams params;
  params.MaterialBase = CheckPathBox(options.MaterialText);
  if (hooks.PathChecked) hooks.PathChecked(0, !params.MaterialBase.empty());
  params.TargetFolder = CheckPathBox(options.TargetText);
  if (hooks.PathChecked) hooks.PathChecked(1, !params.TargetFolder.empty());
  const bool material_given = !mdlTools::TrimLeadingBlanks(options.MaterialText).empty();
  if (!material_given && hooks.PathChecked) hooks.PathChecked(0, true);  // no base is a valid choice

  if (params.TargetFolder.empty()) {
    mdlMessages::ShowMessage(u"正確なターゲットパスを指定してください。", u"パスの指定", MsgIcon::Exclamation);
    return RunOutcome::Warned;
  }
  if (material_given && state.FileCheckOn && params.MaterialBase.empty()) {
    mdlMessages::ShowMessage(u"正確なマテリアルベースパスを指定してください。\r\n指定しない場合は、空白にしてください。",
                             u"パスの指定", MsgIcon::Exclamation);
    return RunOutcome::Warned;
  }
  if (options.Rules.empty()) {
    mdlMessages::ShowMessage(u"ルールがありません。", u"ルールの指定", MsgIcon::Exclamation);
    return RunOutcome::Warned;
  }

  mdlRun::BeginWork(hooks, u"置換ルール取り込み中");
  state.TargetCount = 0;
  state.ProcessedCount = 0;
  state.Failures.clear();

  params.TargetFolder = mdlTools::GetExistingFolder(params.TargetFolder, u"");
  if (!params.MaterialBase.empty()) params.MaterialBase = mdlTools::GetExistingFolder(params.MaterialBase, u"");
  state.Params = params;
  BuildRules(options.Rules);
  const bool finished = ProcessFolder(state.Params, state.Params.TargetFolder);
  return mdlRun::EndWork(hooks, finished, ResultText);
}

}  // namespace quarrow
