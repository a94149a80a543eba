// The real Quarrow window, offscreen: the parts every window shares, and its own (the material base
// folder, the rule list and its file, the input assist, its run).
#include "quarrow/MainWindow.h"
#include "tests/gui_support/CommonWindowTests.h"
#include "toolkit/gui/QtMessages.h"
#include "toolkit/gui/Program.h"

using namespace quarrow;
using namespace gui_test;

COMMON_WINDOW_TESTS(Quarrow, MainWindow);

namespace {

class QuarrowWindow : public WindowTest<MainWindow> {
 protected:
  TextList Rules() const { return Texts(window->lstRules(0)->model()); }
  void AddRule(const std::u16string& search, const std::u16string& replace, int button = 0) {
    window->txtCnv(0)->setText(ToQt(search));
    window->txtCnv(1)->setText(ToQt(replace));
    Click(window->cmdAdd(button));
  }
  void ClickRule(int row) {
    QListWidget* list = window->lstRules(0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
  }
  QString Patterns() const { return Shown({window->txtCnv(0), window->txtCnv(1)}); }
};

TEST_F(QuarrowWindow, FirstStartAndWhatTheEndButtonKeeps) {
  for (const auto* name : {u"b.bms", u"C.bms", u"A.bme", u"notes.txt"}) app.Write(name, "");
  const std::u16string base = target.MakeFolder(u"base");
  for (const bool end : {false, true}) {
    MainWindow& w = Open();
    if (!end) {  // the first start
      EXPECT_EQ(Shown({w.txtPath(0), w.txtExt(0), w.txtExt(1), w.chkExt(0), w.chkExt(1), w.chkFileCheck(), w.chkTB(),
                       w.chkBack(), w.chkR()}),
                QStringLiteral("|*.bms;*.bme||1|0|1|1|1|0"));
      EXPECT_EQ(Texts(w.cmbTrg()->model()).back(), u"#BPM") << "the input assist offers every command";
    }
    w.txtPath(0)->setText(ToQt(base));
    Click(w.chkBack());
    AddRule(u"#WAV?? *.wav", u"#WAV?? *.ogg");
    AddRule(u"#BMP?? *.bmp", u"#BMP?? *.png");
    end ? Click(w.cmdEnd()) : QTest::keyClick(w.txtCnv(0), Qt::Key_Escape);
  }
  MainWindow& w = Open();
  EXPECT_EQ(Shown({w.txtPath(0), w.chkBack()}), ToQt(base) + QStringLiteral("|0"));
  EXPECT_EQ(Rules(), (TextList{u"#WAV?? *.wav → #WAV?? *.ogg", u"#BMP?? *.bmp → #BMP?? *.png"}));

  // Rules that cannot be written keep the window open (No); the settings are saved all the same.
  ASSERT_TRUE(platform::RemoveFile(app / u"Quarrow.rul"));
  app.MakeFolder(u"Quarrow.rul");
  platform::RemoveFile(SettingsFile());
  Click(w.cmdEnd());
  EXPECT_EQ(std::make_pair(w.isVisible(), platform::FileExists(SettingsFile())), std::make_pair(true, true));

  // Stored folders are relative to the program folder; a missing material base is kept as it is.
  app.MakeFolder(u"songs");
  WriteSettings(SettingsFile(), u"[システム]\r\nターゲットフォルダ=songs/missing/deeper\r\nマテリアルベースフォルダ=materials\r\n");
  MainWindow& again = Open();
  EXPECT_EQ(Shown({again.txtPath(1), again.txtPath(0)}), ToQt(app / u"songs") + u'|' + ToQt(app / u"materials"));
}

TEST_F(QuarrowWindow, RuleEditingSortingAndDrops) {
  MainWindow& w = Open();
  // No search pattern: nothing, not even a message; a refused pair: a message, and the boxes keep it.
  AddRule(u"", u"#WAV?? *.ogg");
  AddRule(u"#WAV01 a.wav", u"#WAV01 *.ogg");
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(std::make_tuple(Last().text, Last().title, Last().icon, Rules().size()),
            std::make_tuple(u"置換ルールが間違っています。次の点をチェックしてください。\r\n"
                            u"　　・置換後の方がワイルドカードの数が多い\r\n　　・置換後のパタンを一意に解釈できない",
                            u"置換ルール登録", MsgIcon::Exclamation, 0u));
  EXPECT_EQ(Patterns(), QStringLiteral("#WAV01 a.wav|#WAV01 *.ogg"));

  AddRule(u"#WAV?? *.wav", u"#WAV?? *.ogg");
  AddRule(u"#BMP?? *.bmp", u"");  // an empty replace pattern is allowed
  AddRule(u"#TITLE *", u"#TITLE [*]", 1);
  EXPECT_EQ(Rules(), (TextList{u"#WAV?? *.wav → #WAV?? *.ogg", u"#BMP?? *.bmp → ", u"#TITLE * → #TITLE [*]"}))
      << "change without a selected entry adds";

  ClickRule(0);
  w.txtCnv(1)->setText(QStringLiteral("#WAV?? *.flac"));
  Click(w.cmdAdd(1));
  EXPECT_EQ(Rules(), (TextList{u"#WAV?? *.wav → #WAV?? *.flac", u"#BMP?? *.bmp → ", u"#TITLE * → #TITLE [*]"}))
      << "changed in place";

  ClickRule(1);
  QTest::keyClick(w.lstRules(0), Qt::Key_Delete);
  EXPECT_EQ(std::make_pair(Rules(), w.txtCnv(0)->text()),
            std::make_pair(TextList{u"#WAV?? *.wav → #WAV?? *.flac", u"#TITLE * → #TITLE [*]"},
                           QStringLiteral("#BMP?? *.bmp")))
      << "the boxes keep the deleted pair";
  Click(w.cmdAdd(2));  // nothing selected, nothing deleted
  Click(w.cmdAdd(1));  // after a delete no entry is selected: change adds
  EXPECT_EQ(Rules().size(), 3u);

  Click(w.cmdAdd(3));
  EXPECT_EQ(Rules().size() + messages.messages.size(), 1u) << "cleared; clearing asks nothing";

  // Rule files dropped on the list, and charts on the material base box.
  const std::u16string rules = target.Write(u"more.txt", "#BMP\r\n#BPM\r\n");
  EXPECT_TRUE(Drop(w.lstRules(0)->viewport(), {rules, target / u"missing.rul", rules}));
  EXPECT_EQ(Rules(), (TextList{u"#BMP → #BPM", u"#BMP → #BPM"})) << "each file's rules, appended";
  target.MakeFolder(u"sub");
  const std::u16string chart = target.Write(u"sub/c.bms", "");
  Enter(w.txtPath(1), target.Path());
  EXPECT_TRUE(Drop(w.txtPath(0), {chart, rules}));
  EXPECT_EQ(Shown({w.txtPath(0), w.txtPath(1)}), ToQt(target / u"sub") + u'|' + ToQt(target.Path()))
      << "the folder of the first item; the target stays";

  // Sorted rules run in their new order with their own patterns.
  target.Write(u"a.bms", "#WAV01 a.wav\r\n#TITLE x \x81\xa8 y\r\n");
  Click(w.cmdAdd(3));
  Click(w.chkFileCheck());
  AddRule(u"#WAV01 a*", u"#WAV01 b*");
  AddRule(u"#wav01 *", u"#WAV01 c*");
  AddRule(u"#TITLE x → y", u"#TITLE z");  // the search pattern holds the separator itself
  Click(w.cmdAdd(4));
  EXPECT_EQ(Rules(), (TextList{u"#TITLE x → y → #TITLE z", u"#wav01 * → #WAV01 c*", u"#WAV01 a* → #WAV01 b*"}));
  ClickRule(0);
  EXPECT_EQ(Patterns(), QStringLiteral(u"#TITLE x → y|#TITLE z"));
  Click(w.cmdGo());
  EXPECT_EQ(target.Read(u"a.bms"), "#WAV01 ca.wav\r\n#TITLE z\r\n");
}

TEST_F(QuarrowWindow, InputAssistInsertsOnAChoiceNotWhileBrowsing) {
  MainWindow& w = Open();
  QComboBox* assist = w.cmbTrg();
  QLineEdit* search = w.txtCnv(0);
  w.txtCnv(1)->setFocus();
  search->setFocus();
  search->setText(QStringLiteral("*.wav"));
  for (int twice = 0; twice < 2; ++twice) Choose(assist, 0);  // each choice inserts
  // Enter on the closed list (the arrow keys there only browse: see Fennick's folder lists).
  assist->setFocus();
  QTest::keyClick(assist, Qt::Key_Return);
  EXPECT_EQ(std::make_pair(search->text(), w.InternalAccess), std::make_pair(QStringLiteral("#WAV#WAV#WAV*.wav"), false))
      << "Enter chooses, and nothing is left held";

  // Enter in the opened list: the list takes the press and closes, the combo box gets the release.
  search->setText(QStringLiteral("*.wav"));
  QTest::mouseClick(assist, Qt::LeftButton);
  QAbstractItemView* list = assist->view();
  ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }));
  QTest::keyClick(list, Qt::Key_Down);
  QTest::keyPress(list, Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !list->isVisible(); }));
  QTest::keyRelease(assist, Qt::Key_Return);
  EXPECT_EQ(search->text(), QStringLiteral("#BMP*.wav")) << "once";

  w.txtCnv(1)->setFocus();
  Choose(assist, 1);
  EXPECT_EQ(Patterns(), QStringLiteral("#BMP*.wav|#BMP")) << "into the box that had the focus last";

  // An access key pressed in the input assist is released elsewhere; choosing still inserts.
  assist->setFocus();
  QTest::keyClick(assist, Qt::Key_S, Qt::AltModifier);
  QTest::keyPress(assist, Qt::Key_Alt);
  w.txtCnv(1)->setFocus();
  Choose(assist, 0);
  EXPECT_EQ(w.txtCnv(1)->text(), QStringLiteral("#WAV#BMP"));
}

