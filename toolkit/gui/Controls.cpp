#include "toolkit/gui/Controls.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QUrl>

#include "toolkit/gui/QtText.h"

namespace gui {
namespace {

template <class Control>
Control* Captioned(QWidget* parent, const QString& name, const QString& caption, const QString& tip) {
  auto* control = new Control(caption, parent);
  control->setObjectName(name);
  control->setToolTip(tip);
  return control;
}

}  // namespace

QLineEdit* TextBox(QWidget* parent, const QString& name) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(name);
  return box;
}

QCheckBox* CheckBox(QWidget* parent, const QString& name, const QString& caption, const QString& tip) {
  return Captioned<QCheckBox>(parent, name, caption, tip);
}

QRadioButton* OptionButton(QWidget* parent, const QString& name, const QString& caption, const QString& tip) {
  return Captioned<QRadioButton>(parent, name, caption, tip);
}

QPushButton* Button(QWidget* parent, const QString& name, const QString& caption, const QString& tip) {
  auto* button = Captioned<QPushButton>(parent, name, caption, tip);
  button->setAutoDefault(false);
  return button;
}

QLabel* Label(QWidget* parent, const QString& name, const QString& caption, const QString& tip) {
  return Captioned<QLabel>(parent, name, caption, tip);
}

void ShowValid(QLineEdit* box, bool ok) {
  QPalette palette = QApplication::palette(box);
  if (!ok) palette.setColor(QPalette::Text, QColor(255, 0, 0));
  box->setPalette(palette);
}

bool ShownBefore(const QString& a, const QString& b) {
  const int folded = a.compare(b, Qt::CaseInsensitive);
  return folded != 0 ? folded < 0 : a < b;
}

bool SortedItem::operator<(const QListWidgetItem& other) const {
  if (text() != other.text()) return ShownBefore(text(), other.text());
  return data(kTieRole).toInt() < other.data(kTieRole).toInt();
}

QListWidgetItem* NameItem(const std::u16string& stored) {
  auto* item = new SortedItem(Readable(stored));
  item->setData(kStoredRole, ToQt(stored));
  return item;
}

std::u16string ItemName(const QListWidgetItem *item) {
  return FromQt(item->data(kStoredRole).toString());
}

std::vector<std::u16string> DroppedFiles(const QMimeData* data) {
  std::vector<std::u16string> paths;
  if (data == nullptr || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const QString local = url.toLocalFile();
    if (!local.contains(QChar::ReplacementCharacter)) {
      paths.push_back(FromQt(QDir::toNativeSeparators(local)));
      continue;
    }
    // A stored name that is not UTF-8 comes percent-encoded byte by byte; read as UTF-8 it would
    // lose those bytes, so it is taken as the bytes themselves.
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    paths.push_back(text::DecodeUtf8(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
  }
  return paths;
}

bool TakeFileDrop(QEvent* event, const std::function<void(const QMimeData*)>& dropped) {
  const QEvent::Type type = event->type();
  if (type == QEvent::DragEnter || type == QEvent::DragMove) {
    auto* drag = static_cast<QDragMoveEvent*>(event);
    if (DroppedFiles(drag->mimeData()).empty()) {
      drag->ignore();
    } else {
      drag->acceptProposedAction();
    }
    return true;
  }
  if (type != QEvent::Drop) return false;
  auto* drop = static_cast<QDropEvent*>(event);
  dropped(drop->mimeData());
  drop->acceptProposedAction();
  return true;
}

}  // namespace gui
