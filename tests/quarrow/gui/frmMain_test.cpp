// The real Quarrow window, offscreen: clicks, keys and drops as the user makes them, with the
// message boxes recorded and the progress dialog scripted.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QStyleHints>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/gui/QtText.h"
#include "tests/support/Recorders.h"
#include "tests/support/TempDir.h"
#include "quarrow/frmMain.h"
#include "toolkit/mdlAppGlobal.h"
#include "toolkit/mdlTools.h"
#include "toolkit/platform/fs.h"
#include "toolkit/platform/shell.h"
#include "toolkit/platform/text.h"

using namespace quarrow;

// Readable texts in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

void StartApplication() {
  static int argc = 1;
  static char name[] = "quarrow_gui_tests";
  static char* argv[] = {name, nullptr};
  if (QApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  new QApplication(argc, argv);  // kept to the end of the process
  QApplication::setQuitOnLastWindowClosed(false);
  // A click into an opened combo box list counts only after the double-click time.
  QGuiApplication::styleHints()->setMouseDoubleClickInterval(1);
}

std::string Read(const std::u16string& path) {
  std::string bytes;
  platform::ReadWholeFile(path, bytes);
  return bytes;
}

std::vector<std::u16string> Texts(const QListWidget* list) {
  std::vector<std::u16string> texts;
  for (int row = 0; row < list->count(); ++row) texts.push_back(FromQt(list->item(row)->text()));
  return texts;
}

bool IsRed(const QLineEdit* box) { return box->palette().color(QPalette::Text) == QColor(255, 0, 0); }

bool WaitFor(const std::function<bool()>& done) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < 2000) QTest::qWait(10);
  return done();
}

class QuarrowWindow : public ::testing::Test {
 protected:
  QuarrowWindow() {
    StartApplication();
    mdlTools::SetProgramName(u"Quarrow");
    auto view = std::make_unique<ScriptedCancelView>();
    cancel = view.get();
    mdlAppGlobal::SetCancelView(std::move(view));
    platform::SetShellHandler([this](platform::ShellVerb verb, const std::u16string& path) {
      shell.emplace_back(verb, path);
      return platform::kShellOk;
    });
  }
  ~QuarrowWindow() override {
    window.reset();
    platform::SetShellHandler({});
    mdlAppGlobal::SetCancelView(std::make_unique<ScriptedCancelView>());
  }

  frmMain& Open(std::optional<std::u16string> command_line = std::nullopt) {
    window.reset();
    window = std::make_unique<frmMain>(StartInfo{app.Path(), std::move(command_line)});
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    return *window;
  }

  std::vector<std::u16string> Files() const { return Texts(window->lstFiles()); }
  std::vector<std::u16string> Rules() const { return Texts(window->lstRules(0)); }

  // Near the left edge: a check box reacts to its box and caption, not to the whole width it gets.
  void Click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(std::min(8, button->width() / 2), button->height() / 2));
  }
  // Types into a box the way the user does: focus, text, Enter.
  void Enter(QLineEdit* box, const std::u16string& text) {
    box->setFocus();
    box->setText(ToQt(text));
    QTest::keyClick(box, Qt::Key_Return);
  }
  // Moves the focus into a box and out again, to a control that reacts to nothing.
  void Visit(QLineEdit* box) {
    box->setFocus();
    window->lstRules(0)->setFocus();
  }
  void AddRule(const std::u16string& search, const std::u16string& replace) {
    window->txtCnv(0)->setText(ToQt(search));
    window->txtCnv(1)->setText(ToQt(replace));
    Click(window->cmdAdd(0));
  }
  void ClickRule(int row) {
    QListWidget* list = window->lstRules(0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
  }
  // Opens the input assist's list with the mouse and clicks an entry.
  void Choose(int index) {
    QComboBox* combo = window->cmbTrg();
    QTest::mouseClick(combo, Qt::LeftButton);
    QAbstractItemView* list = combo->view();
    ASSERT_TRUE(WaitFor([&] { return list->isVisible(); }));
    QTest::qWait(20);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(index, 0)).center());
    ASSERT_TRUE(WaitFor([&] { return !list->isVisible(); }));
  }
  // A drop of files, or of plain text when no path is given; true when the drag was accepted.
  static bool Drop(QWidget* target, const std::vector<std::u16string>& paths, const QString& text = QString()) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const auto& p : paths) urls.push_back(QUrl::fromLocalFile(ToQt(p)));
    if (!urls.isEmpty()) mime.setUrls(urls);
    if (!text.isEmpty()) mime.setText(text);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return enter.isAccepted();
  }

  TempDir app;  // the program's folder, with its settings file, rule file and readme
  TempDir target;
  RecordingMessages messages;
  ScriptedCancelView* cancel = nullptr;
  std::vector<std::pair<platform::ShellVerb, std::u16string>> shell;
  std::unique_ptr<frmMain> window;
};

