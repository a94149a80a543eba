// The real Quarrow window, offscreen: what it does beyond the other two windows (the material base
// folder, the rule list and its file, the input assist, its run), and the parts every window shares.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QTimer>
#include <QPushButton>

#include "quarrow/frmMain.h"
#include "tests/gui_support/CommonWindowTests.h"
#include "toolkit/gui/QtMessages.h"

using namespace quarrow;
using namespace gui_test;

COMMON_WINDOW_TESTS(Quarrow, frmMain);

namespace {

class QuarrowWindow : public WindowTest<frmMain> {
 protected:
  std::vector<std::u16string> Rules() const { return Texts(window->lstRules(0)); }
  void AddRule(const std::u16string& search, const std::u16string& replace) {
    window->txtCnv(0)->setText(ToQt(search));
    window->txtCnv(1)->setText(ToQt(replace));
    Click(window->cmdAdd(0));
  }
  void ClickRule(int row) {
    QListWidget* list = window->lstRules(0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
  }
  void Choose(int index) { gui_test::Choose(window->cmbTrg(), index); }
  static std::string Read(const std::u16string& path) { return ReadBytes(path); }
};

TEST_F(QuarrowWindow, FirstStartShowsTheDefaultsAndTheProgramFolder) {
  for (const auto* name : {u"b.bms", u"C.bms", u"A.bme", u"notes.txt"}) app.Write(name, "");
  frmMain& w = Open();
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Quarrow"));
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), app.Path());
  EXPECT_EQ(w.txtPath(0)->text(), QString());
  EXPECT_EQ(w.txtExt(0)->text() + u'|' + w.txtExt(1)->text(), QStringLiteral("*.bms;*.bme|"));
  const std::vector<bool> checks = {w.chkExt(0)->isChecked(), w.chkExt(1)->isChecked(), w.chkFileCheck()->isChecked(),
                                    w.chkTB()->isChecked(),   w.chkBack()->isChecked(), w.chkR()->isChecked()};
  EXPECT_EQ(checks, (std::vector<bool>{true, false, true, true, true, false}));
  EXPECT_EQ(w.pos(), QPoint(3, 3)) << "50 twips";
  EXPECT_EQ(Files(), (std::vector<std::u16string>{u"A.bme", u"b.bms", u"C.bms"})) << "case-insensitive order";
  EXPECT_EQ(mdlTools::CurrentFolder(), app.Path());
  const std::vector<std::u16string> assist = Items(w.cmbTrg());
  ASSERT_EQ(assist.size(), 15u);
  EXPECT_EQ(assist.front() + u"|" + assist.back(), u"#WAV|#BPM");
  EXPECT_EQ(w.lstRules(0)->count(), 0);
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(QuarrowWindow, OnlyTheEndButtonKeepsTheRulesAndTheMaterialBaseFolder) {
  target.MakeFolder(u"base");
  for (const bool end : {false, true}) {
    frmMain& w = Open();
    w.txtPath(0)->setText(ToQt(target / u"base"));
    Click(w.chkBack());
    AddRule(u"#WAV?? *.wav", u"#WAV?? *.ogg");
    AddRule(u"#BMP?? *.bmp", u"#BMP?? *.png");
    if (end) {
      Click(w.cmdEnd());
    } else {
      QTest::keyClick(w.txtCnv(0), Qt::Key_Escape);
    }
    EXPECT_EQ(platform::FileExists(app / u"Quarrow.rul"), end);
  }
  EXPECT_EQ(Read(app / u"Quarrow.rul"), "#WAV?? *.wav\r\n#WAV?? *.ogg\r\n\r\n#BMP?? *.bmp\r\n#BMP?? *.png\r\n\r\n");
  frmMain& w = Open();
  EXPECT_EQ(FromQt(w.txtPath(0)->text()), target / u"base");
  EXPECT_FALSE(w.chkBack()->isChecked());
  EXPECT_EQ(Rules(), (std::vector<std::u16string>{u"#WAV?? *.wav → #WAV?? *.ogg", u"#BMP?? *.bmp → #BMP?? *.png"}));
}

TEST_F(QuarrowWindow, StoredFoldersAreRelativeToTheProgramFolder) {
  app.MakeFolder(u"songs");
  std::string ini;
  ASSERT_TRUE(platform::EncodeCp932(u"[システム]\r\nターゲットフォルダ=songs/missing/deeper\r\n"
                                    u"マテリアルベースフォルダ=materials\r\n",
                                    ini));
  app.Write(u"Quarrow.ini", ini);
  frmMain& w = Open();
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), app / u"songs") << "the nearest existing folder";
  EXPECT_EQ(FromQt(w.txtPath(0)->text()), app / u"materials") << "kept even though it does not exist";
}

