#include "clsCancel.h"

#include <cstdio>

#include "platform/console.h"
#include "platform/text.h"

clsCancel::clsCancel(std::unique_ptr<CancelView> view) : view_(std::move(view)) {
  view_->SetCancelClick([this] { IsCancel = true; });
}

void clsCancel::SetCaption(const std::u16string& value) {
  caption_ = value;
  view_->SetCaption(value);
  view_->ProcessEvents();
}

void clsCancel::SetTitle(const std::u16string& value) {
  title_ = value;
  view_->SetTitle(value);
  view_->ProcessEvents();
}

void clsCancel::SetText(const std::u16string& value) {
  text_ = value;
  view_->SetText(value);
  view_->ProcessEvents();
}

void clsCancel::SetVisible(bool value) {
  if (value) {
    view_->ShowDialog();
    view_->ProcessEvents();
    IsCancel = false;
  } else {
    view_->HideDialog();
    view_->ProcessEvents();
  }
}

bool clsCancel::DoCancel(const std::u16string& title) {
  view_->ProcessEvents();
  if (!IsCancel) return false;
  SetVisible(false);
  if (view_->AskStop(u"作業を中止しますか？", title)) return true;
  IsCancel = false;
  SetVisible(true);
  return false;
}

ConsoleCancelView::ConsoleCancelView() : terminal_(platform::StderrIsTerminal()) { platform::CatchInterrupt(); }

void ConsoleCancelView::SetCaption(const std::u16string& text) {
  caption_ = text;
  Draw();
}
void ConsoleCancelView::SetTitle(const std::u16string& text) {
  title_ = text;
  Draw();
}
void ConsoleCancelView::SetText(const std::u16string& text) {
  text_ = text;
  Draw();
}

void ConsoleCancelView::ShowDialog() {
  shown_ = true;
  Draw();
}

void ConsoleCancelView::HideDialog() {
  if (shown_ && terminal_) std::fputs("\r\033[K", stderr);
  shown_ = false;
}

void ConsoleCancelView::Draw() {
  if (!shown_ || !terminal_) return;
  std::u16string line = caption_;
  for (const std::u16string* part : {&title_, &text_}) {
    if (part->empty()) continue;
    line += u"  ";
    for (char16_t c : *part) line += (c == u'\r' || c == u'\n') ? u' ' : c;
  }
  // One line that overwrites itself; long texts are cut so the line never wraps.
  if (line.size() > 100) line = line.substr(0, 97) + u"...";
  std::fprintf(stderr, "\r\033[K%s", platform::ToUtf8(line).c_str());
  std::fflush(stderr);
}

void ConsoleCancelView::ProcessEvents() {
  if (platform::TakeInterrupt() && click_) click_();
}

bool ConsoleCancelView::AskStop(const std::u16string&, const std::u16string&) {
  // Ctrl+C is the only stop button here and it means stop.
  std::fputs("stopping at the user's request (Ctrl+C)\n", stderr);
  return true;
}
