#include "toolkit/gui/PathBox.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

#include "toolkit/gui/Controls.h"
#include "toolkit/gui/QtText.h"
#include "toolkit/gui/MainWindowBase.h"
#include "toolkit/files/Paths.h"
#include "toolkit/platform/fs.h"

namespace gui {

PathBox::PathBox(MainWindowBase& window, QLineEdit* box, QComboBox* folders, QListWidget* sorter)
    : QObject(box), window_(window), box_(box), folders_(folders), sorter_(sorter) {
  window.WatchTextBox(box);
  box->installEventFilter(this);
  connect(box, &QLineEdit::returnPressed, this, [this] { Refresh(true); });
  if (folders_ != nullptr) {
    folders_->setAcceptDrops(true);
    folders_->installEventFilter(this);
    window.WatchChoiceList(folders_, [this] { ChooseFolder(); });
  }
}

std::u16string PathBox::Text() const {
  const std::u16string shown = FromQt(box_->text());
  return shown == text::ReadableName(stored_) ? stored_ : shown;
}

void PathBox::SetText(const std::u16string& path) {
  stored_ = path;
  box_->setText(Readable(path));
}

void PathBox::SetValid(bool ok) { ShowValid(box_, ok); }

std::u16string PathBox::Check() {
  const std::u16string path = paths::CheckPathBox(Text(), window_.CurrentFolder());
  SetValid(!path.empty());
  return path;
}

void PathBox::Refresh(bool force) {
  if (!Refreshes || Check().empty()) return;
  const std::u16string folder = paths::GetExistingFolder(Text(), window_.CurrentFolder());
  if (folder.empty()) return;
  SetText(folder);
  box_->end(false);
  if (folder != last_path_ || force) {
    MainWindowBase::Busy busy(window_);
    last_path_ = folder;
    if (Applied) Applied();
    FillFolderList();
  }
}

void PathBox::FillFolderList() {
  if (folders_ == nullptr) return;
  window_.InternalAccess = true;
  // The sorted work list puts the names in the order a person reads them.
  sorter_->clear();
  platform::IoError error;
  const platform::Folder folder = platform::Folder::Open(last_path_, error);
  std::vector<platform::DirEntry> entries;
  if (folder.IsOpen() && folder.List(entries, error)) {
    for (const platform::DirEntry& entry : entries) {
      if (entry.IsFolder()) sorter_->addItem(NameItem(entry.Name));
    }
  }
  folders_->clear();
  folders_->addItem(QStringLiteral("."), QStringLiteral("."));
  folders_->addItem(QStringLiteral(".."), QStringLiteral(".."));
  for (int row = 0; row < sorter_->count(); ++row) {
    const QListWidgetItem* item = sorter_->item(row);
    folders_->addItem(item->text(), item->data(kStoredRole));
  }
  sorter_->clear();
  folders_->setCurrentIndex(0);
  window_.InternalAccess = false;
}

void PathBox::ChooseFolder() {
  const std::u16string name = FromQt(folders_->currentData().toString());
  if (name.empty()) return;
  SetText(platform::JoinPath(last_path_, name));
  Refresh(false);
}

void PathBox::DropPath(const QMimeData* data) {
  const std::u16string folder = paths::GetDropFolder(DroppedFiles(data));
  if (folder.empty()) return;
  SetText(folder);
  Refresh(true);
}

bool PathBox::TakeDrop(QEvent* event) {
  return TakeFileDrop(event, [this](const QMimeData* data) { DropPath(data); });
}

bool PathBox::eventFilter(QObject* watched, QEvent* event) {
  if (TakeDrop(event)) return true;
  if (watched == box_ && window_.UserFocusOut(event)) Refresh(false);
  return false;
}

}  // namespace gui
