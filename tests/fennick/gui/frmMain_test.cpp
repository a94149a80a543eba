// The real Fennick window, offscreen: its first start, the option buttons and their settings, the
// greyed conversion controls, the folder lists, and its run; and the parts every window shares.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

#include "fennick/frmMain.h"
#include "tests/gui_support/CommonWindowTests.h"

using namespace fennick;
using namespace gui_test;

COMMON_WINDOW_TESTS(Fennick, frmMain);

namespace {

using FennickWindow = WindowTest<frmMain>;
using Names = std::vector<std::u16string>;

TEST_F(FennickWindow, FirstStartShowsTheDefaultsAndTheProgramFolderInBothBoxes) {
  for (const auto* name : {u"b.bms", u"A.bme", u"notes.txt"}) app.Write(name, "");
  for (const auto* name : {u"zeta", u"Alpha", u"beta"}) app.MakeFolder(name);
  frmMain& w = Open();
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Fennick"));
  EXPECT_EQ(FromQt(w.txtPath(0)->text()), app.Path());
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), app.Path());
  // The material base folder, sync deletion, conversion, backup, normal mode, not recursive.
  const std::vector<bool> checks = {w.optSrcType(0)->isChecked(), w.chkSync()->isChecked(), w.chkMat()->isChecked(),
                                    w.chkBack()->isChecked(),     w.optMode(0)->isChecked(), w.chkR()->isChecked(),
                                    w.chkExt(0)->isChecked(),     w.chkExt(1)->isChecked()};
  EXPECT_EQ(checks, (std::vector<bool>{true, true, true, true, true, false, true, false}));
  EXPECT_EQ(w.txtExt(0)->text() + u'|' + w.txtExt(1)->text(), QStringLiteral("*.bms;*.bme|"));
  EXPECT_EQ(w.pos(), QPoint(3, 3)) << "50 twips";
  EXPECT_EQ(Files(), (Names{u"A.bme", u"b.bms"}));
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(Items(w.cmbPath(i)), (Names{u".", u"..", u"Alpha", u"beta", u"zeta"}));
    EXPECT_EQ(w.cmbPath(i)->currentIndex(), 0);
    EXPECT_EQ(w.LastPath(i), app.Path());
  }
  EXPECT_TRUE(w.lstSort()->isHidden());
  EXPECT_TRUE(messages.messages.empty());
  ExpectCaptions({
      {w.lblsrc(), QStringLiteral(u"ソースフォルダ…"), {}},
      {w.optSrcType(1), QStringLiteral(u"マテリアルサウンドセットフォルダ(&S)"),
       QStringLiteral(u"BM98のMaterialフォルダにあるサウンドセットを指定します。")},
      {w.optSrcType(0), QStringLiteral(u"マテリアルベースフォルダ(&M)"), QStringLiteral(u"BM98のMaterialフォルダを指定します。")},
      {w.lbltrg(), QStringLiteral(u"ターゲットフォルダ…変換対象フォルダ"), {}},
      {w.chkR(), QStringLiteral(u"再帰処理(&R) "), {}},
      {w.frMode(), QStringLiteral(u"変換モード"), {}},
      {w.optMode(0), QStringLiteral(u"ノーマル(&N)"), QStringLiteral(u"マテリアル指定の無いもののみを対象にします。")},
      {w.optMode(1), QStringLiteral(u"再定義(&P)"), QStringLiteral(u"マテリアル指定の有無に関わらず対象にします。")},
      {w.optMode(2), QStringLiteral(u"クリア(&W)"),
       QStringLiteral(u"マテリアル指定を解除します。ソースフォルダ指定無しでも実行できます。")},
      {w.chkMat(), QStringLiteral(u"マテリアル変換(&C) "),
       QStringLiteral(u"リスト内ファイルの#WAV、#BMP指定に対して、そのファイルがソースフォルダに存在すれば、マテリアル指定を行います。")},
      {w.chkSync(), QStringLiteral(u"同期削除(&D)"),
       QStringLiteral(u"同名のファイルがソースフォルダにあれば、ターゲットフォルダからそのファイルを削除します。")},
      {w.chkBack(), QStringLiteral(u"バックアップ(*.cbk)(&B)"), {}},
      {w.frmSelect(), QStringLiteral(u"マテリアル変換ファイルフィルタ"), {}},
      {w.chkExt(0), QStringLiteral(u"絞り込む(&M)"), QStringLiteral(u"指定したファイルを操作の対象にします。")},
      {w.chkExt(1), QStringLiteral(u"除外する(&O)"), QStringLiteral(u"指定したファイルを処理の対象外にします。")},
      {w.cmdRefresh(), QStringLiteral(u"更新(F5)"), {}},
      {w.Label1(), QStringLiteral(u"Explorerからファイルをラッグ＆ドロップ。"), {}},
      {w.cmdGo(), QStringLiteral(u"開始(&G)"), {}},
      {w.cmdEnd(), QStringLiteral(u"終了(&E)"), {}},
      {w.cmdExp(), QStringLiteral("Explorer(&X)"), {}},
  });
  EXPECT_EQ(w.mnuHelp()->title(), QStringLiteral(u"ヘルプ(&H)"));
  EXPECT_EQ(w.menuHelpReadMe()->text(), QStringLiteral("ReadMe.txt(&R)"));
}

