// Tobrenz's run: of every pair of same-named files that differ in extension (a listed target file and
// its partner with the comparison extension), the larger file is deleted. The window and the command
// line both drive it; it talks to the user through the message sink and the progress dialog.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "mdlSettings.h"

namespace tobrenz {

// One pair as the run decided it. Done is false when the deletion failed (nothing was deleted then);
// in a dry run it is true for what would go.
struct PairResult {
  std::u16string Target, Partner;  // full paths
  std::int64_t TargetSize = 0, PartnerSize = 0;
  bool PartnerGoes = false;  // else the target goes
  bool Done = false;
};

// A file or folder the run could not deal with, and why.
struct Failure {
  std::u16string Path;
  std::u16string Reason;
};

// The program-wide state of a run, overwritten by the next run.
struct RunState {
  bool RecursiveOn = false;
  std::u16string CompareExt;  // "." + the comparison extension
  std::int32_t TargetCount = 0;   // pairs found
  std::int32_t DeletedCount = 0;  // pairs whose partner was the larger file and went
  std::int32_t ProgressTick = 0;  // files of the current folder's list since the last progress line
  std::vector<Failure> Failures;
  // A dry run examines every pair and changes nothing; each pair is reported through OnPair.
  bool DryRun = false;
  std::function<void(const PairResult&)> OnPair;
  // What a dry run would have deleted so far, so that later pairs see the folder as the real run would.
  std::unordered_set<std::u16string> DryRunGone;
};
RunState& State();

// What the window (or the command line) holds when the start button is pressed.
struct RunOptions {
  std::u16string TargetText;
  std::u16string CompareExtText = kDefaultCompareExt;  // without the dot
  bool RecursiveOn = false;
  bool IncludeOn = false;
  std::u16string IncludeText;
  bool ExcludeOn = false;
  std::u16string ExcludeText;
};

// How the front end follows a run: the colour of the target box (index 1) and of the comparison
// extension box after their checks (false = red), the start of the work, the refresh of its file
// list when the work is done, and the end of the run after the result message.
struct RunHooks {
  std::function<void(int index, bool ok)> PathChecked;
  std::function<void(bool ok)> CompareExtChecked;
  std::function<void()> Begin;
  std::function<void()> Refresh;
  std::function<void()> End;
};

enum class RunOutcome { Warned, Finished, Cancelled };

// The whole run behind the start button: checks with their warnings, the work behind the progress
// dialog, and the result message.
RunOutcome Run(const RunOptions& options, const RunHooks& hooks = {});
// 削除".bmp" / 対象ファイル = d / t, with a line for what failed when anything did.
std::u16string ResultText();

void ReadRunOptions(const RunOptions& options);
// The path of the target box with its leading blanks removed when it names an existing folder, else
// empty.
std::u16string CheckPathBox(const std::u16string& text);
// False for an empty extension, one with a character no file name may hold, or a control character.
bool CheckCompareExt(const std::u16string& text);
// The name without its last extension: "a.b" for "a.b.png", "readme" for "readme".
std::u16string BaseName(const std::u16string& name);
// False when the user stopped the run. A folder that cannot be listed is recorded and passed over.
bool ProcessFolder(const std::u16string& folder);

}  // namespace tobrenz
