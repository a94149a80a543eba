#include "toolkit/gui/ListWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "toolkit/gui/Controls.h"
#include "toolkit/gui/QtText.h"

namespace gui {
namespace {

// An index's internal id: 0 for an item, the item's row + 1 for one of its detail lines.
constexpr quintptr kItemId = 0;

}  // namespace

ListModel::ListModel(QStringList headers, QObject* parent) : QAbstractItemModel(parent), headers_(std::move(headers)) {}

void ListModel::SetItems(std::vector<ListItem> items) {
  beginResetModel();
  items_ = std::move(items);
  endResetModel();
}

QModelIndex ListModel::index(int row, int column, const QModelIndex& parent) const {
  if (row < 0 || column < 0 || row >= rowCount(parent) || column >= columnCount()) return {};
  return createIndex(row, column, parent.isValid() ? static_cast<quintptr>(parent.row()) + 1 : kItemId);
}

QModelIndex ListModel::parent(const QModelIndex& child) const {
  if (!child.isValid() || child.internalId() == kItemId) return {};
  return createIndex(static_cast<int>(child.internalId() - 1), 0, kItemId);
}

int ListModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return static_cast<int>(items_.size());
  // Detail lines hang under an item's first column only, and have none of their own.
  if (parent.internalId() != kItemId || parent.column() != 0) return 0;
  return static_cast<int>(items_[static_cast<std::size_t>(parent.row())].Details.size());
}

int ListModel::columnCount(const QModelIndex&) const { return static_cast<int>(headers_.size()); }

QVariant ListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
  const std::size_t column = static_cast<std::size_t>(index.column());
  if (index.internalId() == kItemId) {
    const auto& columns = items_[static_cast<std::size_t>(index.row())].Columns;
    return column < columns.size() ? Readable(columns[column]) : QString();
  }
  if (column != 0) return {};
  return Readable(items_[index.internalId() - 1].Details[static_cast<std::size_t>(index.row())]);
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= headers_.size()) return {};
  return headers_[section];
}

ListWindow::ListWindow(const QString& title, const QStringList& headers, QWidget* parent)
    : QDialog(parent), model_(headers) {
  setWindowTitle(title);
  view_ = new QTreeView(this);
  view_->setObjectName(QStringLiteral("lstItems"));
  // Rows of one height let the view place any row without measuring the others.
  view_->setUniformRowHeights(true);
  view_->setModel(&model_);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  // Widths set once: sizing a column to its contents would measure every row.
  view_->header()->setStretchLastSection(false);
  view_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  for (int column = 1; column < headers.size(); ++column) {
    view_->header()->setSectionResizeMode(column, QHeaderView::Interactive);
    view_->header()->resizeSection(column, column + 1 == headers.size() ? 200 : 90);
  }
  summary_ = Label(this, QStringLiteral("lblSummary"), QString());
  summary_->setTextFormat(Qt::PlainText);  // a name such as <set> is text, not markup
  summary_->setWordWrap(true);
  start_ = Button(this, QStringLiteral("cmdStart"), QString());
  start_->hide();
  close_ = Button(this, QStringLiteral("cmdClose"), QStringLiteral(u"閉じる(Esc)"));

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(start_);
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(view_, 1);
  layout->addWidget(summary_);
  layout->addLayout(buttons);
  resize(760, 480);

  connect(close_, &QPushButton::clicked, this, &QDialog::reject);
  connect(start_, &QPushButton::clicked, this, [this] {
    if (on_start_) on_start_();
  });
}

void ListWindow::SetItems(std::vector<ListItem> items) {
  model_.SetItems(std::move(items));
  view_->expandAll();
}

void ListWindow::SetSummary(const std::u16string& text) {
  summary_->setText(Readable(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void ListWindow::SetStart(const QString& caption, std::function<void()> start) {
  on_start_ = std::move(start);
  start_->setText(caption);
  start_->show();
  start_->setFocus();
}

}  // namespace gui
