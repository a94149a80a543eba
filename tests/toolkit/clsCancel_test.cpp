#include "clsCancel.h"

#include <gtest/gtest.h>
#include <signal.h>

#include "Recorders.h"

namespace {

struct Dialog {
  Dialog() {
    auto owned = std::make_unique<ScriptedCancelView>();
    view = owned.get();
    cancel = std::make_unique<clsCancel>(std::move(owned));
    cancel->SetVisible(true);
  }
  ScriptedCancelView* view;
  std::unique_ptr<clsCancel> cancel;
};

}  // namespace

TEST(clsCancel, NoClickOnlyProcessesEvents) {
  Dialog d;
  const int before = d.view->events;
  EXPECT_FALSE(d.cancel->DoCancel(u"処理中"));
  EXPECT_EQ(d.view->events, before + 1);
  EXPECT_TRUE(d.view->asked.empty());
  EXPECT_TRUE(d.view->shown);
}

TEST(clsCancel, ClickAnsweredNoGoesOnAsIfNothingHappened) {
  Dialog d;
  d.view->pending_clicks = 1;
  d.view->answers = {false};
  EXPECT_FALSE(d.cancel->DoCancel(u"処理中"));
  EXPECT_FALSE(d.cancel->IsCancel);
  EXPECT_TRUE(d.view->shown);
  ASSERT_EQ(d.view->asked.size(), 1u);
  EXPECT_EQ(d.view->asked[0], u"処理中");
  EXPECT_EQ(d.view->log[d.view->log.size() - 3], u"hide") << "the dialog hides while asking";
  EXPECT_EQ(d.view->log[d.view->log.size() - 2], u"ask:作業を中止しますか？");
  EXPECT_FALSE(d.cancel->DoCancel(u"処理中"));
  EXPECT_EQ(d.view->asked.size(), 1u);
}

TEST(clsCancel, ClickAnsweredYesStopsWithTheDialogHidden) {
  Dialog d;
  d.view->pending_clicks = 1;
  d.view->answers = {true};
  EXPECT_TRUE(d.cancel->DoCancel(u"検索中"));
  EXPECT_TRUE(d.cancel->IsCancel);
  EXPECT_FALSE(d.view->shown);
}

TEST(clsCancel, TwoClicksBeforeAPollAskOnce) {
  Dialog d;
  d.view->pending_clicks = 2;
  d.view->answers = {false, true};
  EXPECT_FALSE(d.cancel->DoCancel(u"x"));
  EXPECT_FALSE(d.cancel->DoCancel(u"x"));
  EXPECT_EQ(d.view->asked.size(), 1u);
}

TEST(clsCancel, ClickBetweenPollsIsRememberedAndShowingClearsIt) {
  Dialog d;
  d.view->pending_clicks = 1;
  d.cancel->SetText(u"a.bms");  // writing a text processes events: the click lands here
  EXPECT_TRUE(d.cancel->IsCancel);
  EXPECT_EQ(d.cancel->Text(), u"a.bms");
  d.cancel->SetVisible(false);
  EXPECT_TRUE(d.cancel->IsCancel);
  d.cancel->SetVisible(true);
  EXPECT_FALSE(d.cancel->IsCancel);
}

TEST(clsCancel, CtrlCOnTheConsoleStopsWithoutAQuestion) {
  clsCancel cancel(std::make_unique<ConsoleCancelView>());
  cancel.SetVisible(true);
  EXPECT_FALSE(cancel.DoCancel(u"x"));
  ASSERT_EQ(raise(SIGINT), 0);  // caught: the test goes on
  EXPECT_TRUE(cancel.DoCancel(u"x"));
  cancel.IsCancel = false;
  EXPECT_FALSE(cancel.DoCancel(u"x")) << "one Ctrl+C stops once";
}

TEST(ConsoleMessages, PrintsTitleAndTextAndAnswersByFlag) {
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  ConsoleMessages messages(false, out, out);
  messages.ShowMessage(u"処理/対象 = 1/2", u"Quarrow", MsgIcon::None);
  EXPECT_FALSE(messages.AskYesNo(u"続けますか？", u"確認", MsgIcon::Question));
  messages.SetAssumeYes(true);
  EXPECT_TRUE(messages.AskYesNo(u"続けますか？", u"確認", MsgIcon::Question));
  messages.ShowMessage(u"a\r\nb", u"t", MsgIcon::Exclamation);
  std::rewind(out);
  char buffer[512] = {};
  const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, out);
  std::fclose(out);
  const std::string text(buffer, n);
  EXPECT_EQ(text.substr(0, 20), "処理/対象 = 1/2\n") << "a result stands alone";
  EXPECT_NE(text.find("-> no"), std::string::npos);
  EXPECT_NE(text.find("-> yes"), std::string::npos);
  EXPECT_NE(text.find("warning: [t] a\nb\n"), std::string::npos) << text;
}
