// The command line's stand-ins for the windows: message boxes become lines on the console, and the
// progress dialog a line on stderr that Ctrl+C stops.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "toolkit/run/Progress.h"
#include "toolkit/run/Messages.h"

// The same Japanese texts as the windows' message boxes. A result (a message without icon) goes to
// stdout as it stands; warnings (a message that stopped the run too, whatever its icon), errors and
// questions go to stderr with their titles. A question is
// answered by the run's --yes (or its absence), and the answer is printed beside it.
class ConsoleMessages : public MessageSink {
 public:
  explicit ConsoleMessages(bool assume_yes = false, std::FILE* out = stdout, std::FILE* err = stderr)
      : assume_yes_(assume_yes), out_(out), err_(err) {}
  void ShowMessage(const std::u16string& text, const std::u16string& title, MsgIcon icon) override;
  void ShowWarning(const std::u16string& text, const std::u16string& title, MsgIcon icon) override;
  bool AskYesNo(const std::u16string& text, const std::u16string& title, MsgIcon icon) override;
  void SetAssumeYes(bool value) { assume_yes_ = value; }

 private:
  bool assume_yes_;
  std::FILE* out_;
  std::FILE* err_;
};

// A line cut to fit `columns` terminal columns, "..." marking the cut; East Asian wide characters
// take two columns each.
std::u16string FitColumns(const std::u16string& line, int columns);

// One progress line on stderr when it is a terminal, and Ctrl+C (or a request to terminate or hang
// up) as the stop button, taken as confirmed: no question is asked.
class ConsoleProgressView : public ProgressView {
 public:
  ConsoleProgressView();
  void SetCaption(const std::u16string& text) override;
  void SetTitle(const std::u16string& text) override;
  void SetText(const std::u16string& text) override;
  void ShowDialog() override;
  void HideDialog() override;
  void ProcessEvents() override;
  bool AskStop(const std::u16string& text, const std::u16string& caption) override;
  void SetCancelClick(std::function<void()> handler) override { click_ = std::move(handler); }

 private:
  void Draw();
  bool terminal_;
  bool shown_ = false;
  std::u16string caption_, title_, text_;
  std::function<void()> click_;
};
