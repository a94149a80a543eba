#include "toolkit/cli/ConsoleViews.h"

#include "toolkit/platform/console.h"
#include "toolkit/text/Codecs.h"

namespace {

std::string Plain(const std::u16string& text) {
  // CR LF inside a message becomes a plain line break on the console; names show as a window
  // shows them.
  std::string out;
  for (char c : text::ToUtf8(text::ReadableName(text))) {
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

// Columns a terminal gives a UTF-16 unit: two for the East Asian wide ranges (kana, CJK, Hangul,
// full-width forms) and for a character beyond the first plane, none for its second half.
int Columns(char16_t c) {
  if (c >= 0xDC00 && c <= 0xDFFF) return c <= 0xDCFF ? 1 : 0;  // an escaped byte, or a second half
  const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
                    (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
                    (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xD800 && c <= 0xDBFF) || (c >= 0xF900 && c <= 0xFAFF) ||
                    (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6);
  return wide ? 2 : 1;
}

}  // namespace

std::u16string FitColumns(const std::u16string& line, int columns) {
  int total = 0;
  for (const char16_t c : line) total += Columns(c);
  if (total <= columns) return line;
  std::u16string out;
  int used = 0;
  for (const char16_t c : line) {
    if (used + Columns(c) > columns - 3) break;
    used += Columns(c);
    out += c;
  }
  return out + u"...";
}

void ConsoleMessages::ShowMessage(const std::u16string& text, const std::u16string& title, MsgIcon icon) {
  if (icon == MsgIcon::None) {
    platform::Print(out_, "%s\n", Plain(text).c_str());
    std::fflush(out_);
    return;
  }
  platform::Print(err_, "%s[%s] %s\n", Prefix(icon), Plain(title).c_str(), Plain(text).c_str());
  std::fflush(err_);
}

void ConsoleMessages::ShowWarning(const std::u16string& text, const std::u16string& title, MsgIcon icon) {
  std::fprintf(err_, "%s[%s] %s\n", icon == MsgIcon::None ? "warning: " : Prefix(icon), Plain(title).c_str(),
               Plain(text).c_str());
  std::fflush(err_);
}

bool ConsoleMessages::AskYesNo(const std::u16string& text, const std::u16string& title, MsgIcon icon) {
  platform::Print(err_, "%s[%s] %s -> %s\n", Prefix(icon), Plain(title).c_str(), Plain(text).c_str(),
                  assume_yes_ ? "yes (--yes)" : "no (give --yes to answer yes)");
  std::fflush(err_);
  return assume_yes_;
}

ConsoleProgressView::ConsoleProgressView() : terminal_(platform::StderrIsTerminal()) { platform::CatchInterrupt(); }

void ConsoleProgressView::SetCaption(const std::u16string& text) {
  caption_ = text;
  Draw();
}
void ConsoleProgressView::SetTitle(const std::u16string& text) {
  title_ = text;
  Draw();
}
void ConsoleProgressView::SetText(const std::u16string& text) {
  text_ = text;
  Draw();
}

void ConsoleProgressView::ShowDialog() {
  shown_ = true;
  Draw();
}

void ConsoleProgressView::HideDialog() {
  if (shown_ && terminal_) platform::WriteText(stderr, "\r\033[K");
  shown_ = false;
}

void ConsoleProgressView::Draw() {
  if (!shown_ || !terminal_) return;
  std::u16string line = caption_;
  for (const std::u16string* part : {&title_, &text_}) {
    if (part->empty()) continue;
    line += u"  ";
    for (char16_t c : *part) line += (c == u'\r' || c == u'\n') ? u' ' : c;
  }
  // One line that overwrites itself; long texts are cut so the line never wraps (the last column
  // left free: some terminals wrap as soon as it is written).
  const int columns = platform::StderrColumns();
  line = FitColumns(line, columns > 1 ? columns - 1 : 99);
  platform::Print(stderr, "\r\033[K%s", text::ToUtf8(line).c_str());
  std::fflush(stderr);
}

void ConsoleProgressView::ProcessEvents() {
  if (platform::TakeInterrupt() && click_) click_();
}

bool ConsoleProgressView::AskStop(const std::u16string&, const std::u16string&) {
  // The stop button here is a signal, and it means stop.
  platform::WriteText(stderr, "stopping at the user's request\n");
  return true;
}
