#include "toolkit/clsCancel.h"

#include <gtest/gtest.h>

#include "tests/support/Recorders.h"

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
