// A preview of a run: the run made as a dry run, what it would do gathered as the items of a list
// window (a chart with its changed lines, an entry that would go, a failure with its reason), and
// its result text as the list's summary. Two previews of the same folders are equal; a preview that
// differs from the one shown means the folders changed meanwhile.
#pragma once

#include <string>
#include <vector>

#include "toolkit/gui/ListWindow.h"
#include "toolkit/run/Run.h"

namespace gui {

struct Plan {
  std::vector<ListItem> Items;
  std::u16string Summary;
  bool operator==(const Plan&) const = default;

  // Makes the run a dry run whose changes, deletions and result text come here instead of being
  // made and told. The plan must outlive the run.
  void Follow(RunOptionsBase& options, RunHooks& hooks);
  // After the run: the items in the order of their paths (the order of a folder's listing is the
  // file system's, which says nothing to a reader), the failures it met first: they are what the
  // user has to look at.
  void Finish(const std::vector<FailedItem>& failures);
  // The titles of the columns of a preview's items.
  static QStringList Headers();
};

}  // namespace gui