TEST_F(QuarrowWindow, TheEndButtonAsksWhenTheRulesCannotBeWritten) {
  app.MakeFolder(u"Quarrow.rul");
  frmMain& w = Open();
  AddRule(u"#WAV?? *.wav", u"#WAV?? *.ogg");
  messages.answers = {false, true};
  Click(w.cmdEnd());
  ASSERT_GE(messages.messages.size(), 2u);
  EXPECT_EQ(messages.messages[messages.messages.size() - 2].text, (app / u"Quarrow.rul") + u" のオープンに失敗しました。");
  EXPECT_EQ(messages.messages[messages.messages.size() - 2].icon, MsgIcon::Critical);
  EXPECT_TRUE(messages.messages.back().question);
  EXPECT_TRUE(w.isVisible()) << "No: the rules are still there to be saved";
  EXPECT_TRUE(platform::FileExists(app / u"Quarrow.ini"));
  Click(w.cmdEnd());
  EXPECT_FALSE(w.isVisible()) << "Yes: the program ends without them";
}

TEST_F(QuarrowWindow, RuleEditing) {
  frmMain& w = Open();
  AddRule(u"", u"#WAV?? *.ogg");
  EXPECT_TRUE(Rules().empty()) << "no search pattern, no entry";
  EXPECT_TRUE(messages.messages.empty());

  AddRule(u"#WAV01 a.wav", u"#WAV01 *.ogg");
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0].text,
            u"置換ルールが間違っています。次の点をチェックしてください。\r\n"
            u"　　・置換後の方がワイルドカードの数が多い\r\n"
            u"　　・置換後のパタンを一意に解釈できない");
  EXPECT_EQ(messages.messages[0].title, u"置換ルール登録");
  EXPECT_EQ(messages.messages[0].icon, MsgIcon::Exclamation);
  EXPECT_TRUE(Rules().empty());
  EXPECT_EQ(w.txtCnv(1)->text(), QStringLiteral("#WAV01 *.ogg")) << "the boxes keep the refused pair";

  AddRule(u"#WAV?? *.wav", u"#WAV?? *.ogg");
  AddRule(u"#BMP?? *.bmp", u"");  // an empty replace pattern is allowed
  w.txtCnv(0)->setText(QStringLiteral("#TITLE *"));
  w.txtCnv(1)->setText(QStringLiteral("#TITLE [*]"));
  Click(w.cmdAdd(1));
  EXPECT_EQ(Rules(), (std::vector<std::u16string>{u"#WAV?? *.wav → #WAV?? *.ogg", u"#BMP?? *.bmp → ",
                                                  u"#TITLE * → #TITLE [*]"}))
      << "change without a selected entry adds";

  ClickRule(0);
  EXPECT_EQ(w.txtCnv(0)->text(), QStringLiteral("#WAV?? *.wav"));
  EXPECT_EQ(w.txtCnv(1)->text(), QStringLiteral("#WAV?? *.ogg"));
  w.txtCnv(1)->setText(QStringLiteral("#WAV?? *.flac"));
  Click(w.cmdAdd(1));
  EXPECT_EQ(Rules()[0], u"#WAV?? *.wav → #WAV?? *.flac") << "changed in place";
  EXPECT_EQ(Rules().size(), 3u);

  ClickRule(1);
  QTest::keyClick(w.lstRules(0), Qt::Key_Delete);
  EXPECT_EQ(Rules(), (std::vector<std::u16string>{u"#WAV?? *.wav → #WAV?? *.flac", u"#TITLE * → #TITLE [*]"}));
  EXPECT_EQ(w.txtCnv(0)->text(), QStringLiteral("#BMP?? *.bmp")) << "the boxes keep the deleted pair";
  Click(w.cmdAdd(2));
  EXPECT_EQ(Rules().size(), 2u) << "nothing selected, nothing deleted";
  Click(w.cmdAdd(1));
  EXPECT_EQ(Rules().size(), 3u) << "after a delete no entry is selected: change adds";

  Click(w.cmdAdd(3));
  EXPECT_TRUE(Rules().empty());
  EXPECT_EQ(messages.messages.size(), 1u) << "clearing asks nothing";
}