TEST_F(QuarrowWindow, FirstStartShowsTheDefaultsAndTheProgramFolder) {
  for (const auto* name : {u"b.bms", u"C.bms", u"A.bme", u"notes.txt"}) app.Write(name, "");
  frmMain& w = Open();
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Quarrow"));
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), app.Path());
  EXPECT_EQ(w.txtPath(0)->text(), QString());
  EXPECT_TRUE(w.chkExt(0)->isChecked());
  EXPECT_EQ(w.txtExt(0)->text(), QStringLiteral("*.bms;*.bme"));
  EXPECT_FALSE(w.chkExt(1)->isChecked());
  EXPECT_EQ(w.txtExt(1)->text(), QString());
  EXPECT_TRUE(w.chkFileCheck()->isChecked());
  EXPECT_TRUE(w.chkTB()->isChecked());
  EXPECT_TRUE(w.chkBack()->isChecked());
  EXPECT_FALSE(w.chkR()->isChecked());
  EXPECT_EQ(w.pos(), QPoint(3, 3)) << "50 twips";
  EXPECT_EQ(Files(), (std::vector<std::u16string>{u"A.bme", u"b.bms", u"C.bms"})) << "case-insensitive order";
  EXPECT_EQ(mdlTools::CurrentFolder(), app.Path());
  ASSERT_EQ(w.cmbTrg()->count(), 15);
  EXPECT_EQ(w.cmbTrg()->itemText(0), QStringLiteral("#WAV"));
  EXPECT_EQ(w.cmbTrg()->itemText(14), QStringLiteral("#BPM"));
  EXPECT_EQ(w.lstRules(0)->count(), 0);
  EXPECT_TRUE(w.isEnabled());
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(QuarrowWindow, OnlyTheEndButtonKeepsSettingsAndRules) {
  target.MakeFolder(u"base");
  enum class Leave { EndButton, Escape, CloseBox };
  for (const Leave leave : {Leave::Escape, Leave::CloseBox, Leave::EndButton}) {
    SCOPED_TRACE(static_cast<int>(leave));
    frmMain& w = Open();
    w.move(300, 150);
    Enter(w.txtPath(1), target.Path());
    w.txtPath(0)->setText(ToQt(target / u"base"));
    w.txtExt(1)->setText(QStringLiteral("*~*"));
    Click(w.chkR());
    Click(w.chkBack());
    AddRule(u"#WAV?? *.wav", u"#WAV?? *.ogg");
    AddRule(u"#BMP?? *.bmp", u"#BMP?? *.png");
    switch (leave) {
      case Leave::EndButton: Click(w.cmdEnd()); break;
      case Leave::Escape: QTest::keyClick(w.txtCnv(0), Qt::Key_Escape); break;
      case Leave::CloseBox: w.close(); break;
    }
    EXPECT_FALSE(w.isVisible());
    const bool kept = leave == Leave::EndButton;
    EXPECT_EQ(platform::FileExists(app / u"Quarrow.ini"), kept);
    EXPECT_EQ(platform::FileExists(app / u"Quarrow.rul"), kept);
  }

  EXPECT_NE(Read(app / u"Quarrow.ini").find("Window Top=2250\r\nWindow Left=4500\r\n"), std::string::npos);
  EXPECT_EQ(Read(app / u"Quarrow.rul"), "#WAV?? *.wav\r\n#WAV?? *.ogg\r\n\r\n#BMP?? *.bmp\r\n#BMP?? *.png\r\n\r\n");
  frmMain& w = Open();
  EXPECT_EQ(w.pos(), QPoint(300, 150));
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), target.Path());
  EXPECT_EQ(FromQt(w.txtPath(0)->text()), target / u"base");
  EXPECT_EQ(w.txtExt(1)->text(), QStringLiteral("*~*"));
  EXPECT_TRUE(w.chkR()->isChecked());
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

