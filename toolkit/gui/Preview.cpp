#include "toolkit/gui/Preview.h"

#include <QStringList>
#include <algorithm>
#include <utility>

#include "toolkit/files/FolderIndex.h"

#include "toolkit/files/Paths.h"

namespace gui {
void Plan::Follow(RunOptionsBase& options, RunHooks& hooks) {
  options.DryRun = true;
  // The failures are items of their own; the summary keeps only their count.
  options.ResultListsFailures = false;
  hooks.ChangedLines = true;
  hooks.Changed = [this](const run::ChartChange& change) {
    ListItem item{{change.Path, u"書き換え", paths::Decimal(static_cast<std::int64_t>(change.Count)) + u" 行"}, {}};
    for (const auto& [before, after] : change.Lines) {
      item.Details.push_back(u"変更前: " + before);
      item.Details.push_back(u"変更後: " + after);
    }
    Items.push_back(std::move(item));
  };
  hooks.Deleted = [this](const DeletedEntry& entry) {
    const std::u16string what =
        entry.Folder ? u"フォルダ (" + paths::Decimal(static_cast<std::int64_t>(entry.Held)) + u" 項目)" : u"ファイル";
    Items.push_back({{entry.Path, u"削除", what}, {}});
  };
  hooks.Leftover = [this](const std::u16string& path) {
    Items.push_back({{path, u"削除", u"中断された実行の一時ファイル"}, {}});
  };
  hooks.Result = [this](const std::u16string& text) { Summary = u"実行した場合の結果: " + text; };
}

void Plan::Finish(const std::vector<FailedItem>& failures) {
  std::vector<std::pair<std::u16string, std::size_t>> order;  // the folded path, then the place
  order.reserve(Items.size());
  for (std::size_t i = 0; i < Items.size(); ++i) order.emplace_back(FolderIndex::Folded(Items[i].Columns[0]), i);
  std::sort(order.begin(), order.end());
  std::vector<ListItem> listed;
  listed.reserve(failures.size() + Items.size());
  for (const FailedItem& failure : failures) listed.push_back({{failure.Path, u"失敗", failure.Reason}, {}});
  for (const auto& [key, i] : order) listed.push_back(std::move(Items[i]));
  Items = std::move(listed);
}

QStringList Plan::Headers() { return {QStringLiteral(u"対象"), QStringLiteral(u"処理"), QStringLiteral(u"詳細")}; }

}  // namespace gui