TEST_F(QuarrowWindow, SortedRulesRunInTheirNewOrderWithTheirOwnPatterns) {
  target.Write(u"a.bms", "#WAV01 a.wav\r\n#TITLE x \x81\xa8 y\r\n");
  frmMain& w = Open(target.Path());
  Click(w.chkFileCheck());
  Click(w.chkBack());
  AddRule(u"#WAV01 a*", u"#WAV01 b*");
  AddRule(u"#wav01 *", u"#WAV01 c*");
  AddRule(u"#TITLE x → y", u"#TITLE z");  // the search pattern holds the separator itself
  Click(w.cmdAdd(4));
  EXPECT_EQ(Rules(), (std::vector<std::u16string>{u"#TITLE x → y → #TITLE z", u"#wav01 * → #WAV01 c*",
                                                  u"#WAV01 a* → #WAV01 b*"}));
  ClickRule(0);
  EXPECT_EQ(w.txtCnv(0)->text(), QStringLiteral(u"#TITLE x → y"));

  Click(w.cmdGo());
  EXPECT_EQ(messages.messages.back().text, u"処理/対象 = 1/1");
  EXPECT_EQ(Read(target / u"a.bms"), "#WAV01 ca.wav\r\n#TITLE z\r\n");
}

TEST_F(QuarrowWindow, InputAssistInsertsOnAChoiceNotWhileBrowsing) {
  frmMain& w = Open();
  w.txtCnv(1)->setFocus();
  w.txtCnv(0)->setFocus();
  w.txtCnv(0)->setText(QStringLiteral("*.wav"));
  Choose(0);
  EXPECT_EQ(w.txtCnv(0)->text(), QStringLiteral("#WAV*.wav"));
  Choose(0);
  EXPECT_EQ(w.txtCnv(0)->text(), QStringLiteral("#WAV#WAV*.wav")) << "each choice inserts again";

  w.txtCnv(0)->setText(QStringLiteral("*.wav"));
  w.cmbTrg()->setFocus();
  QTest::keyClick(w.cmbTrg(), Qt::Key_Down);
  QTest::keyClick(w.cmbTrg(), Qt::Key_Down);
  EXPECT_EQ(w.cmbTrg()->currentText(), QStringLiteral("#STAGEFILE"));
  EXPECT_EQ(w.txtCnv(0)->text(), QStringLiteral("*.wav")) << "the arrow keys only browse";
  QTest::keyClick(w.cmbTrg(), Qt::Key_Return);
  EXPECT_EQ(w.txtCnv(0)->text(), QStringLiteral("#STAGEFILE*.wav"));
  EXPECT_FALSE(w.InternalAccess);

  // Enter in the opened list: the list takes the press and closes, the combo box gets the release.
  w.txtCnv(0)->setText(QStringLiteral("*.wav"));
  QTest::mouseClick(w.cmbTrg(), Qt::LeftButton);
  QAbstractItemView* list = w.cmbTrg()->view();
  ASSERT_TRUE(WaitFor([&] { return list->isVisible(); }));
  QTest::keyClick(list, Qt::Key_Down);
  QTest::keyPress(list, Qt::Key_Return);
  ASSERT_TRUE(WaitFor([&] { return !list->isVisible(); }));
  QTest::keyRelease(w.cmbTrg(), Qt::Key_Return);
  EXPECT_EQ(w.txtCnv(0)->text(), QStringLiteral("#MIDIFILE*.wav")) << "once";

  w.txtCnv(1)->setFocus();
  EXPECT_EQ(w.ActivePatternBox(), 1);
  Choose(1);
  EXPECT_EQ(w.txtCnv(1)->text(), QStringLiteral("#BMP")) << "into the box that had the focus last";
  EXPECT_EQ(w.txtCnv(0)->text(), QStringLiteral("#MIDIFILE*.wav"));

  // An access key pressed in the input assist is released elsewhere; choosing still inserts.
  w.cmbTrg()->setFocus();
  QTest::keyClick(w.cmbTrg(), Qt::Key_S, Qt::AltModifier);
  QTest::keyPress(w.cmbTrg(), Qt::Key_Alt);
  w.txtCnv(1)->setFocus();
  Choose(0);
  EXPECT_EQ(w.txtCnv(1)->text(), QStringLiteral("#WAV#BMP"));
}

