#include "toolkit/mdlMessages.h"

namespace {

class SilentMessages : public MessageSink {
 public:
  void ShowMessage(const std::u16string&, const std::u16string&, MsgIcon) override {}
  bool AskYesNo(const std::u16string&, const std::u16string&, MsgIcon) override { return false; }
};

MessageSink* g_sink = nullptr;

}  // namespace

namespace mdlMessages {

MessageSink& Sink() {
  static SilentMessages silent;
  return g_sink != nullptr ? *g_sink : silent;
}

void SetSink(MessageSink* sink) { g_sink = sink; }

}  // namespace mdlMessages