TEST_F(QuarrowWindow, ARunBehindTheProgressDialog) {
  target.MakeFolder(u"sub");
  target.Write(u"sub/c.bms", "#WAV01 c.wav\r\n");
  MainWindow& w = Open(target.Path());
  Click(w.chkFileCheck());
  Click(w.chkR());
  target.Write(u"new.bms", "#WAV01 n.wav\r\n");
  AddRule(u"#WAV?? *.wav", u"#WAV?? *.ogg");
  WatchRun();
  Click(w.cmdGo());
  ExpectRunHeldTheWindow();
  EXPECT_EQ(std::make_pair(target.Names(u"sub"), Files()),
            std::make_pair(TextList{u"c.bms", u"c.bms~1.mbk"}, TextList{u"new.bms"}))
      << "the file check off, backups on, recursive; the list refreshed by the run";

  // A warning colours the boxes it is about; blanks are no material base folder.
  w.txtPath(0)->setText(QStringLiteral("   "));
  w.txtPath(1)->setText(QString());
  Click(w.cmdGo());
  EXPECT_EQ(std::make_tuple(IsRed(w.txtPath(1)), IsRed(w.txtPath(0)), w.isEnabled()), std::make_tuple(true, false, true));
}

// The preview lists the changes; its start runs what it showed.
TEST_F(QuarrowWindow, APreviewListsTheChangesAndStartsTheRunItShowed) {
  target.Write(u"a.bms", "#WAV01 kick.wav\r\n#TITLE a\r\n#WAV02 hat.wav\r\n");
  target.Write(u"b.bms", "#TITLE b\r\n");
  MainWindow& w = Open(target.Path());
  Click(w.chkFileCheck());
  AddRule(u"#WAV?? *.wav", u"#WAV?? *.ogg");
  const QPointer<gui::ListWindow> list = Preview();
  ASSERT_TRUE(list);
  Click(list->cmdStart());
  EXPECT_EQ(std::make_tuple(Last().text, target.Read(u"a.bms"), list && list->isVisible()),
            std::make_tuple(u"処理/対象 = 1/2", std::string("#WAV01 kick.ogg\r\n#TITLE a\r\n#WAV02 hat.ogg\r\n"),
                            false));
}