TEST_F(QuarrowWindow, DropsOnTheMaterialBaseFolderAndTheRuleList) {
  target.MakeFolder(u"sub");
  const std::u16string chart = target.Write(u"sub/c.bms", "");
  target.Write(u"a.bms", "");
  const std::u16string rules = target.Write(u"more.txt", "#WAV?? *.wav\r\n#WAV?? *.ogg\r\n\r\nx\r\n*\r\n#BMP\r\n#BPM\r\n");
  frmMain& w = Open(target.Path());

  EXPECT_TRUE(Drop(w.txtPath(0), {chart, target / u"a.bms"}));
  EXPECT_EQ(FromQt(w.txtPath(0)->text()), target / u"sub") << "the folder of the first item";
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), target.Path());
  EXPECT_EQ(Files(), std::vector<std::u16string>{u"a.bms"});

  EXPECT_FALSE(Drop(w.lstRules(0)->viewport(), {}, QStringLiteral("#WAV")));
  EXPECT_TRUE(Drop(w.lstRules(0)->viewport(), {rules, target / u"missing.rul", rules}));
  EXPECT_EQ(Rules(), (std::vector<std::u16string>{u"#WAV?? *.wav → #WAV?? *.ogg", u"#BMP → #BPM",
                                                  u"#WAV?? *.wav → #WAV?? *.ogg", u"#BMP → #BPM"}))
      << "the valid pairs of each file, appended";
}

