// The real Tobrenz window, offscreen: its first start and tab order, the comparison extension box,
// and its run; and the parts every window shares.

#include "tests/gui_support/CommonWindowTests.h"
#include "tests/support/Trash.h"
#include "tobrenz/MainWindow.h"
#include "toolkit/gui/QtMessages.h"
#include "toolkit/gui/ProgressDialog.h"

using namespace tobrenz;
using namespace gui_test;

COMMON_WINDOW_TESTS(Tobrenz, MainWindow);

namespace {

using TobrenzWindow = WindowTest<MainWindow>;

TEST_F(TobrenzWindow, FirstStartDefaultsEveryFileSortedTheTabOrderAndTheComparisonBox) {
  // The stored Shift-JIS name of あ (its bytes held as escape units) orders after the UTF-8 ア;
  // shown, あ comes first.
  for (const std::u16string& name : TextList{text::DecodeUtf8("\x82\xA0.png"), u"ア.png", u"B.txt", u"a.bmp"}) {
    app.Write(name, "");
  }
  MainWindow& w = Open();
  EXPECT_EQ(Shown({w.txtCmp(), w.chkR(), w.chkExt(0), w.chkExt(1), w.txtExt(0), w.txtExt(1), w.chkTrash()}),
            QStringLiteral("bmp|0|0|0|||0"));
  EXPECT_EQ(Files(), (TextList{u"a.bmp", u"B.txt", u"あ.png", u"ア.png"})) << "sorted as shown";
  // Of this window's controls and of those every window has.
  const std::initializer_list<const QWidget*> captioned = {w.lbltrg(), w.chkR(),    w.lblCmp(), w.txtDot(),
                                                           w.frmSelect(), w.chkExt(0), w.chkExt(1), w.cmdExp(),
                                                           w.cmdRefresh(), w.cmdGo(), w.cmdEnd(), w.chkTrash()};
  EXPECT_EQ(Shown(captioned, Show::Caption),
            QStringLiteral(u"ターゲットフォルダ…変換対象フォルダ|再帰処理(&R)|比較ファイル拡張子|．|対象ファイルフィルタ|絞り込む(&M)|"
                           u"除外する(&O)|Explorer(&X)|更新(F5)|開始(&G)|終了(&E)|ごみ箱に移動"));
  EXPECT_EQ(Shown(captioned, Show::Tip),
            QStringLiteral(u"||”対象ファイルフィルタ”で絞り込んだファイルを、ここで指定した同名拡張子違いファイルとサイズ比較します。|||"
                           u"指定したファイルを操作の対象にします。|指定したファイルを処理の対象外にします。|"
                           u"Explorerからファイルをラッグ＆ドロップ。||||"
                           u"削除するファイルを、完全には削除せずにごみ箱に移動します。"
                           u"ごみ箱はドライブごとにあり、移動できないファイルは削除しません。"));
  EXPECT_EQ(w.mnuHelp()->title() + u'|' + w.menuHelpReadMe()->text(), QStringLiteral(u"ヘルプ(&H)|ReadMe.txt(&R)"));

  // The tab order, from the start button on.
  QStringList order = {QApplication::focusWidget()->objectName()};
  for (int i = 1; i < 13; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    order << QApplication::focusWidget()->objectName();
  }
  EXPECT_EQ(order.join(u' '),
            "cmdGo chkR chkTrash txtPath1 cmdExp cmdRefresh txtCmp cmdEnd chkExt0 txtExt0 chkExt1 txtExt1 lstFiles");

  // The comparison extension box is checked only at the start.
  const std::u16string picture = target.Write(u"photo.PNG", "");
  const std::u16string pictures = target.MakeFolder(u"pics");
  MainWindow& again = Open(target.Path());
  QLineEdit* box = again.txtCmp();
  EXPECT_TRUE(Drop(box, {picture}));
  const QString from_file = box->text();
  target.Write(u"new.png", "");
  EXPECT_TRUE(Drop(box, {pictures}));
  // A file's extension, a folder's extension part; a drop refreshes nothing, and nothing is checked
  // before the start.
  EXPECT_EQ(from_file + u'|' + box->text() + u'|' + QString::number(Files().size()) + u'|' + QString::number(IsRed(box)),
            QStringLiteral("PNG||1|0"));

  for (const bool bad : {true, false}) {
    box->setText(bad ? QStringLiteral("b/mp") : QStringLiteral(".bmp"));
    Click(again.cmdGo());
    EXPECT_EQ(IsRed(box), bad);
  }
}

// A preview lists each pair with the file that would go and the one that stays, and what would fail
// (that it changes nothing, and how its start runs it, is the window base's: see Fennick's preview);
// a run behind the progress dialog lists what failed.
TEST_F(TobrenzWindow, APreviewListsThePairsAndARunListsWhatFailed) {
  for (const auto& [name, size] : {std::pair{u"photo.png", 10}, {u"photo.bmp", 60}, {u"pic.png", 50}, {u"pic.bmp", 20},
                                   {u"song.bms", 5}, {u"song.bmp", 9}})
    target.Write(name, std::string(size, 'x'));
  target.MakeFolder(u"a");
  const std::u16string gone = target.MakeFolder(text::DecodeUtf8("\x83\x73"));  // ピ
  WriteSettings(SettingsFile(), u"[処理方法]\r\nごみ箱に移動=1\r\n");
  const DataHome home(app / u"data");
  MainWindow& w = Open(target.Path());
  Click(w.chkExt(0));
  Enter(w.txtExt(0), u"*.png;*.bms");
  Click(w.chkR());
  const QPointer<gui::ListWindow> list = Preview();
  ASSERT_TRUE(list);
  EXPECT_EQ(Listed(*list), (TextList{(target / u"song.bms") + u"|失敗|譜面との組なので削除しません",
                                     (target / u"photo.bmp") + u"|削除|60 バイト",
                                     u"  残す: " + (target / u"photo.png") + u" (10 バイト)",
                                     (target / u"pic.png") + u"|削除|50 バイト",
                                     u"  残す: " + (target / u"pic.bmp") + u" (20 バイト)",
                                     u"実行した場合の結果: 削除\".bmp\" / 対象ファイル = 1 / 2\nごみ箱へ移動 = 2\n処理できなかったファイル・フォルダ = 1"}));
  list->close();
  // The folder ピ goes while the run is in the folder a, after the run has seen it.
  WatchRun([&] {
    if (!view->log.empty() && view->log.back() == u"text:" + (target / u"a")) platform::RemoveTree(gone);
  });
  Click(w.cmdGo());
  EXPECT_EQ(Last().text, u"削除\".bmp\" / 対象ファイル = 1 / 2\r\nごみ箱へ移動 = 2\r\n処理できなかったファイル・フォルダ = 2\r\n　" +
                             (target / u"song.bms") + u": 譜面との組なので削除しません\r\n　" +
                             (target / u"ピ") + u": フォルダを読めません (見つかりません)");
  ExpectRunHeldTheWindow();
  Click(w.chkTrash());
  Click(w.cmdEnd());
  EXPECT_NE(ReadBytes(SettingsFile()).find(text::ToCp932(u"比較ファイル拡張子=bmp\r\nごみ箱に移動=0\r\n")), std::string::npos);
}

// The real progress dialog and message boxes, answered as they open: the hourglass shows while work
// runs, not while the user confirms the stop or reads a message (a stored name in it reads as text).
TEST_F(TobrenzWindow, TheHourglassShowsOnlyWhileTheWorkRuns) {
  ProgressDialog dialog;
  QtMessages boxes;
  MainWindow& w = Open(target.MakeFolder(u"a folder whose name makes the dialog's title long"), &boxes, &dialog);
  boxes.SetParent(&w);
  QStringList seen;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const QCursor* cursor = QApplication::overrideCursor();
    const QString pointer = cursor == nullptr ? ":usual" : cursor->shape() == Qt::WaitCursor ? ":hourglass" : ":other";
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      QAbstractButton* yes = box->button(QMessageBox::Yes);
      seen << box->text() + pointer, (yes != nullptr ? yes : box->button(QMessageBox::Ok))->click();
    } else if (seen.isEmpty() && dialog.isVisible() && dialog.windowTitle() != QStringLiteral(u"準備中")) {
      const bool fits = dialog.width() > dialog.fontMetrics().horizontalAdvance(dialog.windowTitle());
      seen << (fits ? "working" : "cut short") + pointer, dialog.findChild<QPushButton*>()->click();
    }
  });
  watch.start(0);
  Click(w.cmdGo());
  boxes.ShowMessage(text::DecodeUtf8("/tmp/\x83\x73.rul"), u"t", MsgIcon::None);
  EXPECT_EQ(seen.join(u'|'), QStringLiteral(u"working:hourglass|作業を中止しますか？:usual|"
                                            u"削除\".bmp\" / 対象ファイル = 0 / 0:usual|/tmp/ピ.rul:usual"));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  window.reset();  // before the dialog it shows progress in
}

// Ten thousand items are rows of one model in one view, with no widget of their own; Esc closes.
TEST(ListWindow, TenThousandItemsAreRowsOfOneModel) {
  StartApplication();
  gui::ListWindow list(QStringLiteral("t"), {QStringLiteral("a"), QStringLiteral("b")});
  list.show();
  const auto widgets = list.findChildren<QWidget*>().size();
  std::vector<gui::ListItem> items;
  for (int i = 0; i < 10000; ++i) items.push_back({{u"item " + text::DecodeUtf8(std::to_string(i)), u"b"}, {u"detail"}});
  list.SetItems(std::move(items));
  QTest::qWait(1);
  const QAbstractItemModel* model = list.lstItems()->model();
  const QModelIndex last = model->index(9999, 0);
  EXPECT_EQ(std::make_tuple(model, model->rowCount(), last.data().toString(), model->index(0, 0, last).data().toString(),
                            list.lstItems()->uniformRowHeights(), list.findChildren<QWidget*>().size()),
            std::make_tuple(&list.Model(), 10000, QStringLiteral("item 9999"), QStringLiteral("detail"), true, widgets));
  QTest::keyClick(list.lstItems(), Qt::Key_Escape);
  EXPECT_FALSE(list.isVisible());
}

}  // namespace
