#include "toolkit/run/Progress.h"

RunProgress::RunProgress(ProgressView& view) : view_(&view) {
  view_->SetCancelClick([this] { IsCancel = true; });
}

void RunProgress::SetCaption(const std::u16string& value) {
  caption_ = value;
  view_->SetCaption(value);
  view_->ProcessEvents();
}

void RunProgress::SetTitle(const std::u16string& value) {
  title_ = value;
  view_->SetTitle(value);
  view_->ProcessEvents();
}

void RunProgress::SetText(const std::u16string& value) {
  text_ = value;
  view_->SetText(value);
  view_->ProcessEvents();
}

void RunProgress::SetVisible(bool value) {
  if (value) {
    view_->ShowDialog();
    view_->ProcessEvents();
    IsCancel = false;
  } else {
    view_->HideDialog();
    view_->ProcessEvents();
  }
}

bool RunProgress::DoCancel(const std::u16string& title) {
  view_->ProcessEvents();
  if (!IsCancel) return false;
  SetVisible(false);
  if (view_->AskStop(u"作業を中止しますか？", title)) return true;
  IsCancel = false;
  SetVisible(true);
  return false;
}

