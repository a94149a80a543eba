// The real Fennick window, offscreen: its first start, the option buttons and their settings, the
// greyed conversion controls, the folder lists, and its run; and the parts every window shares.

#include "fennick/MainWindow.h"
#include "tests/gui_support/CommonWindowTests.h"
#include "tests/support/Trash.h"

using namespace fennick;
using namespace gui_test;

COMMON_WINDOW_TESTS(Fennick, MainWindow);

namespace {

using FennickWindow = WindowTest<MainWindow>;

TEST_F(FennickWindow, FirstStartShowsTheDefaultsAndTheProgramFolderInBothBoxes) {
  for (const auto* name : {u"zeta", u"Alpha", u"beta"}) app.MakeFolder(name);
  MainWindow& w = Open();
  // The material base folder, sync deletion, conversion, backup, normal mode, not recursive.
  EXPECT_EQ(Shown({w.txtPath(0), w.optSrcType(0), w.chkSync(), w.chkMat(), w.chkBack(), w.optMode(0), w.chkR(),
                   w.chkExt(0), w.chkExt(1), w.txtExt(0), w.txtExt(1), w.chkTrash()}),
            ToQt(app.Path()) + QStringLiteral("|1|1|1|1|1|0|1|0|*.bms;*.bme||0"));
  // The source's folder list (the target's is the folder lists' test's).
  EXPECT_EQ(std::make_tuple(Texts(w.cmbPath(0)->model()), w.cmbPath(0)->currentIndex(), w.LastPath(0)),
            std::make_tuple(TextList{u".", u"..", u"Alpha", u"beta", u"zeta"}, 0, app.Path()));
  EXPECT_TRUE(w.lstSort()->isHidden()) << "the folder lists' work list";
  // Those of the controls every window has are checked in Tobrenz's, but for the Explorer tooltip.
  const std::initializer_list<const QWidget*> captioned = {
      w.lblsrc(), w.optSrcType(1), w.optSrcType(0), w.lbltrg(), w.chkR(),      w.frMode(), w.optMode(0), w.optMode(1),
      w.optMode(2), w.chkMat(),    w.chkSync(),     w.chkBack(), w.frmSelect(), w.Label1(), w.cmdExp(), w.chkTrash()};
  EXPECT_EQ(Shown(captioned, Show::Caption),
            QStringLiteral(u"ソースフォルダ…|マテリアルサウンドセットフォルダ(&S)|マテリアルベースフォルダ(&M)|"
                           u"ターゲットフォルダ…変換対象フォルダ|再帰処理(&R) |変換モード|ノーマル(&N)|再定義(&P)|クリア(&W)|"
                           u"マテリアル変換(&C) |同期削除(&D)|バックアップ(*.cbk)(&B)|マテリアル変換ファイルフィルタ|"
                           u"Explorerからファイルをラッグ＆ドロップ。|Explorer(&X)|ごみ箱に移動"));
  EXPECT_EQ(Shown(captioned, Show::Tip),
            QStringLiteral(u"|BM98のMaterialフォルダにあるサウンドセットを指定します。|BM98のMaterialフォルダを指定します。||||"
                           u"マテリアル指定の無いもののみを対象にします。|マテリアル指定の有無に関わらず対象にします。|"
                           u"マテリアル指定を解除します。ソースフォルダ指定無しでも実行できます。|"
                           u"リスト内ファイルの#WAV、#BMP指定に対して、そのファイルがソースフォルダに存在すれば、マテリアル指定を行います。|"
                           u"同名のファイルがソースフォルダにあれば、ターゲットフォルダからそのファイルを削除します。|||||"
                           u"同期削除するファイル・フォルダを、完全には削除せずにごみ箱に移動します。"
                           u"ごみ箱はドライブごとにあり、移動できないものは削除しません。"));
}

// Conversion off greys the modes and the backup, keeping their values; sync deletion off the trash.
TEST_F(FennickWindow, OptionButtonsComeFromTheSettingsAndGoBackToThem) {
  app.MakeFolder(u"set");
  WriteSettings(SettingsFile(), u"[システム]\r\nソースフォルダ=set/missing\r\n[処理方法]\r\nベースフォルダ=0\r\n"
                                u"変換モード=2\r\nマテリアル変換=0\r\n同期削除=0\r\nバックアップ=0\r\nごみ箱に移動=1\r\n");
  MainWindow& w = Open();
  // The nearest existing folder, the sound set folder, clear mode, all off.
  EXPECT_EQ(Shown({w.txtPath(0), w.optSrcType(1), w.optMode(2), w.chkMat(), w.chkSync(), w.chkBack()}),
            ToQt(app / u"set") + QStringLiteral("|1|1|0|0|0"));
  // Enabled: the backup, the three modes, sync deletion, the trash; then the backup's, the clear
  // mode's and the trash's check.
  auto state = [&] {
    QString on;
    for (const QWidget* c : std::initializer_list<const QWidget*>{w.chkBack(), w.optMode(0), w.optMode(1), w.optMode(2),
                                                                  w.chkSync(), w.chkTrash()})
      on += QString::number(c->isEnabled());
    return on + u'|' + Shown({w.chkBack(), w.optMode(2), w.chkTrash()});
  };
  // Conversion on, off, on; then the program's own filling, which changes nothing; then on again.
  const char* const want[] = {"111110|0|1|1", "000010|0|1|1", "111110|0|1|1", "111110|0|1|1", "111110|0|1|1"};
  for (int i = 0; i < 5; ++i) {
    w.InternalAccess = i == 3;
    Click(w.chkMat());
    EXPECT_EQ(state(), QString::fromLatin1(want[i])) << "click " << i;
  }
  for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{w.optMode(1), w.optSrcType(0), w.chkSync(), w.chkTrash()})
    Click(b);
  EXPECT_EQ(state(), QStringLiteral("111111|0|0|0"));
  Click(w.cmdEnd());
  const std::string ini = ReadBytes(SettingsFile());
  for (const std::u16string& line : {std::u16string(u"同期削除=1\r\nマテリアル変換=1\r\n変換モード=1\r\nバックアップ=0\r\n再帰処理=0\r\nベースフォルダ=1\r\nごみ箱に移動=0\r\n"),
                                     u"ソースフォルダ=" + (app / u"set") + u"\r\n"})
    EXPECT_NE(ini.find(text::ToCp932(line)), std::string::npos) << U8(line);
}

