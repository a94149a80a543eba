// Messages to the user: one interface for the windows (message boxes), the command line (stderr)
// and the tests (a recorder).
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

namespace mdlMessages {

// The program-wide sink. Until a front end installs its own, messages go nowhere and every question
// is answered No.
MessageSink& Sink();
void SetSink(MessageSink* sink);  // nullptr restores that silent sink

inline void ShowMessage(const std::u16string& text, const std::u16string& title, MsgIcon icon = MsgIcon::None) {
  Sink().ShowMessage(text, title, icon);
}
inline void ShowWarning(const std::u16string& text, const std::u16string& title, MsgIcon icon) {
  Sink().ShowWarning(text, title, icon);
}
inline bool AskYesNo(const std::u16string& text, const std::u16string& title, MsgIcon icon = MsgIcon::Question) {
  return Sink().AskYesNo(text, title, icon);
}

}  // namespace mdlMessages
