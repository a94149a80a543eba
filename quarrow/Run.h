// Quarrow's run: rewriting the charts of a folder tree line by line with the rules of the list.
// The window and the command line both drive it; it talks to the user through the message sink and
// the program's progress dialog, and tells its front end what it changes through the run's hooks.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "quarrow/Rule.h"
#include "toolkit/files/FolderIndex.h"
#include "toolkit/run/ChartFile.h"
#include "toolkit/settings/Settings.h"
#include "toolkit/run/Run.h"

namespace quarrow {

using run::ChartChange;

struct RunParams {
  std::u16string MaterialBase;  // absolute, or empty when none is in use
  std::u16string TargetFolder;
};

// What the window (or the command line) holds when the start button is pressed.
struct RunOptions : RunOptionsBase {
  RunOptions() : RunOptionsBase(true, u"*.bms;*.bme") {}
  std::u16string MaterialText;
  bool BackupOn = true, FileCheckOn = true;
  bool TextModeOn = true;
  std::vector<RuleEntry> Rules;

  // The settings file's keys (the rules live in the rule file).
  void FromSettings(const settings::SettingsTable& table);
  void ToSettings(settings::SettingsTable& table) const;
};

// The state of one run: its options, rules, counters and failures.
struct RunState : ChartRunState {
  using ChartRunState::ChartRunState;
  bool FileCheckOn = false;
  bool TextModeOn = false;
  std::vector<std::unique_ptr<Rule>> Rules;  // in the list's order
  RunParams Params;
};

// The whole run behind the start button: checks with their warnings, the work behind the progress
// dialog, and the result message. The folder boxes of RunHooks::PathChecked: 0 the material base,
// 1 the target.
RunResult Run(const RunContext& context, const RunOptions& options, const RunHooks& hooks = {});
// "処理/対象 = p/t", with the charts that failed when any did.
std::u16string ResultText(const RunState& state);

void ReadRunOptions(RunState& state, const RunOptions& options);
void BuildRules(RunState& state, const std::vector<RuleEntry>& entries);
// The charts of an open folder, then (recursive runs) its subfolders. False when the user stopped the
// run.
bool ProcessFolder(RunState& state, const platform::Folder& folder);
void ProcessChart(RunState& state, run::ChartFolder& charts, const std::u16string& folder,
                  const std::u16string& name);
// Offers the line to the rules in list order; true when the first matching rule's result was taken
// (the line then holds it). A line whose result is refused is left to be written as it was read.
bool ReplaceLine(RunState& state, const std::u16string& folder, std::u16string& line);
// Whether the material file a rewritten line names exists. A folder that cannot be examined is no
// answer: the line is then refused and the failure recorded.
bool CheckMaterialFile(RunState& state, const std::u16string& folder, const std::u16string& newLine, int command);

struct SplitLine {
  std::u16string Head, Bracket, FileName;
};
SplitLine SplitIndexedLine(const std::u16string& line, const std::u16string& name);
SplitLine SplitPlainLine(const std::u16string& line, const std::u16string& name);

}  // namespace quarrow
