// Fennick's run: pairs chart folders with sound set folders, deletes from each chart folder what its
// sound set already holds, and writes set tags ("<set>" before a file name: the file is the sound
// set's) into the #WAV and #BMP lines of its charts. The window and the command line both drive it; it talks to the
// user through the message sink and the program's progress dialog.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "mdlRun.h"

namespace fennick {

using ::RunHooks;
using ::RunOutcome;

enum ConvertModes { kModeNormal = 0, kModeRedefine = 1, kModeClear = 2 };

// The lines a conversion changes (or, in a dry run, would change), as old and new text.
struct ChartChange {
  std::u16string Path;
  std::vector<std::pair<std::u16string, std::u16string>> Lines;
};

// The program-wide state of a run, overwritten by the next run.
struct RunState : RunRecord {
  bool SyncDeleteOn = false;
  bool ConvertOn = false;
  int ConvertMode = kModeNormal;
  bool BackupOn = false;
  bool RecursiveOn = false;
  bool BaseFolderOn = false;
  bool ClearOnly = false;     // clear mode alone, on the target folder only: no source folder needed
  std::u16string SourcePath;  // the sound set folder, or the material base folder
  std::u16string TargetPath;
  std::u16string SetName;  // recursive sound set runs: the folder name looked for in the target tree
  std::int32_t TargetCount = 0;
  std::int32_t ProcessedCount = 0;
  std::int32_t DeletedCount = 0;
  std::int32_t ProgressTick = 0;
  // A dry run reads everything and changes nothing; what would be deleted or rewritten is reported.
  bool DryRun = false;
  std::function<void(const std::u16string& path)> OnDelete;
  std::function<void(const ChartChange&)> OnChange;
  // Dry runs: the entries sync deletion would have removed, so that no chart among them is reported
  // as converted afterwards.
  std::set<std::u16string> WouldDelete;
};
RunState& State();

// What the window (or the command line) holds when the start button is pressed.
struct RunOptions : RunOptionsBase {
  RunOptions() : RunOptionsBase(true, u"*.bms;*.bme") {}
  std::u16string SourceText;
  bool BaseFolderOn = true;
  bool BackupOn = true;
  bool SyncDeleteOn = true;
  bool ConvertOn = true;
  int ConvertMode = kModeNormal;
};

// The whole run behind the start button: checks with their warnings and the overlap question, the
// work behind the progress dialog, and the result message. The folder boxes of
// RunHooks::PathChecked: 0 the source, 1 the target.
RunOutcome Run(const RunOptions& options, const RunHooks& hooks = {});
// "同期削除数 = d" and "マテリアル変換 処理/対象 = p / t", with a third line counting the items
// that failed when any did.
std::u16string ResultText();

void ReadRunOptions(const RunOptions& options);
// The last name of a path (its folder name); empty for a root.
std::u16string LastComponent(const std::u16string& path);

// The pairing of source and target folders that the flags choose. Each returns false when the user
// stopped the run.
bool ProcessTarget(const std::u16string& source, const std::u16string& target);
bool ProcessBaseFolder(const std::u16string& folder);
bool ProcessSetFolder(const std::u16string& folder);
bool ProcessFolderPair(const std::u16string& source, const std::u16string& target);
bool ConvertFolder(const std::u16string& source, const std::u16string& target);

// Deletes from the target folder every entry named like an entry of the source folder. False when
// the user stopped it.
bool SyncDelete(const std::u16string& source, const std::u16string& target);

// Converts one line by the run's mode; true when the line was replaced.
bool ConvertMaterialLine(const std::u16string& source, const std::u16string& set_tag, std::u16string& line);
// Converts one chart of the target folder, counting it and keeping a backup when asked.
void ConvertChart(const std::u16string& source, const std::u16string& target, const std::u16string& name);

}  // namespace fennick