// The reference check reads the charts the filter selects, changes nothing, and lists its report.
TEST_F(QuarrowWindow, TheReferenceCheckListsWhatTheChartsNameAndChangesNothing) {
  target.Write(u"a.bms", "#WAV01 kick.wav\r\n#WAV02 Hat.wav\r\n#BMP01 back.bmp\r\n");
  for (const char16_t* name : {u"kick.wav", u"hat.wav", u"back.png", u"unused.ogg"}) target.Write(name, "x");
  MainWindow& w = Open(target.Path());
  Click(w.cmdCheck());
  ASSERT_TRUE(w.CheckList());
  EXPECT_EQ(Listed(*w.CheckList()),
            (TextList{(target / u"a.bms") + u"|参照 3 件、要確認 2 件", u"  1 行: #WAV01 kick.wav … あり",
                      u"  2 行: #WAV02 Hat.wav … 大文字・小文字が違う → hat.wav", u"  3 行: #BMP01 back.bmp … 拡張子が違う → back.png",
                      target.Path() + u"|未使用 1 件", u"  unused.ogg",
                      u"譜面 = 1　参照: あり 1 / 大文字・小文字違い 1 / 拡張子違い 1 / なし 0　未使用ファイル = 1"}));
  EXPECT_EQ(std::make_tuple(target.Names().size(), target.Read(u"a.bms"), messages.messages.size()),
            std::make_tuple(std::size_t{5}, std::string("#WAV01 kick.wav\r\n#WAV02 Hat.wav\r\n#BMP01 back.bmp\r\n"),
                            std::size_t{0}));
}

}  // namespace

TEST(QtTexts, TheMessageBoxButtonsAreJapanese) {
  StartApplication();
  TempDir program;  // a program folder without a translation of its own: Qt's own serves
  ASSERT_TRUE(gui::LoadQtTranslations(ToQt(program.Path())));
  QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  EXPECT_EQ(Shown({box.button(QMessageBox::Yes), box.button(QMessageBox::No), box.button(QMessageBox::Cancel)},
                  Show::Caption),
            QStringLiteral("はい(&Y)|いいえ(&N)|キャンセル"));
}
