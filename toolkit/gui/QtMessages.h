// Message boxes for the windows, and the desktop's opener handed to the toolkit.
#pragma once

#include <QWidget>

#include "toolkit/run/Messages.h"

class QLineEdit;
class QMessageBox;

class QtMessages : public MessageSink {
 public:
  explicit QtMessages(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  void ShowMessage(const std::u16string& text, const std::u16string& title, MsgIcon icon) override;
  bool AskYesNo(const std::u16string& text, const std::u16string& title, MsgIcon icon) override;

 private:
  QWidget* parent_;
};

namespace gui {

// Shows a message box and waits for its answer. While the user is asked, the pointer is the usual
// one, whatever work showed the hourglass; that pointer comes back afterwards.
int AskUser(QMessageBox& box);

// Installs the desktop's opener for ShellOpen.
void InstallDesktopOpener();

// Selects a text box's whole text; Ctrl+A (key code 65 with the Ctrl bit 2) does the same.
void SelectAllText(QLineEdit* box);
void SelectAllKey(QLineEdit* box, int key_code, int shift);

}  // namespace gui
