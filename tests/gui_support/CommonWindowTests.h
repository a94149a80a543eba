// What every main window does alike, run against each real window: the end button alone saves,
// the target folder box, the filter, drops, the file list's keys, the command line's target, the
// Explorer and readme actions, and names shown readably. Each window's test instantiates it.
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QPushButton>

#include "tests/gui_support/WindowTest.h"

namespace gui_test {

template <class Window>
class CommonWindow : public WindowTest<Window> {};
TYPED_TEST_SUITE_P(CommonWindow);

TYPED_TEST_P(CommonWindow, OnlyTheEndButtonKeepsTheSettings) {
  enum class Leave { EndButton, Escape, CloseBox };
  for (const Leave leave : {Leave::Escape, Leave::CloseBox, Leave::EndButton}) {
    SCOPED_TRACE(static_cast<int>(leave));
    TypeParam& w = this->Open();
    w.move(300, 150);
    Enter(w.txtPath(1), this->target.Path());
    w.txtExt(1)->setText(QStringLiteral("*~*"));
    Click(w.chkR());
    switch (leave) {
      case Leave::EndButton: Click(w.cmdEnd()); break;
      case Leave::Escape: QTest::keyClick(w.txtExt(0), Qt::Key_Escape); break;
      case Leave::CloseBox: w.close(); break;
    }
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(platform::FileExists(this->SettingsFile()), leave == Leave::EndButton);
  }
  EXPECT_NE(ReadBytes(this->SettingsFile()).find("Window Top=2250\r\nWindow Left=4500\r\n"), std::string::npos);
  TypeParam& w = this->Open();
  EXPECT_EQ(w.pos(), QPoint(300, 150));
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), this->target.Path());
  EXPECT_EQ(w.txtExt(1)->text(), QStringLiteral("*~*"));
  EXPECT_TRUE(w.chkR()->isChecked());
}

TYPED_TEST_P(CommonWindow, TheEndButtonAsksWhenTheSettingsCannotBeWritten) {
  this->app.MakeFolder(std::u16string(Program<TypeParam>::kName) + u".ini");
  TypeParam& w = this->Open();
  this->messages.answers = {false, true};
  Click(w.cmdEnd());
  const auto& said = this->messages.messages;
  ASSERT_EQ(said.size(), 3u);
  EXPECT_EQ(said[0].text, this->SettingsFile() + u" のオープンに失敗しました。") << "read at the start";
  EXPECT_EQ(said[1].text, std::u16string(Program<TypeParam>::kName) + u".ini のオープンに失敗しました。");
  EXPECT_EQ(said[1].icon, MsgIcon::Critical);
  EXPECT_EQ(said[2].text, u"設定を保存できませんでした。保存せずに終了しますか？");
  EXPECT_TRUE(said[2].question);
  EXPECT_TRUE(w.isVisible()) << "No: the window stays";
  Click(w.cmdEnd());
  EXPECT_FALSE(w.isVisible()) << "Yes: the program ends without saving";
}

TYPED_TEST_P(CommonWindow, TheTargetFolderBox) {
  this->target.MakeFolder(u"sub");
  this->target.Write(u"sub/c.bms", "");
  this->target.Write(u"a.bms", "");
  TypeParam& w = this->Open(this->target.Path());
  QLineEdit* box = w.txtPath(1);

  Enter(box, this->target / u"missing");
  EXPECT_TRUE(IsRed(box));
  EXPECT_EQ(this->Files(), std::vector<std::u16string>{u"a.bms"}) << "the list keeps what it shows";

  Enter(box, u"  " + (this->target / u"sub") + u"/../sub/");
  EXPECT_FALSE(IsRed(box));
  EXPECT_EQ(FromQt(box->text()), this->target / u"sub");
  EXPECT_EQ(box->cursorPosition(), box->text().size());
  EXPECT_EQ(this->Files(), std::vector<std::u16string>{u"c.bms"});
  EXPECT_EQ(mdlTools::CurrentFolder(), this->target / u"sub");

  this->target.Write(u"sub/d.bms", "");
  this->Visit(box);
  EXPECT_EQ(this->Files().size(), 1u) << "the same folder again";
  QTest::keyClick(w.txtExt(0), Qt::Key_F5, Qt::ShiftModifier);
  EXPECT_EQ(this->Files().size(), 1u) << "Shift+F5 is no refresh";
  QTest::keyClick(w.txtExt(0), Qt::Key_F5);
  EXPECT_EQ(this->Files().size(), 2u) << "F5 anywhere refreshes";
  this->target.Write(u"sub/e.bms", "");
  Click(w.cmdRefresh());
  EXPECT_EQ(this->Files().size(), 3u);
  box->setFocus();
  box->setText(ToQt(this->target.Path()));
  w.lstFiles()->setFocus();
  EXPECT_EQ(this->Files(), std::vector<std::u16string>{u"a.bms"}) << "leaving the box with another folder";
}

