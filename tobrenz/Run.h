// Tobrenz's run: of every pair of same-named files that differ in extension (a listed target file and
// its partner with the comparison extension), the larger file is deleted. The window and the command
// line both drive it; it talks to the user through the message sink and the progress dialog.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>

#include "tobrenz/Settings.h"
#include "toolkit/files/FolderIndex.h"
#include "toolkit/settings/Settings.h"
#include "toolkit/run/Run.h"

namespace tobrenz {

// One pair as the run decided it. Done is false when the deletion failed (nothing was deleted then);
// in a dry run it is true for what would go.
struct PairResult {
  std::u16string Target, Partner;  // full paths
  std::int64_t TargetSize = 0, PartnerSize = 0;
  bool PartnerGoes = false;  // else the target goes
  bool Done = false;
};

// What the window (or the command line) holds when the start button is pressed.
struct RunOptions : RunOptionsBase {
  std::u16string CompareExtText = kDefaultCompareExt;  // without the dot
  bool TrashOn = false;  // the file that goes moves to the trash instead of being deleted for good

  void FromSettings(const settings::SettingsTable& table);
  void ToSettings(settings::SettingsTable& table) const;
};

// The hooks of every program (PathChecked colours the target box, index 1), the colour of the
// comparison extension box after its check (false = red), and each pair as it is decided.
struct RunHooks : ::RunHooks {
  std::function<void(bool ok)> CompareExtChecked;
  std::function<void(const PairResult&)> Pair;
};

// The state of one run.
struct RunState : RunStateBase {
  using RunStateBase::RunStateBase;
  std::u16string CompareExt;      // "." + the comparison extension
  std::int32_t TargetCount = 0;   // pairs found
  std::int32_t DeletedCount = 0;  // pairs whose partner was the larger file and went
  std::int32_t ProgressTick = 0;  // files of the current folder's list since the last progress line
  bool TrashOn = false;
  std::int32_t TrashedCount = 0;  // files moved to the trash, of either side
  RunHooks Hooks;
  // What a dry run would have deleted so far, so that later pairs see the folder as the real run would.
  std::unordered_set<std::u16string> DryRunGone;
};

// The whole run behind the start button: checks with their warnings, the work behind the progress
// dialog, and the result message.
RunResult Run(const RunContext& context, const RunOptions& options, const RunHooks& hooks = {});
// 削除".bmp" / 対象ファイル = d / t, then "ごみ箱へ移動 = n" when files went to the trash, with
// what failed when anything did.
std::u16string ResultText(const RunState& state);

void ReadRunOptions(RunState& state, const RunOptions& options);
// The comparison extension a box or an option gives, without the blanks around it and without a
// leading dot (".bmp" means bmp).
std::u16string CompareExtension(const std::u16string& text);
// False for an empty extension, one with a character no file name may hold, or a control character.
bool CheckCompareExt(const std::u16string& text);
// The name without its last extension: "a.b" for "a.b.png", "readme" for "readme".
std::u16string BaseName(const std::u16string& name);
// The pairs of an open folder, then (recursive runs) its subfolders. False when the user stopped the
// run. A folder that cannot be listed is recorded and passed over.
bool ProcessFolder(RunState& state, const platform::Folder& folder);

}  // namespace tobrenz
