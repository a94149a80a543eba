// Messages to the user: one interface for the windows (message boxes), the command line (stderr)
// and the tests (a recorder), handed to whatever talks to the user.
#pragma once

#include <string>

enum class MsgIcon { None, Exclamation, Critical, Question };

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void ShowMessage(const std::u16string& text, const std::u16string& title, MsgIcon icon) = 0;
  // A message that stops a run before it begins: shown as any message is, but a console puts it
  // where warnings go, whatever its icon.
  virtual void ShowWarning(const std::u16string& text, const std::u16string& title, MsgIcon icon) {
    ShowMessage(text, title, icon);
  }
  // Yes/No with No as the default answer; true for Yes.
  virtual bool AskYesNo(const std::u16string& text, const std::u16string& title, MsgIcon icon) = 0;
};

// Messages that go nowhere, every question answered No: for work that no user watches.
class SilentMessages : public MessageSink {
 public:
  void ShowMessage(const std::u16string&, const std::u16string&, MsgIcon) override {}
  bool AskYesNo(const std::u16string&, const std::u16string&, MsgIcon) override { return false; }
};
