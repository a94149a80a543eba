#include "toolkit/gui/FilterFrame.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "toolkit/gui/Controls.h"
#include "toolkit/gui/PathBox.h"
#include "toolkit/gui/QtText.h"
#include "toolkit/gui/MainWindowBase.h"
#include "toolkit/files/Paths.h"
#include "toolkit/platform/fs.h"

namespace gui {

FilterFrame::FilterFrame(MainWindowBase& window, const QString& caption, bool sorted, PathBox& target, QPushButton* refresh)
    : QGroupBox(caption), window_(window), target_(target) {
  files_.Pump = [] { QApplication::processEvents(); };
  setObjectName(QStringLiteral("frmSelect"));
  chkExt_[0] = CheckBox(this, QStringLiteral("chkExt0"), QStringLiteral(u"絞り込む(&M)"),
                        QStringLiteral(u"指定したファイルを操作の対象にします。"));
  txtExt_[0] = TextBox(this, QStringLiteral("txtExt0"));
  chkExt_[1] = CheckBox(this, QStringLiteral("chkExt1"), QStringLiteral(u"除外する(&O)"),
                        QStringLiteral(u"指定したファイルを処理の対象外にします。"));
  txtExt_[1] = TextBox(this, QStringLiteral("txtExt1"));
  lstFiles_ = new QListWidget(this);
  lstFiles_->setObjectName(QStringLiteral("lstFiles"));
  lstFiles_->setSortingEnabled(sorted);
  lstFiles_->setAcceptDrops(true);
  lstFiles_->viewport()->setAcceptDrops(true);

  auto* layout = new QGridLayout(this);
  for (int i = 0; i < 2; ++i) {
    layout->addWidget(chkExt_[i], i, 0);
    layout->addWidget(txtExt_[i], i, 1);
  }
  if (refresh != nullptr) layout->addWidget(refresh, 2, 1, Qt::AlignRight);
  layout->addWidget(lstFiles_, 3, 0, 1, 2);

  for (int i = 0; i < 2; ++i) {
    window.WatchTextBox(txtExt_[i]);
    txtExt_[i]->installEventFilter(this);
    connect(txtExt_[i], &QLineEdit::returnPressed, this, [this, i] {
      if (chkExt_[i]->isChecked()) ApplyFilterText(i, true);
    });
    // A list switched on or off changes what a run takes, whatever its text: an empty exclude list
    // switched on takes every file out.
    connect(chkExt_[i], &QCheckBox::clicked, this, [this, i] {
      if (!window_.InternalAccess) ApplyFilterText(i, true);
    });
  }
  lstFiles_->installEventFilter(this);
  lstFiles_->viewport()->installEventFilter(this);
  target.Applied = [this] { RefreshFileList(target_.LastPath()); };
}

void FilterFrame::RememberFilters() {
  for (int i = 0; i < 2; ++i) last_filter_[i] = FromQt(txtExt_[i]->text());
}

void FilterFrame::ApplyFilterText(int index, bool force) {
  QLineEdit* box = txtExt_.at(index);
  box->end(false);
  const std::u16string text = FromQt(box->text());
  if (text == last_filter_[index] && !force) return;
  last_filter_[index] = text;
  target_.Refresh(true);
}

void FilterFrame::ReadFilter(RunOptionsBase& options) const {
  options.IncludeOn = chkExt_[0]->isChecked();
  options.IncludeText = FromQt(txtExt_[0]->text());
  options.ExcludeOn = chkExt_[1]->isChecked();
  options.ExcludeText = FromQt(txtExt_[1]->text());
}

void FilterFrame::ShowFilter(const RunOptionsBase& options) {
  chkExt_[0]->setChecked(options.IncludeOn);
  txtExt_[0]->setText(ToQt(options.IncludeText));
  chkExt_[1]->setChecked(options.ExcludeOn);
  txtExt_[1]->setText(ToQt(options.ExcludeText));
}

void FilterFrame::RefreshFileList(const std::u16string& folder) {
  window_.SetCurrentFolder(folder);
  RunOptionsBase options;
  ReadFilter(options);
  FileFilter& filter = files_;
  run::SetFileFilter(filter, options);
  filter.MakeFileList(folder);
  lstFiles_->setUpdatesEnabled(false);
  lstFiles_->clear();
  for (const std::u16string& name : filter.List()) lstFiles_->addItem(NameItem(name));
  lstFiles_->setUpdatesEnabled(true);
}

void FilterFrame::CopyFileName(bool with_folder) {
  const QList<QListWidgetItem*> selected = lstFiles_->selectedItems();
  if (selected.isEmpty()) return;
  // What a person reads is what they paste: the readable name, in the box's folder as it shows.
  QString text = selected.front()->text();
  if (with_folder) text = ToQt(platform::JoinPath(FromQt(target_.Box()->text()), FromQt(text)));
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  clipboard->setText(text);
}

bool FilterFrame::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  // The target box takes a drop on the list as its own.
  if (watched == lstFiles_->viewport()) return target_.TakeDrop(event);
  if (watched == lstFiles_ && type == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::ControlModifier &&
        (key->key() == Qt::Key_C || key->key() == Qt::Key_X || key->key() == Qt::Key_F)) {
      CopyFileName(key->key() == Qt::Key_F);
      return true;
    }
    return false;
  }
  for (int i = 0; i < 2; ++i) {
    if (watched == txtExt_[i] && window_.UserFocusOut(event) && chkExt_[i]->isChecked()) ApplyFilterText(i, false);
  }
  return false;
}

}  // namespace gui
