#include "toolkit/run/Progress.h"

#include <gtest/gtest.h>

#include "tests/support/Recorders.h"

// One run's progress dialog, shown, its user scripted: two clicks before a poll ask once; a no goes on.
// (A yes, a click between polls and the events of each step: through the programs' runs.)
TEST(RunProgress, ClicksBeforeAPollAskOnceANoGoesOnAndShowingClearsAStop) {
  ScriptedUser d;
  d.progress.SetVisible(true);
  d.view->pending_clicks = 2;
  d.view->answers = {false, true};
  EXPECT_EQ((std::vector{d.progress.DoCancel(u"処理中"), d.progress.IsCancel, d.progress.DoCancel(u"処理中")}),
            std::vector(3, false));
  // The dialog hides while asking and shows again after a no.
  EXPECT_EQ(d.view->log, (std::vector<std::u16string>{u"show", u"hide", u"ask:作業を中止しますか？", u"show"}));
  // A stop is kept while the dialog is hidden, and cleared when it shows again.
  d.progress.IsCancel = true;
  d.progress.SetVisible(false);
  EXPECT_TRUE(d.progress.IsCancel);
  d.progress.SetVisible(true);
  EXPECT_FALSE(d.progress.IsCancel);
}
