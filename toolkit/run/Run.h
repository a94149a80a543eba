// What the three programs' runs have alike: the options every window holds, the hooks a front end
// follows a run by, its outcome, the record of what failed, the checks of the folder boxes, and the
// progress steps every run shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/run/Context.h"
#include "toolkit/files/FolderIndex.h"
#include "toolkit/run/ChartFile.h"
#include "toolkit/settings/Settings.h"

// An item a run could not handle (a chart not rewritten, an entry not deleted, a folder not read),
// and why.
struct FailedItem {
  std::u16string Path;
  std::u16string Reason;
};

// The part of a run's state every program keeps alike: what failed, in order.
struct RunRecord {
  std::vector<FailedItem> Failures;

  void Fail(const std::u16string& path, const std::u16string& reason) { Failures.push_back({path, reason}); }
  // "\r\n" + label + " = " + the count of failures when any failed, then, when asked, the items
  // themselves (at most kListedFailures of them, the rest counted); empty when nothing failed: the
  // result message's last lines.
  std::u16string FailedLines(const std::u16string& label, bool list) const;
  static constexpr std::size_t kListedFailures = 10;
};

// The boxes every window has: the target folder, recursion into subfolders, and the include and
// exclude lists of the file list; and how the run treats them.
struct RunOptionsBase {
  RunOptionsBase() = default;
  // For a window whose include list starts on, with these patterns.
  RunOptionsBase(bool include_on, std::u16string include_text)
      : IncludeOn(include_on), IncludeText(std::move(include_text)) {}

  std::u16string TargetText;
  bool RecursiveOn = false;
  bool IncludeOn = false;
  std::u16string IncludeText;
  bool ExcludeOn = false;
  std::u16string ExcludeText;
  // A dry run reads everything and changes nothing; what would change is told through the hooks.
  bool DryRun = false;
  // Paths as a shell gave them (the command lines): used verbatim, and a folder that is not there or
  // cannot be examined stops the run; never trimmed, never replaced by the nearest existing folder,
  // as text typed into a window is.
  bool ExactPaths = false;
  // The result message names the items that failed (a command line lists them all elsewhere).
  bool ResultListsFailures = true;

  // The settings every program keeps alike (the filter section and recursion).
  void FromSettings(const settings::SettingsTable& table);
  void ToSettings(settings::SettingsTable& table) const;
};

// An entry a run deletes (or, in a dry run, would delete).
struct DeletedEntry {
  std::u16string Path;
  bool Folder = false;    // a real folder, which goes with everything in it (a link goes as a link)
  std::size_t Held = 0;   // a folder's entries at every level
};

// How the front end follows a run: the colour of each folder box after its check (false = red),
// the start of the work, the refresh of its lists when the work is done, and the end of the run
// after the result message; and what the run changes (or in a dry run would change), as it goes.
struct RunHooks {
  std::function<void(int index, bool ok)> PathChecked;
  std::function<void()> Begin;
  std::function<void()> Refresh;
  std::function<void()> End;
  std::function<void(const run::ChartChange&)> Changed;  // a chart rewritten
  bool ChangedLines = true;  // whether Changed is told the changed lines' text, not only their count
  std::function<void(const DeletedEntry&)> Deleted;  // an entry deleted
  // A temporary file a killed run left beside a chart, removed (or, in a dry run, to be removed).
  std::function<void(const std::u16string& path)> Leftover;
  // Takes the result text in place of the result message (a preview shows it in its own list).
  std::function<void(const std::u16string& text)> Result;
};

enum class RunOutcome { Warned, Finished, Cancelled };

// The state every program's run keeps alike: the services it was handed, what failed, and the
// options that decide how it goes.
struct RunStateBase : RunRecord {
  explicit RunStateBase(const RunContext& context) : context_(&context) {}
  const RunContext& Context() const { return *context_; }

  bool RecursiveOn = false;
  bool DryRun = false;
  bool ListFailures = true;
  // Takes the options every window has (the run sets up its file list builder itself).
  void ReadBase(const RunOptionsBase& options);

 private:
  const RunContext* context_;
};