TEST_F(QuarrowWindow, TheFilterRefreshesTheListOnlyOnARealChange) {
  target.Write(u"a.bms", "");
  target.Write(u"b.bme", "");
  frmMain& w = Open(target.Path());
  ASSERT_EQ(Files(), (std::vector<std::u16string>{u"a.bms", u"b.bme"}));
  const std::vector<std::u16string> all = {u"a.bms", u"b.bme", u"c.bms"};
  target.Write(u"c.bms", "");

  Visit(w.txtExt(0));
  EXPECT_EQ(Files().size(), 2u) << "leaving the box unchanged";
  QTest::keyClick(w.txtExt(0), Qt::Key_Return);
  EXPECT_EQ(Files(), all) << "Enter refreshes in any case";

  target.Write(u"d.bms", "");
  w.txtExt(0)->setFocus();
  w.txtExt(0)->setText(QStringLiteral("*.bms"));
  w.lstRules(0)->setFocus();
  EXPECT_EQ(Files(), (std::vector<std::u16string>{u"a.bms", u"c.bms", u"d.bms"})) << "leaving the box changed";

  Click(w.chkExt(0));
  EXPECT_EQ(Files().size(), 4u) << "switching a list with patterns off refreshes";
  target.Write(u"e.bms", "");
  Enter(w.txtExt(0), u"*.bme");
  Visit(w.txtExt(0));
  EXPECT_EQ(Files().size(), 4u) << "a list that is off takes no text";

  // An empty list switched on and off: a refresh only while the last applied text differs.
  w.txtExt(0)->clear();
  Click(w.chkExt(0));
  EXPECT_EQ(Files().size(), 5u) << "'' differs from the last applied *.bms";
  target.Write(u"f.bms", "");
  Click(w.chkExt(0));
  EXPECT_EQ(Files().size(), 5u) << "'' equals the last applied text";
}

TEST_F(QuarrowWindow, TheTargetFolderBox) {
  target.MakeFolder(u"sub");
  target.Write(u"sub/c.bms", "");
  target.Write(u"a.bms", "");
  frmMain& w = Open(target.Path());
  QLineEdit* box = w.txtPath(1);

  Enter(box, target / u"missing");
  EXPECT_TRUE(IsRed(box));
  EXPECT_EQ(Files(), std::vector<std::u16string>{u"a.bms"}) << "the list keeps what it shows";

  Enter(box, u"  " + (target / u"sub") + u"/../sub/");
  EXPECT_FALSE(IsRed(box));
  EXPECT_EQ(FromQt(box->text()), target / u"sub");
  EXPECT_EQ(box->cursorPosition(), box->text().size());
  EXPECT_EQ(Files(), std::vector<std::u16string>{u"c.bms"});
  EXPECT_EQ(mdlTools::CurrentFolder(), target / u"sub");

  target.Write(u"sub/d.bms", "");
  Visit(box);
  EXPECT_EQ(Files().size(), 1u) << "the same folder again";
  QTest::keyClick(w.txtCnv(0), Qt::Key_F5, Qt::ShiftModifier);
  EXPECT_EQ(Files().size(), 1u) << "Shift+F5 is no refresh";
  QTest::keyClick(w.txtCnv(0), Qt::Key_F5);
  EXPECT_EQ(Files().size(), 2u) << "F5 anywhere refreshes";
  target.Write(u"sub/e.bms", "");
  Click(w.cmdRefresh());
  EXPECT_EQ(Files().size(), 3u);
  box->setFocus();
  box->setText(ToQt(target.Path()));
  w.lstRules(0)->setFocus();
  EXPECT_EQ(Files(), std::vector<std::u16string>{u"a.bms"}) << "leaving the box with another folder";
}

