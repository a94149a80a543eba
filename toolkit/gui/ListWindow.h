// A window that lists items: what a run would do, or any report made of items. It shows a title, the
// items (each a row of texts by column, with detail lines indented under it), a summary line under
// the list, and, when given, a button that starts what the list shows; Esc or 閉じる(Esc) closes it.
// The list is a model shown by one view, so tens of thousands of items show at once, without a
// widget each.
//
//   ListWindow list(QStringLiteral(u"プレビュー"), {QStringLiteral(u"対象"), QStringLiteral(u"処理")}, parent);
//   list.SetItems({{{path, u"書き換え"}, {u"変更前: ...", u"変更後: ..."}}});
//   list.SetSummary(u"処理/対象 = 1/3");
//   list.SetStart(QStringLiteral(u"実行(&G)"), [] { ... });  // optional
//   list.show();
#pragma once

#include <QAbstractItemModel>
#include <QDialog>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTreeView;

namespace gui {

// One item of a list: its texts by column, and the lines shown under it. The first column holds the
// tree, so the detail lines show there, indented. Stored names and chart text show readably.
struct ListItem {
  std::vector<std::u16string> Columns;
  std::vector<std::u16string> Details;
  bool operator==(const ListItem&) const = default;
};

// The items as a model: a row per item, its detail lines as its rows.
class ListModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  explicit ListModel(QStringList headers, QObject* parent = nullptr);
  void SetItems(std::vector<ListItem> items);
  const std::vector<ListItem>& Items() const { return items_; }

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  QStringList headers_;
  std::vector<ListItem> items_;
};

class ListWindow : public QDialog {
  Q_OBJECT

 public:
  // title: the window's title; headers: the titles of the columns.
  ListWindow(const QString& title, const QStringList& headers, QWidget* parent = nullptr);

  // Replaces the items; each shows with its detail lines open.
  void SetItems(std::vector<ListItem> items);
  // The line under the list (CR LF parts lines).
  void SetSummary(const std::u16string& text);
  // Shows the start button with this caption; a click calls `start`. The window stays open: the
  // caller closes it when what it started ends what the list shows.
  void SetStart(const QString& caption, std::function<void()> start);

  ListModel& Model() { return model_; }
  QTreeView* lstItems() const { return view_; }
  QLabel* lblSummary() const { return summary_; }
  QPushButton* cmdStart() const { return start_; }
  QPushButton* cmdClose() const { return close_; }

 private:
  ListModel model_;
  QTreeView* view_;
  QLabel* summary_;
  QPushButton* start_;
  QPushButton* close_;
  std::function<void()> on_start_;
};

}  // namespace gui
