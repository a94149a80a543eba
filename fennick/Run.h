// Fennick's run: pairs chart folders with sound set folders, deletes from each chart folder what its
// sound set already holds, and writes set tags ("<set>" before a file name: the file is the sound
// set's) into the #WAV and #BMP lines of its charts. The window and the command line both drive it;
// it talks to the user through the message sink and the program's progress dialog, and tells its
// front end what it changes through the run's hooks.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "toolkit/files/FolderIndex.h"
#include "toolkit/run/ChartFile.h"
#include "toolkit/settings/Settings.h"
#include "toolkit/run/Run.h"

namespace fennick {

using run::ChartChange;

// How conversion treats a line's set tag; the numbers are the settings file's.
enum class ConvertModes { Normal = 0, Redefine = 1, Clear = 2 };
// The mode a settings number stands for; Normal for a number that is none.
ConvertModes ConvertModeOf(std::int32_t number);

// What the window (or the command line) holds when the start button is pressed.
struct RunOptions : RunOptionsBase {
  RunOptions() : RunOptionsBase(true, u"*.bms;*.bme") {}
  std::u16string SourceText;
  bool BaseFolderOn = true;
  bool BackupOn = true;
  bool SyncDeleteOn = true;
  bool ConvertOn = true;
  ConvertModes ConvertMode = ConvertModes::Normal;
  bool TrashOn = false;  // sync deletion moves to the trash instead of deleting for good

  void FromSettings(const settings::SettingsTable& table);
  void ToSettings(settings::SettingsTable& table) const;
};

// The state of one run: its flags, the folders it pairs, counters and failures.
struct RunState : ChartRunState {
  using ChartRunState::ChartRunState;
  bool SyncDeleteOn = false;
  bool ConvertOn = false;
  ConvertModes ConvertMode = ConvertModes::Normal;
  bool BaseFolderOn = false;
  bool TrashOn = false;
  bool ClearOnly = false;     // clear mode alone, on the target folder only: no source folder needed
  std::u16string SourcePath;  // the sound set folder, or the material base folder
  std::u16string SetName;     // recursive sound set runs: the folder name looked for in the target tree
  FolderIndex BaseIndex;   // base folder runs: the sound sets of the material base folder
  std::int32_t DeletedCount = 0;
  std::int32_t ProgressTick = 0;
  // Dry runs: the entries sync deletion would have removed, so that no chart among them is reported
  // as converted afterwards.
  std::set<std::u16string> WouldDelete;
};

// The whole run behind the start button: checks with their warnings and the overlap question, the
// work behind the progress dialog, and the result message. The folder boxes of
// RunHooks::PathChecked: 0 the source, 1 the target.
RunResult Run(const RunContext& context, const RunOptions& options, const RunHooks& hooks = {});
// "同期削除数 = d" (with " (ごみ箱へ移動)" when the entries went to the trash) and
// "マテリアル変換 処理/対象 = p / t", with the items that failed when any did.
std::u16string ResultText(const RunState& state);

void ReadRunOptions(RunState& state, const RunOptions& options);
// The last name of a path (its folder name); empty for a root.
std::u16string LastComponent(const std::u16string& path);
// The tag that names a sound set folder as a chart's text: the set name's CP932 bytes
// read back, so that a name stored in Shift-JIS bytes goes into a Shift-JIS chart as those very
// bytes, into a UTF-8 chart as the text they spell, and equals a tag a chart already holds. A name
// with no CP932 form stays as it is (only a UTF-8 chart can hold it); bytes that spell no text stay
// bytes (only a Shift-JIS chart can hold them).
std::u16string SetTag(const std::u16string& source);

// The pairing of source and target folders that the flags choose. Each returns false when the user
// stopped the run.
bool ProcessTarget(RunState& state, const std::u16string& source, const platform::Folder& target);
bool ProcessBaseFolder(RunState& state, const platform::Folder& folder);
bool ProcessSetFolder(RunState& state, const platform::Folder& folder);
bool ProcessFolderPair(RunState& state, const std::u16string& source, const platform::Folder& target);
bool ConvertFolder(RunState& state, const std::u16string& source, const platform::Folder& target);

// Deletes from the target folder (or moves to the trash) every entry named like an entry of the
// source folder. False when the user stopped it.
bool SyncDelete(RunState& state, const std::u16string& source, const platform::Folder& target);

// Converts one line by the run's mode; true when the line was replaced. A source folder that cannot
// be examined leaves the line as it is, and the failure is recorded.
bool ConvertMaterialLine(RunState& state, const std::u16string& source, const std::u16string& set_tag,
                         std::u16string& line);
// Converts one chart of the target folder, counting it and keeping a backup when asked.
void ConvertChart(RunState& state, run::ChartFolder& charts, const std::u16string& source,
                  const std::u16string& name);

}  // namespace fennick
