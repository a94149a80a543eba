// Messages to the user: one interface for the windows (message boxes), the command line (stderr)
// and the tests (a recorder).
#pragma once

#include <cstdio>
#include <string>

enum class MsgIcon { None, Exclamation, Critical, Question };

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void ShowMessage(const std::u16string& text, const std::u16string& title, MsgIcon icon) = 0;
  // Yes/No with No as the default answer; true for Yes.
  virtual bool AskYesNo(const std::u16string& text, const std::u16string& title, MsgIcon icon) = 0;
};

// The command line's messages: the same Japanese texts. A result (a message without icon) goes to
// stdout as it stands; warnings, errors and questions go to stderr with their titles. A question is
// answered by the run's --yes (or its absence), and the answer is printed beside it.
class ConsoleMessages : public MessageSink {
 public:
  explicit ConsoleMessages(bool assume_yes = false, std::FILE* out = stdout, std::FILE* err = stderr)
      : assume_yes_(assume_yes), out_(out), err_(err) {}
  void ShowMessage(const std::u16string& text, const std::u16string& title, MsgIcon icon) override;
  bool AskYesNo(const std::u16string& text, const std::u16string& title, MsgIcon icon) override;
  void SetAssumeYes(bool value) { assume_yes_ = value; }

 private:
  bool assume_yes_;
  std::FILE* out_;
  std::FILE* err_;
};

namespace mdlMessages {

// The program-wide sink; a console sink until a program installs its own.
MessageSink& Sink();
void SetSink(MessageSink* sink);  // nullptr restores the console sink

inline void ShowMessage(const std::u16string& text, const std::u16string& title, MsgIcon icon = MsgIcon::None) {
  Sink().ShowMessage(text, title, icon);
}
inline bool AskYesNo(const std::u16string& text, const std::u16string& title, MsgIcon icon = MsgIcon::Question) {
  return Sink().AskYesNo(text, title, icon);
}

}  // namespace mdlMessages
