#include "mdlMessages.h"

#include "platform/text.h"

namespace {

std::string Plain(const std::u16string& text) {
  // CR LF inside a message becomes a plain line break on the console.
  std::string out;
  for (char c : platform::ToUtf8(text)) {
    if (c != '\r') out.push_back(c);
  }
  return out;
}

const char* Prefix(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Exclamation: return "warning: ";
    case MsgIcon::Critical: return "error: ";
    default: return "";
  }
}

MessageSink* g_sink = nullptr;

}  // namespace

void ConsoleMessages::ShowMessage(const std::u16string& text, const std::u16string& title, MsgIcon icon) {
  if (icon == MsgIcon::None) {
    std::fprintf(out_, "%s\n", Plain(text).c_str());
    std::fflush(out_);
    return;
  }
  std::fprintf(err_, "%s[%s] %s\n", Prefix(icon), Plain(title).c_str(), Plain(text).c_str());
  std::fflush(err_);
}

bool ConsoleMessages::AskYesNo(const std::u16string& text, const std::u16string& title, MsgIcon icon) {
  std::fprintf(err_, "%s[%s] %s -> %s\n", Prefix(icon), Plain(title).c_str(), Plain(text).c_str(),
               assume_yes_ ? "yes (--yes)" : "no (give --yes to answer yes)");
  std::fflush(err_);
  return assume_yes_;
}

namespace mdlMessages {

MessageSink& Sink() {
  static ConsoleMessages console;
  return g_sink != nullptr ? *g_sink : console;
}

void SetSink(MessageSink* sink) { g_sink = sink; }

}  // namespace mdlMessages