TYPED_TEST_P(CommonWindow, TheFilterRefreshesTheListOnlyOnARealChange) {
  this->target.Write(u"a.bms", "");
  this->target.Write(u"b.bme", "");
  this->target.Write(u"n.txt", "");
  TypeParam& w = this->Open(this->target.Path());
  if (!w.chkExt(0)->isChecked()) Click(w.chkExt(0));
  Enter(w.txtExt(0), u"*.bms;*.bme");
  ASSERT_EQ(this->Files(), (std::vector<std::u16string>{u"a.bms", u"b.bme"}));
  this->target.Write(u"c.bms", "");

  this->Visit(w.txtExt(0));
  EXPECT_EQ(this->Files().size(), 2u) << "leaving the box unchanged";
  QTest::keyClick(w.txtExt(0), Qt::Key_Return);
  EXPECT_EQ(this->Files().size(), 3u) << "Enter refreshes in any case";

  this->target.Write(u"d.bms", "");
  w.txtExt(0)->setFocus();
  w.txtExt(0)->setText(QStringLiteral("*.bms"));
  w.lstFiles()->setFocus();
  EXPECT_EQ(this->Files(), (std::vector<std::u16string>{u"a.bms", u"c.bms", u"d.bms"})) << "leaving the box changed";

  Click(w.chkExt(0));
  EXPECT_EQ(this->Files().size(), 5u) << "switching a list with patterns off refreshes";
  this->target.Write(u"e.bms", "");
  Enter(w.txtExt(0), u"*.bme");
  this->Visit(w.txtExt(0));
  EXPECT_EQ(this->Files().size(), 5u) << "a list that is off takes no text";

  // An empty list switched on and off: a refresh only while the last applied text differs.
  w.txtExt(0)->clear();
  Click(w.chkExt(0));
  EXPECT_EQ(this->Files().size(), 6u) << "'' differs from the last applied *.bms";
  this->target.Write(u"f.bms", "");
  Click(w.chkExt(0));
  EXPECT_EQ(this->Files().size(), 6u) << "'' equals the last applied text";

  Click(w.chkExt(1));
  Enter(w.txtExt(1), u"*.bme;*.txt");
  EXPECT_EQ(this->Files().size(), 5u) << "the exclude list takes its text";
}

TYPED_TEST_P(CommonWindow, DropsOnTheTargetBoxAndTheFileList) {
  this->target.MakeFolder(u"sub");
  const std::u16string chart = this->target.Write(u"sub/c.bms", "");
  this->target.Write(u"a.bms", "");
  TypeParam& w = this->Open(this->target.Path());

  EXPECT_FALSE(Drop(w.txtPath(1), {}, QStringLiteral("/tmp")));
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), this->target.Path()) << "text is no file list";
  EXPECT_TRUE(Drop(w.txtPath(1), {chart}));
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), this->target / u"sub") << "a chart selects its folder";
  EXPECT_EQ(this->Files(), std::vector<std::u16string>{u"c.bms"});
  EXPECT_TRUE(Drop(w.lstFiles()->viewport(), {this->target.Path()}));
  EXPECT_EQ(FromQt(w.txtPath(1)->text()), this->target.Path()) << "a folder dropped on the list is the target";
  EXPECT_EQ(this->Files(), std::vector<std::u16string>{u"a.bms"});
}

TYPED_TEST_P(CommonWindow, CommandLineSelectsTheTargetFolder) {
  this->app.MakeFolder(u"my songs");
  const std::u16string chart = this->app.Write(u"my songs/a.bms", "");
  const std::u16string songs = this->app / u"my songs";
  struct Case {
    std::u16string argument, folder;
  };
  for (const Case& c : {Case{chart, songs}, Case{songs, songs}, Case{u"\"my songs/a.bms\"", songs},
                        Case{u"my songs/gone/x.bms", songs}, Case{u"bad\tpath", this->app.Path()}}) {
    SCOPED_TRACE(U8(c.argument));
    TypeParam& w = this->Open(c.argument);
    EXPECT_EQ(FromQt(w.txtPath(1)->text()), c.folder);
    EXPECT_EQ(this->Files(), c.folder == songs ? std::vector<std::u16string>{u"a.bms"} : std::vector<std::u16string>{});
  }
}

