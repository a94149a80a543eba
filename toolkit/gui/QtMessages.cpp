#include "toolkit/gui/QtMessages.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QUrl>
#include <vector>

#include "toolkit/gui/QtText.h"
#include "toolkit/platform/shell.h"

namespace {

QMessageBox::Icon IconOf(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Exclamation: return QMessageBox::Warning;
    case MsgIcon::Critical: return QMessageBox::Critical;
    case MsgIcon::Question: return QMessageBox::Question;
    default: return QMessageBox::NoIcon;
  }
}

}  // namespace

// A stored name inside a message reads as a person reads it.
void QtMessages::ShowMessage(const std::u16string& text, const std::u16string& title, MsgIcon icon) {
  QMessageBox box(IconOf(icon), ToQt(title), Readable(text), QMessageBox::Ok, parent_);
  gui::AskUser(box);
}

bool QtMessages::AskYesNo(const std::u16string& text, const std::u16string& title, MsgIcon icon) {
  QMessageBox box(IconOf(icon), ToQt(title), Readable(text), QMessageBox::Yes | QMessageBox::No, parent_);
  box.setDefaultButton(QMessageBox::No);
  return gui::AskUser(box) == QMessageBox::Yes;
}

namespace gui {

int AskUser(QMessageBox& box) {
  std::vector<QCursor> held;
  while (const QCursor* cursor = QApplication::overrideCursor()) {
    held.push_back(*cursor);
    QApplication::restoreOverrideCursor();
  }
  const int answer = box.exec();
  for (auto cursor = held.rbegin(); cursor != held.rend(); ++cursor) QApplication::setOverrideCursor(*cursor);
  return answer;
}

void InstallDesktopOpener() {
#ifndef _WIN32
  // Windows has a shell of its own, which the platform layer reaches (Explorer, the choice of a
  // program); elsewhere the desktop's opener serves.
  platform::SetShellHandler([](platform::ShellVerb verb, const std::u16string& path) {
    QString target = ToQt(path);
    // No chooser of programs here: "open with" shows the file's folder.
    if (verb == platform::ShellVerb::OpenWith) target = QFileInfo(target).absolutePath();
    return QDesktopServices::openUrl(QUrl::fromLocalFile(target)) ? platform::kShellOk : platform::kShellNoAssociation;
  });
#endif
}

void SelectAllText(QLineEdit* box) {
  if (box != nullptr) box->selectAll();
}

void SelectAllKey(QLineEdit* box, int key_code, int shift) {
  if ((shift & 2) != 0 && key_code == 65) SelectAllText(box);
}

}  // namespace gui