TEST_F(FennickWindow, OptionButtonsComeFromTheSettingsAndGoBackToThem) {
  app.MakeFolder(u"set");
  WriteSettings(SettingsFile(), u"[システム]\r\nソースフォルダ=set/missing\r\n[処理方法]\r\nベースフォルダ=0\r\n"
                                u"変換モード=2\r\nマテリアル変換=0\r\n同期削除=0\r\nバックアップ=0\r\n");
  frmMain& w = Open();
  EXPECT_EQ(FromQt(w.txtPath(0)->text()), app / u"set") << "the nearest existing folder";
  const std::vector<bool> checks = {w.optSrcType(1)->isChecked(), w.optMode(2)->isChecked(), w.chkMat()->isChecked(),
                                    w.chkSync()->isChecked(), w.chkBack()->isChecked()};
  EXPECT_EQ(checks, (std::vector<bool>{true, true, false, false, false})) << "the sound set folder, clear mode, all off";

  Click(w.chkMat());
  Click(w.optMode(1));
  Click(w.optSrcType(0));
  Click(w.chkSync());
  Click(w.cmdEnd());
  const std::string ini = ReadBytes(SettingsFile());
  for (const std::u16string& line : {std::u16string(u"同期削除=1\r\nマテリアル変換=1\r\n変換モード=1\r\nバックアップ=0\r\n再帰処理=0\r\nベースフォルダ=1\r\n"),
                                     u"ソースフォルダ=" + (app / u"set") + u"\r\n"}) {
    EXPECT_NE(ini.find(platform::ToCp932(line)), std::string::npos) << U8(line);
  }
}

TEST_F(FennickWindow, ConversionOffGreysTheModesAndTheBackupKeepingTheirValues) {
  frmMain& w = Open();
  auto enabled = [&] {
    std::vector<bool> on = {w.chkBack()->isEnabled()};
    for (int i = 0; i < 3; ++i) on.push_back(w.optMode(i)->isEnabled());
    return on;
  };
  Click(w.chkMat());
  EXPECT_EQ(enabled(), std::vector<bool>(4, false));
  EXPECT_TRUE(w.chkBack()->isChecked());
  EXPECT_TRUE(w.optMode(0)->isChecked());
  EXPECT_TRUE(w.chkSync()->isEnabled());
  Click(w.chkMat());
  EXPECT_EQ(enabled(), std::vector<bool>(4, true));
  w.InternalAccess = true;
  Click(w.chkMat());
  EXPECT_EQ(enabled(), std::vector<bool>(4, true)) << "the program's own filling changes nothing";
}

