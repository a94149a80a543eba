#include "toolkit/clsCancel.h"

#include <gtest/gtest.h>

#include "tests/support/Recorders.h"

TEST(clsCancel, ClicksBeforeAPollAskOnceNoGoesOnYesStops) {
  ScriptedUser d;  // the progress dialog of a run, shown, its user scripted
  d.progress.SetVisible(true);
  EXPECT_FALSE(d.progress.DoCancel(u"処理中"));  // no click: one round of events, no question
  EXPECT_EQ(d.view->events, 2);
  d.view->pending_clicks = 2;
  d.view->answers = {false, true};
  EXPECT_FALSE(d.progress.DoCancel(u"処理中"));
  EXPECT_FALSE(d.progress.IsCancel);
  EXPECT_FALSE(d.progress.DoCancel(u"処理中"));
  EXPECT_EQ(d.view->asked, std::vector<std::u16string>{u"処理中"});
  // The dialog hides while asking and shows again after a no.
  EXPECT_EQ(d.view->log, (std::vector<std::u16string>{u"show", u"hide", u"ask:作業を中止しますか？", u"show"}));
  d.view->pending_clicks = 1;
  d.view->answers = {true};
  EXPECT_TRUE(d.progress.DoCancel(u"検索中"));
  EXPECT_TRUE(d.progress.IsCancel);
  EXPECT_FALSE(d.view->shown);
}

TEST(clsCancel, ClickBetweenPollsIsRememberedAndShowingClearsIt) {
  ScriptedUser d;  // the progress dialog of a run, shown, its user scripted
  d.progress.SetVisible(true);
  d.view->pending_clicks = 1;
  d.progress.SetText(u"a.bms");  // writing a text processes events: the click lands here
  EXPECT_TRUE(d.progress.IsCancel);
  EXPECT_EQ(d.progress.Text(), u"a.bms");
  d.progress.SetVisible(false);
  EXPECT_TRUE(d.progress.IsCancel);
  d.progress.SetVisible(true);
  EXPECT_FALSE(d.progress.IsCancel);
}
