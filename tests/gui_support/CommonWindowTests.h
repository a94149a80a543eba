// What every main window does alike, run against each real window (each window's test instantiates
// it): the first start, saving, the target box, the filter, drops, keys, the command line, names.
#pragma once

#include "tests/gui_support/WindowTest.h"

namespace gui_test {

template <class Window>
class CommonWindow : public WindowTest<Window> {};
TYPED_TEST_SUITE_P(CommonWindow);

TYPED_TEST_P(CommonWindow, OnlyTheEndButtonKeepsTheSettingsAndAsksWhenItCannot) {
  // Esc, the close box, the end button; only the last saves.
  for (int leave = 0; leave < 3; ++leave) {
    SCOPED_TRACE(leave);
    TypeParam& w = this->Open();
    if (leave == 0) {  // the first start: quiet, named after the program, at 50 twips from the corner
      EXPECT_EQ(std::make_tuple(w.windowTitle(), w.pos(), this->messages.messages.size()),
                std::make_tuple(QString::fromUtf16(Program<TypeParam>::kName), QPoint(3, 3), 0u));
    }
    w.move(300, 150);
    Enter(w.txtPath(1), this->target.Path());
    w.txtExt(1)->setText(QStringLiteral("*~*"));
    Click(w.chkR());
    if (leave == 0) QTest::keyClick(w.txtExt(0), Qt::Key_Escape);
    if (leave == 1) w.close();
    if (leave == 2) Click(w.cmdEnd());
    EXPECT_EQ(std::make_pair(w.isVisible(), platform::FileExists(this->SettingsFile())), std::make_pair(false, leave == 2));
  }
  TypeParam& again = this->Open();
  EXPECT_EQ(std::make_pair(again.pos(), Shown({again.txtPath(1), again.txtExt(1), again.chkR()})),
            std::make_pair(QPoint(300, 150), ToQt(this->target.Path()) + QStringLiteral("|*~*|1")));

  ASSERT_TRUE(platform::RemoveFile(this->SettingsFile()));
  this->app.MakeFolder(std::u16string(Program<TypeParam>::kName) + u".ini");
  TypeParam& w = this->Open();
  this->messages.answers = {false, true};
  Click(w.cmdEnd());
  EXPECT_EQ(std::make_tuple(this->Last().text, this->Last().question, w.isVisible()),
            std::make_tuple(u"設定を保存できませんでした。保存せずに終了しますか？", true, true)) << "No: the window stays";
  Click(w.cmdEnd());
  EXPECT_FALSE(w.isVisible()) << "Yes: the program ends without saving";
}

TYPED_TEST_P(CommonWindow, TheTargetFolderBoxItsDropsAndTheShellActions) {
  this->target.MakeFolder(u"sub");
  this->target.Write(u"sub/c.bms", "");
  this->target.Write(u"a.bms", "");
  TypeParam& w = this->Open(this->target.Path());
  QLineEdit* box = w.txtPath(1);

  Enter(box, this->target / u"missing");
  EXPECT_EQ(std::make_pair(IsRed(box), this->Files()), std::make_pair(true, TextList{u"a.bms"}))
      << "the list keeps what it shows";

  // Blanks and steps through ".." go; the cursor ends at the end.
  Enter(box, u"  " + (this->target / u"sub") + u"/../sub/");
  EXPECT_EQ(std::make_tuple(IsRed(box), FromQt(box->text()) + u'|' + this->Files().at(0), mdlTools::CurrentFolder()),
            std::make_tuple(false, this->target / u"sub|c.bms", this->target / u"sub"));
  EXPECT_EQ(box->cursorPosition(), box->text().size());

  auto write = [&](const char16_t* name) { this->target.Write(name, ""); };
  this->ExpectSteps({
      {[&] { write(u"sub/d.bms"), this->Visit(box); }, 1, "the same folder again"},
      {[&] { QTest::keyClick(w.txtExt(0), Qt::Key_F5, Qt::ShiftModifier); }, 1, "Shift+F5 is no refresh"},
      {[&] { QTest::keyClick(w.txtExt(0), Qt::Key_F5); }, 2, "F5 anywhere refreshes"},
      {[&] { write(u"sub/e.bms"), Click(w.cmdRefresh()); }, 3, "the refresh button"},
      {[&] { this->Visit(box, this->target.Path()); }, 1, "leaving the box with another folder"},
  });
  // A chart dropped on the box selects its folder: see the names test.
  EXPECT_EQ(std::make_pair(Drop(box, {}, QStringLiteral("/tmp")), FromQt(box->text())),
            std::make_pair(false, this->target.Path())) << "text is no file list";
  EXPECT_TRUE(Drop(w.lstFiles()->viewport(), {this->target / u"sub"}));
  EXPECT_EQ(FromQt(box->text()) + u'|' + this->Files().at(0), this->target / u"sub|c.bms")
      << "a folder dropped on the list is the target";
  Click(w.cmdExp());
  w.menuHelpReadMe()->trigger();
  EXPECT_EQ(this->shell, (decltype(this->shell){{platform::ShellVerb::Explore, this->target / u"sub"},
                                                {platform::ShellVerb::Open, this->app / u"readme.txt"}}));
}

TYPED_TEST_P(CommonWindow, TheFilterRefreshesTheListOnlyOnARealChange) {
  for (const auto* name : {u"a.bms", u"b.bme", u"n.txt"}) this->target.Write(name, "");
  TypeParam& w = this->Open(this->target.Path());
  QLineEdit* box = w.txtExt(0);
  if (!w.chkExt(0)->isChecked()) Click(w.chkExt(0));
  Enter(box, u"*.bms;*.bme");
  ASSERT_EQ(this->Files(), (TextList{u"a.bms", u"b.bme"}));
  auto write = [&](const char16_t* name) { this->target.Write(name, ""); };
  this->ExpectSteps({
      {[&] { write(u"c.bms"), this->Visit(box); }, 2, "leaving the box unchanged"},
      {[&] { QTest::keyClick(box, Qt::Key_Return); }, 3, "Enter refreshes in any case"},
      {[&] { write(u"d.bms"), write(u"e.bms"), this->Visit(box, u"*.bms"); }, 4, "leaving the box changed"},
      {[&] { Click(w.chkExt(0)); }, 6, "switching a list with patterns off refreshes"},
      {[&] { write(u"f.bms"), Enter(box, u"*.bme"), this->Visit(box); }, 6, "a list that is off takes no text"},
      // An empty list switched on and off: a refresh only while the last applied text differs.
      {[&] { box->clear(), Click(w.chkExt(0)); }, 7, "'' differs from the last applied *.bms"},
      {[&] { write(u"g.bms"), Click(w.chkExt(0)); }, 7, "'' equals the last applied text"},
      {[&] { Click(w.chkExt(1)), Enter(w.txtExt(1), u"*.bme;*.txt"); }, 6, "the exclude list takes its text"},
  });
}

TYPED_TEST_P(CommonWindow, CommandLineSelectsTheTargetFolder) {
  const std::u16string songs = this->app.MakeFolder(u"my songs");
  this->app.Write(u"my songs/a.bms", "");
  // A chart, quoted, relative to the program folder; a path that is none. The path helpers have their own tests.
  for (const std::u16string& argument : {std::u16string(u"\"my songs/a.bms\""), std::u16string(u"bad\tpath")}) {
    SCOPED_TRACE(U8(argument));
    TypeParam& w = this->Open(argument);
    const bool none = argument == u"bad\tpath";
    EXPECT_EQ(std::make_pair(FromQt(w.txtPath(1)->text()), this->Files()),
              std::make_pair(none ? this->app.Path() : songs, none ? TextList{} : TextList{u"a.bms"}));
  }
}

// Names stored in Shift-JIS bytes (an archive unpacked on Linux) read as their text; a name that
// is no text shows a mark for each odd byte. Every operation keeps the stored name.
TYPED_TEST_P(CommonWindow, NamesShowReadablyAndKeepTheirStoredBytes) {
  const std::u16string piano = platform::DecodeNativeName("\x83\x73\x83\x41\x83\x6D");  // ピアノ
  const std::u16string so = platform::DecodeNativeName("\x83\x5C.bms");  // ソ.bms: its trail byte is "\"
  const std::u16string folder = this->target.MakeFolder(piano);
  this->target.Write(piano + u"/" + so, "");
  this->target.Write(piano + u"/" + platform::DecodeUtf8("a\xFF.bms"), "");
  const std::u16string odd = this->target.MakeFolder(platform::DecodeUtf8("x\xFF"));
  const std::u16string chart = this->target.Write(platform::DecodeUtf8("x\xFF/c.bms"), "");
  TypeParam& w = this->Open(folder);
  QLineEdit* box = w.txtPath(1);
  const std::u16string shown = this->target / u"ピアノ";
  EXPECT_EQ(std::make_tuple(FromQt(box->text()), this->Files(), mdlGui::StoredName(w.lstFiles()->item(1))),
            std::make_tuple(shown, TextList{u"a\\xFF.bms", u"ソ.bms"}, so));
  // The keys of the file list copy what a person reads: the name, or its full path; nothing when
  // nothing is selected.
  auto copied = [&](Qt::Key key) {
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::keyClick(w.lstFiles(), key, Qt::ControlModifier);
    return FromQt(QGuiApplication::clipboard()->text());
  };
  const std::u16string none = copied(Qt::Key_C);
  w.lstFiles()->item(1)->setSelected(true);
  EXPECT_EQ((TextList{none, copied(Qt::Key_C), copied(Qt::Key_X), copied(Qt::Key_F)}),
            (TextList{u"before", u"ソ.bms", u"ソ.bms", shown + u"/ソ.bms"}));
  EXPECT_EQ(this->Files().size(), 2u) << "Ctrl+X removes nothing";

  Enter(box, this->target.Path());
  Enter(box, shown);
  EXPECT_EQ(std::make_tuple(IsRed(box), mdlTools::CurrentFolder()), std::make_tuple(false, folder))
      << "the readable text finds the stored folder";

  EXPECT_TRUE(Drop(box, {chart}));
  EXPECT_EQ(FromQt(box->text()) + u'|' + this->Files().at(0), this->target / u"x\\xFF|c.bms");
  this->Visit(box);
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(std::make_tuple(IsRed(box), mdlTools::CurrentFolder()), std::make_tuple(false, odd))
      << "a marked name that resolves to nothing keeps its stored path";
}

REGISTER_TYPED_TEST_SUITE_P(CommonWindow, OnlyTheEndButtonKeepsTheSettingsAndAsksWhenItCannot,
                            TheTargetFolderBoxItsDropsAndTheShellActions, TheFilterRefreshesTheListOnlyOnARealChange,
                            CommandLineSelectsTheTargetFolder, NamesShowReadablyAndKeepTheirStoredBytes);

}  // namespace gui_test

// TextList a window's program (its settings file is named after it) and runs the suite against it.
#define COMMON_WINDOW_TESTS(Name, Window)          \
  template <>                                      \
  struct gui_test::Program<Window> {               \
    static constexpr char16_t kName[] = u"" #Name; \
  };                                               \
  INSTANTIATE_TYPED_TEST_SUITE_P(Name, CommonWindow, Window)
