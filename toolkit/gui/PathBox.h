// A folder box: the path text (red while it names no folder), the folder last applied, and, where the
// window has one, the folder list to walk through its subfolders. Names show readably; the stored
// path is kept for every operation.
#pragma once

#include <QObject>
#include <functional>
#include <string>

class QComboBox;
class QLineEdit;
class QListWidget;
class QMimeData;

namespace gui {

class MainWindowBase;

class PathBox : public QObject {
  Q_OBJECT

 public:
  // `folders` and its hidden sorted work list `sorter` come together, or not at all.
  PathBox(MainWindowBase& window, QLineEdit* box, QComboBox* folders = nullptr, QListWidget* sorter = nullptr);

  QLineEdit* Box() const { return box_; }
  QComboBox* Folders() const { return folders_; }
  // False for a box whose folder is only checked, never applied (Quarrow's material base folder).
  bool Refreshes = true;
  // The folder was applied (LastPath changed, or a forced refresh), inside the busy time, before the
  // folder list is filled.
  std::function<void()> Applied;

  // The path the box stands for: the stored path while the box shows its readable form, else the
  // text as typed.
  std::u16string Text() const;
  void SetText(const std::u16string& path);
  void SetValid(bool ok);
  // The box's text without leading blanks when it names an existing folder, else empty; red then.
  std::u16string Check();
  // The box's folder, spelled as stored, is applied when it changed or when forced.
  void Refresh(bool force);
  const std::u16string& LastPath() const { return last_path_; }
  // ".", "..", then the subfolders of LastPath sorted by their readable names; "." chosen.
  void FillFolderList();
  // A dropped folder, or the folder of a dropped file, becomes the box's folder.
  void DropPath(const QMimeData* data);
  // Takes a drag over, or a drop on, any control that drops into this box; false for other events.
  bool TakeDrop(QEvent* event);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ChooseFolder();

  MainWindowBase& window_;
  QLineEdit* box_;
  QComboBox* folders_;
  QListWidget* sorter_;
  std::u16string stored_;  // the path whose readable form the box was given
  std::u16string last_path_;
};

}  // namespace gui
