// Quarrow's run: rewriting the charts of a folder tree line by line with the rules of the list.
// The window and the command line both drive it; it talks to the user through the message sink and
// the program's progress dialog.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "clsRules.h"
#include "mdlRun.h"
#include "mdlTools.h"

namespace quarrow {

using ::RunHooks;
using ::RunOutcome;
using mdlTools::CheckPathBox;

struct RunParams {
  std::u16string MaterialBase;  // absolute, or empty when none is in use
  std::u16string TargetFolder;
};

// The lines a rewrite changes (or, in a dry run, would change), as old and new text.
struct ChartChange {
  std::u16string Path;
  std::vector<std::pair<std::u16string, std::u16string>> Lines;
};

// A chart whose new content waits in its temporary file for the moment it takes the chart's place.
struct PendingChart {
  std::u16string Chart;
  ChartChange Change;
};

// The program-wide state of a run, overwritten by the next run.
struct RunState : RunRecord {
  bool BackupOn = false;
  bool FileCheckOn = false;
  bool RecursiveOn = false;
  int TextModeOn = 0;
  std::vector<std::unique_ptr<clsRules>> Rules;  // RuleCount = Rules.size()
  RunParams Params;
  std::int32_t TargetCount = 0;
  std::int32_t ProcessedCount = 0;
  // A dry run reads everything and writes nothing; each chart that would change is reported.
  bool DryRun = false;
  std::function<void(const ChartChange&)> OnChange;
  // Within a folder the new charts are written first and put in place together, after one flush of
  // the disk when no backup keeps the old content (far cheaper than a flush per chart); each chart's
  // path still holds its old or its new content at every moment.
  bool Batching = false;
  std::vector<PendingChart> Pending;
};
RunState& State();

// What the window (or the command line) holds when the start button is pressed.
struct RunOptions : RunOptionsBase {
  RunOptions() : RunOptionsBase(true, u"*.bms;*.bme") {}
  std::u16string MaterialText;
  bool BackupOn = true, FileCheckOn = true;
  int TextModeOn = 1;
  std::vector<RuleEntry> Rules;
};

// The whole run behind the start button: checks with their warnings, the work behind the progress
// dialog, and the result message. The folder boxes of RunHooks::PathChecked: 0 the material base,
// 1 the target.
RunOutcome Run(const RunOptions& options, const RunHooks& hooks = {});
// "処理/対象 = p/t", with a line for the charts that failed when any did.
std::u16string ResultText();

void ReadRunOptions(const RunOptions& options);
void BuildRules(const std::vector<RuleEntry>& entries);
// False when the user stopped the run.
bool ProcessFolder(const RunParams& params, const std::u16string& folder);

void ProcessChart(const RunParams& params, const std::u16string& folder, const std::u16string& name);
// Puts the charts that wait in their temporary files in place, after making those files durable.
void CommitPending(const std::u16string& folder);
// Offers the line to the rules in list order; true when the first matching rule's result was taken
// (the line then holds it).
bool ReplaceLine(const RunParams& params, const std::u16string& folder, std::u16string& line);
bool CheckMaterialFile(const RunParams& params, const std::u16string& folder, const std::u16string& newLine,
                       int command);

struct SplitLine {
  std::u16string Head, Bracket, FileName;
};
SplitLine SplitIndexedLine(const std::u16string& line, const std::u16string& name);
SplitLine SplitPlainLine(const std::u16string& line, const std::u16string& name);

}  // namespace quarrow
