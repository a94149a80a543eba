// Stand-ins for the user: messages recorded and answered, a progress view whose stop the test presses.
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/run/Progress.h"
#include "toolkit/run/Context.h"
#include "toolkit/run/Messages.h"

// The next scripted Yes/No answer; No when none is left.
inline bool TakeAnswer(std::deque<bool>& answers) {
  const bool yes = !answers.empty() && answers.front();
  if (!answers.empty()) answers.pop_front();
  return yes;
}

// `question`: asked Yes/No rather than told.
struct RecordedMessage { std::u16string text, title; MsgIcon icon; bool question; };

class RecordingMessages : public MessageSink {
 public:
  void ShowMessage(const std::u16string& text, const std::u16string& title, MsgIcon icon) override {
    messages.push_back({text, title, icon, false});
  }
  bool AskYesNo(const std::u16string& text, const std::u16string& title, MsgIcon icon) override {
    messages.push_back({text, title, icon, true});
    return TakeAnswer(answers);
  }
  std::vector<RecordedMessage> messages;
  std::deque<bool> answers;  // Yes/No answers in order; No when none is left
};

class ScriptedProgressView : public ProgressView {
 public:
  void SetCaption(const std::u16string& text) override { log.push_back(u"caption:" + text); }
  void SetTitle(const std::u16string& text) override { log.push_back(u"title:" + text); }
  void SetText(const std::u16string& text) override { log.push_back(u"text:" + text); }
  void ShowDialog() override { shown = true, log.push_back(u"show"); }
  void HideDialog() override { shown = false, log.push_back(u"hide"); }
  void ProcessEvents() override {
    ++events;
    if (on_events) on_events(events);
    for (; pending_clicks > 0; --pending_clicks) click();
  }
  bool AskStop(const std::u16string& text, const std::u16string& caption) override {
    asked.push_back(caption);
    log.push_back(u"ask:" + text);
    return TakeAnswer(answers);
  }
  void SetCancelClick(std::function<void()> handler) override { click = std::move(handler); }

  int pending_clicks = 0;             // delivered at the next ProcessEvents
  std::deque<bool> answers;           // answers to the stop question
  std::function<void(int)> on_events; // called with the count of ProcessEvents so far
  std::vector<std::u16string> asked;  // captions of the questions asked
  std::vector<std::u16string> log;    // every call, in order
  bool shown = false;
  int events = 0;
  std::function<void()> click;
};

// A run's user for the length of a test: messages recorded and answered, the progress dialog scripted;
// and the context a run started by the test is handed.
struct ScriptedUser {
  RunContext Context() { return {files, progress, messages, u""}; }
  const RecordedMessage& Last() const { return messages.messages.back(); }
  // Whether the progress dialog ever showed this line (as "caption:", "title:" or "text:").
  bool Showed(const std::u16string& entry) const {
    return std::find(view->log.begin(), view->log.end(), entry) != view->log.end();
  }

  RecordingMessages messages;
  ScriptedProgressView scripted_view;
  ScriptedProgressView* view = &scripted_view;
  RunProgress progress{scripted_view};
  FileFilter files;
};