TEST_F(FennickWindow, FolderListsStepWithTheKeysAndChooseOnEnterOrAClick) {
  for (const char16_t* name : {u"a", u"B", u"B/c"}) target.MakeFolder(name);
  const std::u16string chart = target.Write(u"B/c/x.bms", "");
  target.Write(u"a/y.bms", "");
  MainWindow& w = Open(target.Path());
  QComboBox* folders = w.cmbPath(1);
  ASSERT_EQ(Texts(folders->model()), (TextList{u".", u"..", u"a", u"B"}));
  // The target box, then what the list offers.
  auto shown = [&] { return FromQt(w.txtPath(1)->text()) + u'|' + Texts(folders->model()).back(); };

  folders->setFocus();
  for (int twice = 0; twice < 2; ++twice) QTest::keyClick(folders, Qt::Key_Down);
  EXPECT_EQ(folders->currentText() + u'|' + w.txtPath(1)->text(), QStringLiteral("a|") + ToQt(target.Path())) << "the arrow keys only step";
  QTest::keyClick(folders, Qt::Key_Return);
  EXPECT_EQ(shown(), (target / u"a") + u"|..");
  EXPECT_TRUE(Files() == TextList{u"y.bms"} && !w.InternalAccess);

  // ".." goes up, a folder goes down, "." stays.
  for (const auto& [index, want] :
       {std::pair{1, target.Path() + u"|B"}, {3, (target / u"B") + u"|c"}, {0, (target / u"B") + u"|c"}}) {
    Choose(folders, index);
    EXPECT_EQ(shown(), want) << "entry " << index;
  }

  EXPECT_TRUE(Drop(w.cmbPath(0), {chart}));
  EXPECT_EQ(FromQt(w.txtPath(0)->text()) + u'|' + w.LastPath(0), (target / u"B/c") + u'|' + (target / u"B/c"))
      << "a drop on the source's list is the source";
  EXPECT_EQ(std::make_pair(Texts(w.cmbPath(0)->model()), Files()), std::make_pair(TextList{u".", u".."}, TextList{}))
      << "the target keeps its list";
}

// What sync deletion would delete (a folder with how many entries it holds) and the charts it would
// convert; the start runs it (to the trash, with backups) unless the folders changed meanwhile,
// without asking again what the preview asked (here: the sound set lies in the chart folder).
TEST_F(FennickWindow, APreviewListsDeletionsAndConversions) {
  for (const char16_t* name : {u"song", u"song/drums", u"song/drums/loops", u"song/loops", u"song/loops/b"}) target.MakeFolder(name);
  for (const char16_t* name : {u"drums/kick.wav", u"drums/loops/x.wav", u"kick.wav", u"loops/a.wav", u"loops/b/c.wav"})
    target.Write(u"song/" + std::u16string(name), "");
  target.Write(u"song/a.bms", "#WAV01 kick.wav\r\n");
  MainWindow& w = Open(target / u"song");
  Enter(w.txtPath(0), target / u"song/drums");
  Click(w.optSrcType(1));
  Click(w.chkTrash());
  const DataHome home(app / u"data");
  messages.answers = {true};
  const QPointer<gui::ListWindow> list = Preview();
  ASSERT_TRUE(list);
  const auto song = [&](const char16_t* name) { return target / (u"song/" + std::u16string(name)); };
  EXPECT_EQ(Listed(*list), (TextList{song(u"a.bms") + u"|書き換え|1 行", u"  変更前: #WAV01 kick.wav",
                                     u"  変更後: #WAV01 <drums>kick.wav", song(u"kick.wav") + u"|削除|ファイル",
                                     song(u"loops") + u"|削除|フォルダ (3 項目)",
                                     u"実行した場合の結果: 同期削除数 = 2 (ごみ箱へ移動)\nマテリアル変換 処理/対象 = 1 / 1"}));
  const TextList before = target.Names(u"song");
  EXPECT_EQ(std::make_pair(before.size(), messages.messages.size()), std::make_pair(std::size_t{4}, std::size_t{1}));

  target.Write(u"song/loops/d.wav", "");
  Click(list->cmdStart());
  EXPECT_EQ(std::make_tuple(Last().title, target.Names(u"song"), Listed(*list).at(4)),
            std::make_tuple(u"プレビュー", before, song(u"loops") + u"|削除|フォルダ (4 項目)"));
  Click(list->cmdStart());
  EXPECT_EQ(std::make_tuple(Last().text, target.Names(u"song"), messages.messages.size()),
            std::make_tuple(u"同期削除数 = 2 (ごみ箱へ移動)\r\nマテリアル変換 処理/対象 = 1 / 1",
                            TextList{u"a.bms", u"a.bms~1.cbk", u"drums"}, std::size_t{3})) << "asked once";
}

}  // namespace