TEST_F(QuarrowWindow, ARunBehindTheProgressDialog) {
  target.Write(u"a.bms", "#WAV01 a.wav\r\n");
  target.Write(u"b.bme", "#TITLE b\r\n");
  target.MakeFolder(u"sub");
  target.Write(u"sub/c.bms", "#WAV01 c.wav\r\n");
  frmMain& w = Open(target.Path());
  Click(w.chkFileCheck());
  target.Write(u"new.bms", "#WAV01 n.wav\r\n");

  Click(w.cmdGo());
  EXPECT_EQ(messages.messages.back().text, u"ルールがありません。");

  AddRule(u"#WAV?? *.wav", u"#WAV?? *.ogg");
  // Every moment the dialog lets events through, up to the hidden dialog before the result.
  int polls = 0, enabled_polls = 0;
  cancel->on_events = [&](int) {
    ++polls;
    if (w.isEnabled()) ++enabled_polls;
  };
  Click(w.cmdGo());
  EXPECT_EQ(messages.messages.back().text, u"処理/対象 = 2/3");
  EXPECT_EQ(messages.messages.back().title, u"処理結果");
  EXPECT_EQ(messages.messages.back().icon, MsgIcon::None);
  EXPECT_GT(polls, 0);
  EXPECT_EQ(enabled_polls, 0) << "the window stays disabled until the result";
  EXPECT_TRUE(w.isEnabled());
  EXPECT_FALSE(cancel->shown);
  EXPECT_EQ(Read(target / u"a.bms"), "#WAV01 a.ogg\r\n");
  EXPECT_EQ(Read(target / u"sub/c.bms"), "#WAV01 c.wav\r\n") << "not recursive";
  EXPECT_TRUE(platform::FileExists(target / u"a.bms~1.mbk"));
  EXPECT_EQ(Files(), (std::vector<std::u16string>{u"a.bms", u"b.bme", u"new.bms"})) << "refreshed by the run";

  Click(w.chkR());
  Click(w.cmdGo());
  EXPECT_EQ(messages.messages.back().text, u"処理/対象 = 1/4");

  w.txtPath(0)->setText(ToQt(target / u"missing"));
  Click(w.chkFileCheck());
  Click(w.cmdGo());
  EXPECT_EQ(messages.messages.back().title, u"パスの指定");
  EXPECT_TRUE(IsRed(w.txtPath(0)));
  w.txtPath(0)->setText(QStringLiteral("   "));
  w.txtPath(1)->setText(QString());
  Click(w.cmdGo());
  EXPECT_EQ(messages.messages.back().text, u"正確なターゲットパスを指定してください。");
  EXPECT_TRUE(IsRed(w.txtPath(1)));
  EXPECT_FALSE(IsRed(w.txtPath(0))) << "blanks are no material base folder";
  EXPECT_TRUE(w.isEnabled());
}

TEST_F(QuarrowWindow, CancellingARun) {
  struct Case {
    bool yes;
    std::u16string result;
    std::string chart;
  };
  for (const Case& c : {Case{false, u"処理/対象 = 1/1", "#WAV01 a.ogg\r\n"}, Case{true, u"処理/対象 = 0/0", "#WAV01 a.wav\r\n"}}) {
    SCOPED_TRACE(c.yes);
    target.Write(u"a.bms", "#WAV01 a.wav\r\n");
    frmMain& w = Open(target.Path());
    Click(w.chkFileCheck());
    Click(w.chkBack());
    AddRule(u"#WAV?? *.wav", u"#WAV?? *.ogg");
    cancel->asked.clear();
    cancel->answers = {c.yes};
    bool clicked = false;
    // The stop button is pressed while the first chart is named in the dialog.
    cancel->on_events = [&](int) {
      if (!clicked && !cancel->log.empty() && cancel->log.back().rfind(u"title:置換中", 0) == 0) {
        cancel->pending_clicks = 1;
        clicked = true;
      }
    };
    Click(w.cmdGo());
    EXPECT_EQ(cancel->asked, std::vector<std::u16string>{u"置換中"});
    EXPECT_EQ(messages.messages.back().text, c.result);
    EXPECT_EQ(Read(target / u"a.bms"), c.chart);
    EXPECT_FALSE(cancel->shown);
    EXPECT_TRUE(w.isEnabled());
  }
}

// The message boxes of every window show a stored name in a message as its readable text.
TEST(QtMessagesTest, AStoredNameReadsAsItsText) {
  StartApplication();
  QtMessages sink;
  QString shown;
  QTimer::singleShot(0, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      shown = box->text();
      box->accept();
    }
  });
  sink.ShowMessage(u"/tmp/" + platform::DecodeUtf8("\x83\x73.rul") + u" のオープンに失敗しました。", u"t", MsgIcon::Critical);
  EXPECT_EQ(shown, QStringLiteral(u"/tmp/ピ.rul のオープンに失敗しました。"));
}

}  // namespace
