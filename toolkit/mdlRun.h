// What the three programs' runs have alike: the options every window holds, the hooks a front end
// follows a run by, its outcome, the record of what failed, and the progress steps every run shows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// An item a run could not handle (a chart not rewritten, an entry not deleted), and why.
struct FailedItem {
  std::u16string Path;
  std::u16string Reason;
};

// The part of a run's state every program keeps alike: what failed, in order.
struct RunRecord {
  std::vector<FailedItem> Failures;

  void Fail(const std::u16string& path, const std::u16string& reason) { Failures.push_back({path, reason}); }
  // "\r\n" + label + " = " + the count of failures when any failed, else empty: the result
  // message's last line.
  std::u16string FailedLine(const std::u16string& label) const;
};

// The boxes every window has: the target folder, recursion into subfolders, and the include and
// exclude lists of the file list.
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
};

// How the front end follows a run: the colour of each folder box after its check (false = red),
// the start of the work, the refresh of its lists when the work is done, and the end of the run
// after the result message. A program with more boxes to colour adds its own hooks.
struct RunHooks {
  std::function<void(int index, bool ok)> PathChecked;
  std::function<void()> Begin;
  std::function<void()> Refresh;
  std::function<void()> End;
};

enum class RunOutcome { Warned, Finished, Cancelled };

namespace mdlRun {

// Hands the include and exclude boxes to the program's file list builder.
void SetFileFilter(const RunOptionsBase& options);

// The start of the work behind the progress dialog: the Begin hook, then the dialog shown with
// "準備中" and the text given, its stop button cleared.
void BeginWork(const RunHooks& hooks, const std::u16string& text);
// The end of the work: the Refresh hook, the dialog hidden, the result message, the End hook.
RunOutcome EndWork(const RunHooks& hooks, bool finished, const std::function<std::u16string()>& result_text);

// The progress step at the start of each folder ("ファイルリスト取得中"). True when the user stopped
// the run there.
bool ListingStopped(const std::u16string& folder);
// The progress step before each item: "label - done / total" with the item's name. True when the
// user stopped the run there.
bool ItemStopped(const std::u16string& label, std::int64_t done, std::int64_t total, const std::u16string& name);

}  // namespace mdlRun
