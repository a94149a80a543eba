#include "toolkit/run/Progress.h"

#include <gtest/gtest.h>

#include "tests/support/Recorders.h"

// One run's progress dialog, shown, its user scripted: clicks at a poll, then a click between polls.
TEST(RunProgress, ClicksBeforeAPollAskOnceNoGoesOnYesStopsAndAClickBetweenPollsHoldsUntilShown) {
  ScriptedUser d;
  d.progress.SetVisible(true);
  EXPECT_FALSE(d.progress.DoCancel(u"処理中"));  // no click: one round of events, no question
  EXPECT_EQ(d.view->events, 2);
  d.view->pending_clicks = 2;
  d.view->answers = {false, true};
  EXPECT_EQ((std::vector{d.progress.DoCancel(u"処理中"), d.progress.IsCancel, d.progress.DoCancel(u"処理中")}),
            std::vector(3, false));
  EXPECT_EQ(d.view->asked, std::vector<std::u16string>{u"処理中"});
  // The dialog hides while asking and shows again after a no.
  EXPECT_EQ(d.view->log, (std::vector<std::u16string>{u"show", u"hide", u"ask:作業を中止しますか？", u"show"}));
  d.view->pending_clicks = 1;
  d.view->answers = {true};
  EXPECT_TRUE(d.progress.DoCancel(u"検索中") && d.progress.IsCancel && !d.view->shown);
  d.progress.SetVisible(true);
  EXPECT_FALSE(d.progress.IsCancel) << "showing clears a stop";
  d.view->pending_clicks = 1;
  d.progress.SetText(u"a.bms");  // writing a text processes events: the click lands here
  EXPECT_EQ(std::pair(d.progress.IsCancel, d.progress.Text()), std::pair(true, std::u16string(u"a.bms")));
  d.progress.SetVisible(false);
  EXPECT_TRUE(d.progress.IsCancel) << "kept while hidden";
}