TEST_F(QuarrowWindow, DropsOfFoldersChartsAndRuleFiles) {
  target.MakeFolder(u"sub");
  const std::u16string chart = target.Write(u"sub/c.bms", "");
  target.Write(u"a.bms", "");
  const std::u16string rules = target.Write(u"more.txt", "#WAV?? *.wav\r\n#WAV?? *.ogg\r\n\r\nx\r\n*\r\n#BMP\r\n#BPM\r\n");
  frmMain& w = Open(target.Path());

  EXPECT_FALSE(Drop(w.txtPath(1), {}, QStringLiteral("/tmp")));
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), target.Path()) << "text is no file list";

  EXPECT_TRUE(Drop(w.txtPath(1), {chart}));
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), target / u"sub") << "a chart selects its folder";
  EXPECT_EQ(Files(), std::vector<std::u16string>{u"c.bms"});

  EXPECT_TRUE(Drop(w.lstFiles()->viewport(), {target.Path()}));
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), target.Path()) << "a folder dropped on the list is the target";
  EXPECT_EQ(Files(), std::vector<std::u16string>{u"a.bms"});

  EXPECT_TRUE(Drop(w.txtPath(0), {chart, target / u"a.bms"}));
  EXPECT_EQ(FromQt(w.txtPath(0)->text()), target / u"sub") << "the folder of the first item";
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), target.Path());

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

TEST_F(QuarrowWindow, FileListCopiesNamesAndPaths) {
  target.Write(u"a.bms", "");
  target.Write(u"b.bms", "");
  frmMain& w = Open(target.Path());
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setText(QStringLiteral("before"));
  QTest::keyClick(w.lstFiles(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(clipboard->text(), QStringLiteral("before")) << "nothing selected";

  w.lstFiles()->item(1)->setSelected(true);
  QTest::keyClick(w.lstFiles(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(clipboard->text(), QStringLiteral("b.bms"));
  clipboard->clear();
  QTest::keyClick(w.lstFiles(), Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(clipboard->text(), QStringLiteral("b.bms"));
  EXPECT_EQ(Files().size(), 2u) << "Ctrl+X removes nothing";
  QTest::keyClick(w.lstFiles(), Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(FromQt(clipboard->text()), target / u"b.bms");
}

TEST_F(QuarrowWindow, CommandLineSelectsTheTargetFolder) {
  app.MakeFolder(u"my songs");
  const std::u16string chart = app.Write(u"my songs/a.bms", "");
  struct Case {
    std::u16string argument, folder;
  };
  for (const Case& c : {Case{chart, app / u"my songs"}, Case{app / u"my songs", app / u"my songs"},
                        Case{u"\"my songs/a.bms\"", app / u"my songs"}, Case{u"my songs/gone/x.bms", app / u"my songs"},
                        Case{u"bad\tpath", app.Path()}}) {
    SCOPED_TRACE(U8(c.argument));
    frmMain& w = Open(c.argument);
    EXPECT_EQ(FromQt(w.txtPath(1)->text()), c.folder);
  }
}

TEST_F(QuarrowWindow, ExplorerButtonAndReadMe) {
  frmMain& w = Open(target.Path());
  Click(w.cmdExp());
  w.menuHelpReadMe()->trigger();
  ASSERT_EQ(shell.size(), 2u);
  EXPECT_EQ(shell[0], std::make_pair(platform::ShellVerb::Explore, target.Path()));
  EXPECT_EQ(shell[1], std::make_pair(platform::ShellVerb::Open, app / u"readme.txt"));
}

}  // namespace