TEST_F(FennickWindow, FolderListsStepWithTheKeysAndChooseOnEnterOrAClick) {
  target.MakeFolder(u"a");
  target.MakeFolder(u"B");
  target.MakeFolder(u"B/c");
  const std::u16string chart = target.Write(u"B/c/x.bms", "");
  target.Write(u"a/y.bms", "");
  frmMain& w = Open(target.Path());
  QComboBox* folders = w.cmbPath(1);
  ASSERT_EQ(Items(folders), (Names{u".", u"..", u"a", u"B"}));

  folders->setFocus();
  QTest::keyClick(folders, Qt::Key_Down);
  QTest::keyClick(folders, Qt::Key_Down);
  EXPECT_EQ(folders->currentText(), QStringLiteral("a"));
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), target.Path()) << "the arrow keys only step";
  QTest::keyClick(folders, Qt::Key_Return);
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), target / u"a");
  EXPECT_EQ(Files(), Names{u"y.bms"});
  EXPECT_EQ(Items(folders), (Names{u".", u".."}));
  EXPECT_FALSE(w.InternalAccess);

  Choose(folders, 1);
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), target.Path()) << "\"..\" goes up";
  Choose(folders, 3);
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), target / u"B");
  EXPECT_EQ(Items(folders), (Names{u".", u"..", u"c"}));
  Choose(folders, 0);
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), target / u"B") << "\".\" stays";

  EXPECT_TRUE(Drop(w.cmbPath(0), {chart}));
  EXPECT_EQ(FromQt(w.txtPath(0)->text()), target / u"B/c") << "a drop on the source's list is the source";
  EXPECT_EQ(w.LastPath(0), target / u"B/c");
  EXPECT_EQ(Items(w.cmbPath(0)), (Names{u".", u".."}));
  EXPECT_EQ(Files(), Names{}) << "the target keeps its list";
}

TEST_F(FennickWindow, ARunBehindTheProgressDialog) {
  const std::u16string base = app.MakeFolder(u"Material");
  app.MakeFolder(u"Material/song");
  app.Write(u"Material/song/kick.wav", "K");
  const std::u16string song = target.MakeFolder(u"song");
  target.Write(u"song/a.bms", "#WAV01 kick.wav\r\n#WAV02 snare.wav\r\n");
  target.Write(u"song/kick.wav", "K");
  frmMain& w = Open(song);
  Enter(w.txtPath(0), base);
  int polls = 0, enabled_polls = 0;
  cancel->on_events = [&](int) {
    ++polls;
    if (w.isEnabled()) ++enabled_polls;
  };
  Click(w.cmdGo());
  EXPECT_EQ(Last().text, u"同期削除数 = 1\r\nマテリアル変換 処理/対象 = 1 / 1");
  EXPECT_EQ(Last().title, u"処理結果");
  EXPECT_GT(polls, 0);
  EXPECT_EQ(enabled_polls, 0) << "the window stays disabled until the result";
  EXPECT_TRUE(w.isEnabled());
  EXPECT_FALSE(cancel->shown);
  EXPECT_EQ(target.Read(u"song/a.bms"), "#WAV01 <song>kick.wav\r\n#WAV02 snare.wav\r\n");
  EXPECT_EQ(target.Names(u"song"), (Names{u"a.bms", u"a.bms~1.cbk"}));
}

TEST_F(FennickWindow, OverlappingFoldersAskAndNoTurnsBothBoxesRed) {
  const std::u16string set = target.MakeFolder(u"set");
  const std::u16string set2 = target.MakeFolder(u"set2");
  frmMain& w = Open(set2);
  Click(w.optSrcType(1));
  Enter(w.txtPath(0), set);
  messages.answers = {false};
  Click(w.cmdGo());
  ASSERT_TRUE(Last().question);
  EXPECT_EQ(Last().text, u"変換フォルダとソースフォルダが同一のフォルダ、\r\nあるいは一方がもう一方のフォルダに含まれています。\r\n"
                         u"想定外の結果になる可能性がありますが、このまま続行しますか？\r\n(あまりお薦めしません。)");
  EXPECT_TRUE(IsRed(w.txtPath(0)));
  EXPECT_TRUE(IsRed(w.txtPath(1)));
  messages.answers = {true};
  Click(w.cmdGo());
  EXPECT_EQ(Last().text, u"同期削除数 = 0\r\nマテリアル変換 処理/対象 = 0 / 0");
  EXPECT_FALSE(IsRed(w.txtPath(0)));
}

}  // namespace
