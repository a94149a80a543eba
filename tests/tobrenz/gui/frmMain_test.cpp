// The real Tobrenz window, offscreen: its first start and tab order, the comparison extension box,
// and its run; and the parts every window shares.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

#include "tests/gui_support/CommonWindowTests.h"
#include "tobrenz/frmMain.h"

using namespace tobrenz;
using namespace gui_test;

COMMON_WINDOW_TESTS(Tobrenz, frmMain);

namespace {

using TobrenzWindow = WindowTest<frmMain>;
using Names = std::vector<std::u16string>;

TEST_F(TobrenzWindow, FirstStartShowsTheDefaultsEveryFileSortedAndTheTabOrder) {
  // The stored Shift-JIS name of あ (its bytes held as escape units) orders after the UTF-8 ア;
  // shown, あ comes first.
  for (const std::u16string& name : {platform::DecodeUtf8("\x82\xA0.png"), std::u16string(u"ア.png"),
                                     std::u16string(u"B.txt"), std::u16string(u"a.bmp")}) {
    app.Write(name, "");
  }
  frmMain& w = Open();
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Tobrenz"));
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), app.Path());
  EXPECT_EQ(w.txtPath(0), nullptr);
  EXPECT_EQ(w.txtCmp()->text(), QStringLiteral("bmp"));
  EXPECT_FALSE(w.chkR()->isChecked());
  for (int i = 0; i < 2; ++i) {
    EXPECT_FALSE(w.chkExt(i)->isChecked());
    EXPECT_EQ(w.txtExt(i)->text(), QString());
  }
  EXPECT_EQ(w.pos(), QPoint(3, 3)) << "50 twips";
  EXPECT_EQ(Files(), (Names{u"a.bmp", u"B.txt", u"あ.png", u"ア.png"})) << "sorted as shown";
  ExpectCaptions({
      {w.lbltrg(), QStringLiteral(u"ターゲットフォルダ…変換対象フォルダ"), {}},
      {w.chkR(), QStringLiteral(u"再帰処理(&R)"), {}},
      {w.cmdExp(), QStringLiteral("Explorer(&X)"), QStringLiteral(u"Explorerからファイルをラッグ＆ドロップ。")},
      {w.cmdRefresh(), QStringLiteral(u"更新(F5)"), {}},
      {w.lblCmp(), QStringLiteral(u"比較ファイル拡張子"),
       QStringLiteral(u"”対象ファイルフィルタ”で絞り込んだファイルを、ここで指定した同名拡張子違いファイルとサイズ比較します。")},
      {w.txtDot(), QStringLiteral(u"．"), {}},
      {w.cmdGo(), QStringLiteral(u"開始(&G)"), {}},
      {w.cmdEnd(), QStringLiteral(u"終了(&E)"), {}},
      {w.frmSelect(), QStringLiteral(u"対象ファイルフィルタ"), {}},
      {w.chkExt(0), QStringLiteral(u"絞り込む(&M)"), QStringLiteral(u"指定したファイルを操作の対象にします。")},
      {w.chkExt(1), QStringLiteral(u"除外する(&O)"), QStringLiteral(u"指定したファイルを処理の対象外にします。")},
  });
  EXPECT_EQ(w.mnuHelp()->title(), QStringLiteral(u"ヘルプ(&H)"));
  EXPECT_EQ(w.menuHelpReadMe()->text(), QStringLiteral("ReadMe.txt(&R)"));

  const std::vector<QWidget*> order = {w.cmdGo(),  w.chkR(),    w.txtPath(1), w.cmdExp(),  w.cmdRefresh(), w.txtCmp(),
                                       w.cmdEnd(), w.chkExt(0), w.txtExt(0),  w.chkExt(1), w.txtExt(1),    w.lstFiles()};
  EXPECT_EQ(QApplication::focusWidget(), w.cmdGo()) << "the tab order starts at the start button";
  for (std::size_t i = 1; i < order.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), order[i]) << order[i]->objectName().toStdString();
  }
}

TEST_F(TobrenzWindow, TheComparisonExtensionBoxIsCheckedOnlyAtTheStart) {
  const std::u16string picture = target.Write(u"photo.PNG", "");
  const std::u16string pictures = target.MakeFolder(u"pics");
  frmMain& w = Open(target.Path());
  QLineEdit* box = w.txtCmp();
  EXPECT_TRUE(Drop(box, {picture}));
  EXPECT_EQ(box->text(), QStringLiteral("PNG"));
  EXPECT_FALSE(Drop(box, {}, QStringLiteral("jpg")));
  EXPECT_EQ(box->text(), QStringLiteral("PNG")) << "text is no file list";
  target.Write(u"new.png", "");
  EXPECT_TRUE(Drop(box, {pictures}));
  EXPECT_EQ(box->text(), QString()) << "a folder's extension part";
  EXPECT_EQ(Files().size(), 1u) << "a drop refreshes nothing";
  EXPECT_FALSE(IsRed(box)) << "nothing is checked before the start";

  box->setText(QStringLiteral("b/mp"));
  Click(w.cmdGo());
  EXPECT_EQ(Last().title, u"拡張子の指定");
  EXPECT_TRUE(IsRed(box));
  box->setText(QStringLiteral(".bmp"));
  Click(w.cmdGo());
  EXPECT_EQ(Last().text, u"削除\"..bmp\" / 対象ファイル = 0 / 0") << "a dot is kept";
  EXPECT_FALSE(IsRed(box));
}

TEST_F(TobrenzWindow, ARunBehindTheProgressDialogListsWhatFailed) {
  target.Write(u"photo.png", std::string(10, 'p'));
  target.Write(u"photo.bmp", std::string(60, 'b'));
  target.Write(u"pic.png", std::string(50, 'p'));
  target.Write(u"pic.bmp", std::string(20, 'b'));
  target.MakeFolder(u"a");
  const std::u16string gone = target.MakeFolder(platform::DecodeUtf8("\x83\x73"));  // ピ
  frmMain& w = Open(target.Path());
  Click(w.chkExt(0));
  Enter(w.txtExt(0), u"*.png");
  Click(w.chkR());
  // The folder ピ goes while the run is in the folder a, after the run has seen it.
  int enabled_polls = 0;
  cancel->on_events = [&](int) {
    if (w.isEnabled()) ++enabled_polls;
    if (!cancel->log.empty() && cancel->log.back() == u"text:" + (target / u"a")) platform::RemoveTree(gone);
  };
  Click(w.cmdGo());
  EXPECT_EQ(Last().text, u"削除\".bmp\" / 対象ファイル = 1 / 2\r\n処理できなかったファイル・フォルダ = 1\r\n　" +
                             (target / u"ピ") + u": フォルダを読めません (見つかりません)");
  EXPECT_EQ(Last().title, u"処理結果");
  EXPECT_EQ(enabled_polls, 0) << "the window stays disabled until the result";
  EXPECT_TRUE(w.isEnabled());
  EXPECT_FALSE(cancel->shown);
  EXPECT_EQ(Files(), Names{u"photo.png"}) << "refreshed by the run";
  EXPECT_EQ(target.Names(), (Names{u"a", u"photo.png", u"pic.bmp"}));

  w.txtPath(1)->setText(ToQt(target / u"missing"));
  Click(w.cmdGo());
  EXPECT_EQ(Last().text, u"正確なターゲットパスを指定してください。");
  EXPECT_TRUE(IsRed(w.txtPath(1)));
}

}  // namespace
