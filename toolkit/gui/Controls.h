// Small pieces every window builds its controls from: named controls with caption and tooltip, the
// items of the sorted lists, and the files of a drop.
#pragma once

#include <QListWidgetItem>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QEvent;
class QLabel;
class QLineEdit;
class QMimeData;
class QPushButton;
class QRadioButton;
class QWidget;

namespace gui {

QLineEdit* TextBox(QWidget* parent, const QString& name);
QCheckBox* CheckBox(QWidget* parent, const QString& name, const QString& caption, const QString& tip = QString());
QRadioButton* OptionButton(QWidget* parent, const QString& name, const QString& caption,
                           const QString& tip = QString());
QPushButton* Button(QWidget* parent, const QString& name, const QString& caption, const QString& tip = QString());
QLabel* Label(QWidget* parent, const QString& name, const QString& caption, const QString& tip = QString());

// A box's text in the window-text colour, or red (RGB 255, 0, 0) when its content is no good.
void ShowValid(QLineEdit* box, bool ok);

// The name a list item stands for, as the file system stores it; the item shows its readable form.
inline constexpr int kStoredRole = Qt::UserRole;
// What orders items whose texts are the same (Quarrow's rules: the split position).
inline constexpr int kTieRole = Qt::UserRole + 1;

// An item in the order the sorted lists give: ascending by the text shown without regard to case,
// then exactly, so that names differing only in case always come in one order.
class SortedItem : public QListWidgetItem {
 public:
  explicit SortedItem(const QString& text, int tie = 0) : QListWidgetItem(text) { setData(kTieRole, tie); }
  bool operator<(const QListWidgetItem& other) const override;
  QListWidgetItem* clone() const override { return new SortedItem(*this); }
};
bool ShownBefore(const QString& a, const QString& b);

// An item for a stored name: shows it readably, keeps the name itself for every operation.
QListWidgetItem* NameItem(const std::u16string& stored);
std::u16string ItemName(const QListWidgetItem *item);

// The local files of a drop, in their order.
std::vector<std::u16string> DroppedFiles(const QMimeData* data);
// Takes a drag over a control (accepted only when it carries local files) and the drop, whose data
// goes to `dropped`; false for any other event.
bool TakeFileDrop(QEvent* event, const std::function<void(const QMimeData*)>& dropped);

}  // namespace gui