// The state of a run that rewrites charts (Quarrow, Fennick): its counts and how it tells what it
// changed.
struct ChartRunState : RunStateBase {
  using RunStateBase::RunStateBase;
  // The material files charts name, each folder listed once for the run, and the lookups that could
  // not be made, each recorded once.
  StoredFiles Materials;
  std::set<std::u16string> MaterialFailures;
  // Whether the file `relative` is under `base`, as Materials tells; a lookup that cannot be made is
  // recorded as a failure of `base`, once for each reason.
  StoredFiles::Result FindMaterial(const std::u16string& base, const std::u16string& relative);

  bool BackupOn = false;
  std::int32_t TargetCount = 0;     // charts examined
  std::int32_t ProcessedCount = 0;  // charts rewritten
  RunHooks Hooks;
};

// How a run ended, and what it could not do.
struct RunResult {
  RunOutcome Outcome = RunOutcome::Warned;
  std::vector<FailedItem> Failures;
};

namespace run {

// Hands the include and exclude boxes to a file list builder.
void SetFileFilter(FileFilter& files, const RunOptionsBase& options);

// The folder a run works in, from the text of a folder box: empty when there is none. A window's
// text loses its leading blanks, is taken from `base` when relative, and must name an existing
// folder, which is then spelled as the file system stores it; exact text must name an existing
// folder as it stands. `why` receives the path and the reason when a folder cannot be examined or
// is missing.
std::u16string RunFolder(const std::u16string& text, bool exact, const std::u16string& base, std::u16string& why);
// Whether a name is a chart's (.bms .bme .bml .pms .bmson, ASCII letters in any case): a file
// neither Tobrenz nor sync deletion ever deletes.
bool IsChartName(const std::u16string& name);
// A path warning's text: the message, and the reason on a line of its own when there is one.
std::u16string WithReason(const std::u16string& message, const std::u16string& why);

// The start of the work behind the progress dialog: the Begin hook, then the dialog shown with
// "準備中" and the text given, its stop button cleared.
void BeginWork(const RunContext& context, const RunHooks& hooks, const std::u16string& text);
// The end of the work: the Refresh hook, the dialog hidden, the result message (or the Result hook),
// the End hook.
RunResult EndWork(const RunContext& context, const RunHooks& hooks, bool finished, const std::u16string& result_text,
                  const RunRecord& record);

// Opens the folder a run works in; a folder that cannot be opened is recorded as a failure.
platform::Folder OpenFolder(RunRecord& record, const std::u16string& path);
// A folder's listing, the run's own: the file list builder lists each subfolder again.
struct FolderListing {
  std::vector<std::u16string> Names;        // the files the include and exclude lists take
  std::vector<platform::DirEntry> Entries;  // everything the folder holds, in name order
};
// Lists an open folder's files with the run's file list builder; a folder that cannot be listed is
// recorded as a failure: nothing.
std::optional<FolderListing> ListFiles(RunStateBase& state, const platform::Folder& folder);
// Opens each of the named subfolders in turn, never through a link, and takes `step` into it; one
// that cannot be opened is recorded and passed over. False as soon as a step was stopped.
bool EachSubfolder(RunRecord& record, const platform::Folder& folder, const std::vector<std::u16string>& names,
                   const std::function<bool(const platform::Folder& sub)>& step);
// Locks a folder the run will change; a folder another run holds is recorded and must be left alone.
bool Lock(RunRecord& record, platform::FolderLock& lock, const platform::Folder& folder);

// The charts of an open folder, each offered in turn to `chart` after its progress step (label:
// "置換中"), the folder locked against other runs; false when the user stopped the run. The
// programs' own backups and temporary files are never offered.
bool RewriteCharts(ChartRunState& state, const platform::Folder& folder, const std::vector<platform::DirEntry>& listing,
                   const std::vector<std::u16string>& names, const std::u16string& ext, const std::u16string& label,
                   const std::function<void(run::ChartFolder& charts, const std::u16string& name)>& chart);
// One chart of RewriteCharts: counted, rewritten line by line and put in place, and told of, or its
// failure recorded.
void RewriteChart(ChartRunState& state, run::ChartFolder& charts, const std::u16string& name,
                  run::LineRewrite rewrite);

// The progress step at the start of each folder ("ファイルリスト取得中"). True when the user stopped
// the run there.
bool ListingStopped(RunProgress& progress, const std::u16string& folder);
// The progress step before each item: "label - done / total" with the item's name. True when the
// user stopped the run there.
bool ItemStopped(RunProgress& progress, const std::u16string& label, std::int64_t done, std::int64_t total,
                 const std::u16string& name);

}  // namespace run
