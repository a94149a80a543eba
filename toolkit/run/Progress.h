// The progress dialog of a run and its stop button. The run polls DoCancel; a click on the button
// only counts once the user has confirmed it. The window is behind ProgressView, so the windows, the
// command line and the tests each bring their own.
#pragma once

#include <functional>
#include <memory>
#include <string>

class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual void SetCaption(const std::u16string& text) = 0;
  virtual void SetTitle(const std::u16string& text) = 0;
  virtual void SetText(const std::u16string& text) = 0;
  // Normal state, at the top of the z-order (never a topmost window), shown.
  virtual void ShowDialog() = 0;
  virtual void HideDialog() = 0;
  // Lets the user interface handle what is pending; a click on the stop button arrives here
  // through the handler given to SetCancelClick.
  virtual void ProcessEvents() = 0;
  // "Stop the work?" with Yes and No, No the default, no icon; true for Yes.
  virtual bool AskStop(const std::u16string& text, const std::u16string& caption) = 0;
  virtual void SetCancelClick(std::function<void()> handler) = 0;
};

class RunProgress {
 public:
  // The view is the front end's, and outlives this.
  explicit RunProgress(ProgressView& view);

  const std::u16string& Caption() const { return caption_; }
  void SetCaption(const std::u16string& value);
  const std::u16string& Title() const { return title_; }
  void SetTitle(const std::u16string& value);
  const std::u16string& Text() const { return text_; }
  void SetText(const std::u16string& value);
  void SetVisible(bool value);

  // Set by a click on the stop button; callers clear it at the start of a run.
  bool IsCancel = false;

  // True when the run is to stop: a click is pending and the user answered Yes.
  bool DoCancel(const std::u16string& title);

 private:
  ProgressView* view_;
  std::u16string caption_, title_, text_;
};

// A view that shows nothing and is never stopped: the progress dialog of a run that no front end
// watches.
class SilentProgressView : public ProgressView {
 public:
  void SetCaption(const std::u16string&) override {}
  void SetTitle(const std::u16string&) override {}
  void SetText(const std::u16string&) override {}
  void ShowDialog() override {}
  void HideDialog() override {}
  void ProcessEvents() override {}
  bool AskStop(const std::u16string&, const std::u16string&) override { return false; }
  void SetCancelClick(std::function<void()>) override {}
};