TYPED_TEST_P(CommonWindow, ExplorerButtonAndReadMe) {
  TypeParam& w = this->Open(this->target.Path());
  Click(w.cmdExp());
  w.menuHelpReadMe()->trigger();
  ASSERT_EQ(this->shell.size(), 2u);
  EXPECT_EQ(this->shell[0], std::make_pair(platform::ShellVerb::Explore, this->target.Path()));
  EXPECT_EQ(this->shell[1], std::make_pair(platform::ShellVerb::Open, this->app / u"readme.txt"));
}

// Names stored in Shift-JIS bytes (an archive unpacked on Linux) read as their text; a name that
// is no text shows a mark for each odd byte. Every operation keeps the stored name.
TYPED_TEST_P(CommonWindow, NamesShowReadablyAndKeepTheirStoredBytes) {
  const std::u16string piano = platform::DecodeUtf8("\x83\x73\x83\x41\x83\x6D");  // ピアノ
  const std::u16string so = platform::DecodeUtf8("\x83\x5C.bms");                   // ソ.bms: its trail byte is "\"
  const std::u16string folder = this->target.MakeFolder(piano);
  this->target.Write(piano + u"/" + so, "");
  this->target.Write(piano + u"/" + platform::DecodeUtf8("a\xFF.bms"), "");
  const std::u16string odd = this->target.MakeFolder(platform::DecodeUtf8("x\xFF"));
  const std::u16string chart = this->target.Write(platform::DecodeUtf8("x\xFF/c.bms"), "");
  TypeParam& w = this->Open(folder);
  QLineEdit* box = w.txtPath(1);
  const std::u16string shown = this->target / u"ピアノ";
  EXPECT_EQ(FromQt(box->text()), shown);
  EXPECT_EQ(this->Files(), (std::vector<std::u16string>{u"a\\xFF.bms", u"ソ.bms"}));
  EXPECT_EQ(mdlGui::StoredName(w.lstFiles()->item(1)), so);
  // The keys of the file list copy what a person reads: the name, or its full path.
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setText(QStringLiteral("before"));
  QTest::keyClick(w.lstFiles(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(clipboard->text(), QStringLiteral("before")) << "nothing selected";
  w.lstFiles()->item(1)->setSelected(true);
  for (const Qt::Key key : {Qt::Key_C, Qt::Key_X}) {
    clipboard->clear();
    QTest::keyClick(w.lstFiles(), key, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), QStringLiteral(u"ソ.bms"));
  }
  EXPECT_EQ(this->Files().size(), 2u) << "Ctrl+X removes nothing";
  QTest::keyClick(w.lstFiles(), Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(FromQt(clipboard->text()), shown + u"/ソ.bms");

  Enter(box, this->target.Path());
  Enter(box, shown);
  EXPECT_FALSE(IsRed(box)) << "the readable text finds the stored folder";
  EXPECT_EQ(mdlTools::CurrentFolder(), folder);
  EXPECT_EQ(this->Files().size(), 2u);

  EXPECT_TRUE(Drop(box, {chart}));
  EXPECT_EQ(FromQt(box->text()), this->target / u"x\\xFF");
  EXPECT_EQ(this->Files(), std::vector<std::u16string>{u"c.bms"});
  this->Visit(box);
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_FALSE(IsRed(box)) << "a marked name that resolves to nothing keeps its stored path";
  EXPECT_EQ(mdlTools::CurrentFolder(), odd);
}

REGISTER_TYPED_TEST_SUITE_P(CommonWindow, OnlyTheEndButtonKeepsTheSettings, TheEndButtonAsksWhenTheSettingsCannotBeWritten,
                            TheTargetFolderBox, TheFilterRefreshesTheListOnlyOnARealChange,
                            DropsOnTheTargetBoxAndTheFileList,
                            CommandLineSelectsTheTargetFolder, ExplorerButtonAndReadMe,
                            NamesShowReadablyAndKeepTheirStoredBytes);

}  // namespace gui_test

// Names a window's program (its settings file is named after it) and runs the suite against it.
#define COMMON_WINDOW_TESTS(Name, Window)                 \
  template <>                                             \
  struct gui_test::Program<Window> {                      \
    static constexpr char16_t kName[] = u"" #Name;        \
  };                                                      \
  INSTANTIATE_TYPED_TEST_SUITE_P(Name, CommonWindow, Window)
