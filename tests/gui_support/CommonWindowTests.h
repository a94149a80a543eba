// What every main window does alike, run against each real window (each window's test instantiates
// it): the first start, saving, the target box, the filter, drops, keys, the command line, names.
#pragma once

#include "tests/gui_support/WindowTest.h"

namespace gui_test {

template <class Window>
class CommonWindow : public WindowTest<Window> {};
TYPED_TEST_SUITE_P(CommonWindow);

// Esc, the close box, the end button; only the last saves, the window's place too: the frame's, which
// a window manager tells a while after the window shows (the tests run under one too).
TYPED_TEST_P(CommonWindow, OnlyTheEndButtonKeepsTheSettingsAndAsksWhenItCannot) {
  std::vector<QPoint> places;
  for (int leave = 0; leave < 3; ++leave) {
    SCOPED_TRACE(leave);
    TypeParam& w = this->Open();
    places.push_back(this->Place());
    if (leave == 0) {  // the first start: quiet, named after the program
      EXPECT_EQ(std::make_pair(w.windowTitle(), this->messages.messages.size()),
                std::make_pair(QString::fromUtf16(Program<TypeParam>::kName), std::size_t{0}));
    }
    Enter(w.txtPath(1), this->target.Path());
    w.txtExt(1)->setText(QStringLiteral("*~*"));
    Click(w.chkR());
    if (leave == 0) QTest::keyClick(w.txtExt(0), Qt::Key_Escape);
    if (leave == 1) w.close();
    if (leave == 2) Click(w.cmdEnd());
    EXPECT_EQ(std::make_pair(w.isVisible(), platform::FileExists(this->SettingsFile())), std::make_pair(false, leave == 2));
  }
  TypeParam& again = this->Open();
  places.push_back(this->Place());
  EXPECT_EQ(Shown({again.txtPath(1), again.txtExt(1), again.chkR()}), ToQt(this->target.Path()) + QStringLiteral("|*~*|1"));
  again.move(300, 150);
  Click(again.cmdEnd());
  places.push_back((this->Open(), this->Place()));
  // 50 twips from the corner at first, and unmoved the same again; then where it was moved to.
  EXPECT_EQ(places, (std::vector<QPoint>{{3, 3}, {3, 3}, {3, 3}, {3, 3}, {300, 150}}));

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

  Enter(box, this->target / u"missing/../sub");
  EXPECT_EQ(std::make_pair(IsRed(box), this->Files()), std::make_pair(true, TextList{u"a.bms"}))
      << "a folder before \"..\" is not there; the list keeps what it shows";

  // Blanks and steps through ".." go; the cursor ends at the end.
  Enter(box, u"  " + (this->target / u"sub") + u"/../sub/");
  EXPECT_EQ(std::make_tuple(IsRed(box), FromQt(box->text()) + u'|' + this->Files().at(0), this->window->CurrentFolder()),
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
  const std::u16string sub = this->target / u"sub", readme = this->app / u"readme.txt";
  EXPECT_EQ(this->shell, (decltype(this->shell){{platform::ShellVerb::Explore, sub}, {platform::ShellVerb::Open, readme}}));

  // With nothing to open them at all, the choice of a program fails too: a message names the path.
  this->shell.clear(), this->shell_answer = platform::kShellNoAssociation;
  Click(w.cmdExp()), w.menuHelpReadMe()->trigger();
  const std::u16string none = u" を開けませんでした。\r\n開くためのプログラム（ファイルマネージャなど）が見つかりません。";
  EXPECT_EQ(std::make_tuple(this->shell.size(), this->messages.messages.at(0).text, this->Last().title, this->Last().text),
            std::make_tuple(4u, sub + none, u"ファイルを開く", readme + none)) << "each after the choice of a program";
}

// After every change of a switch, or of the text of a list that is on, the list shows what a run takes.
TYPED_TEST_P(CommonWindow, EveryChangeOfTheFilterShowsWhatARunTakes) {
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
      {[&] { Click(w.chkExt(0)); }, 6, "switching a list off"},
      {[&] { write(u"f.bms"), Enter(box, u"*.bme"), this->Visit(box); }, 6, "a list that is off takes no text"},
      {[&] { box->clear(), Click(w.chkExt(0)); }, 7, "an empty include list switched on takes every file"},
      {[&] { write(u"g.bms"), Click(w.chkExt(0)); }, 8, "and switched off again, with the same empty text"},
      {[&] { Click(w.chkExt(1)); }, 0, "an empty exclude list switched on takes every file out"},
      {[&] { Click(w.chkExt(1)); }, 8, "and switched off gives them back"},
      {[&] { Click(w.chkExt(1)), Enter(w.txtExt(1), u"*.bme;*.txt"); }, 6, "the exclude list takes its text"},
      {[&] { this->Visit(w.txtExt(1), u""); }, 0, "emptied, it takes every file out"},
  });
}

TYPED_TEST_P(CommonWindow, CommandLineSelectsTheTargetFolder) {
  const std::u16string songs = this->app.MakeFolder(u"my songs");
  this->app.Write(u"my songs/a.bms", "");
  // A chart, quoted, relative to the program folder; a missing folder; a path that is none; a folder
  // under a root only, which neither the root nor the stored folder stands in for.
  const std::u16string rooted = u"/" + platform::LastName(this->target.Path()) + u"-gone/drive/x";
  using Case = std::tuple<std::u16string, std::u16string, bool>;
  for (const auto& [argument, box, red] : {Case{u"\"my songs/a.bms\"", songs, false}, Case{u"my songs/gone/deeper", songs, false},
                                          Case{u"bad\tpath", this->app.Path(), false}, Case{rooted, rooted, true}}) {
    TypeParam& w = this->Open(argument);
    EXPECT_EQ(std::make_tuple(FromQt(w.txtPath(1)->text()), IsRed(w.txtPath(1)), this->Files().size()),
              std::make_tuple(box, red, box == songs ? 1u : 0u)) << U8(argument);
  }
}

// Names stored in Shift-JIS bytes (an archive unpacked on Linux) read as their text; a name that
// is no text shows a mark for each odd byte. Every operation keeps the stored name.
TYPED_TEST_P(CommonWindow, NamesShowReadablyAndKeepTheirStoredBytes) {
  const std::u16string piano = text::DecodeNativeName("\x83\x73\x83\x41\x83\x6D");  // ピアノ
  const std::u16string so = text::DecodeNativeName("\x83\x5C.bms");  // ソ.bms: its trail byte is "\"
  const std::u16string folder = this->target.MakeFolder(piano);
  this->target.Write(piano + u"/" + so, "");
  this->target.Write(piano + u"/" + text::DecodeUtf8("a\xFF.bms"), "");
  const std::u16string odd = this->target.MakeFolder(text::DecodeUtf8("x\xFF"));
  const std::u16string chart = this->target.Write(text::DecodeUtf8("x\xFF/c.bms"), "");
  TypeParam& w = this->Open(folder);
  QLineEdit* box = w.txtPath(1);
  const std::u16string shown = this->target / u"ピアノ";
  EXPECT_EQ(std::make_tuple(FromQt(box->text()), this->Files(),
                            gui::ItemName(w.lstFiles()->item(1))),
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
  Enter(box, u"ピアノ");
  EXPECT_EQ(std::make_tuple(IsRed(box), this->window->CurrentFolder()), std::make_tuple(false, folder))
      << "the readable text finds the stored folder, a relative one in the folder listed last";

  EXPECT_TRUE(Drop(box, {chart}));
  EXPECT_EQ(FromQt(box->text()) + u'|' + this->Files().at(0), this->target / u"x\\xFF|c.bms");
  this->Visit(box);
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(std::make_tuple(IsRed(box), this->window->CurrentFolder()), std::make_tuple(false, odd))
      << "a marked name that resolves to nothing keeps its stored path";
}

REGISTER_TYPED_TEST_SUITE_P(CommonWindow, OnlyTheEndButtonKeepsTheSettingsAndAsksWhenItCannot,
                            TheTargetFolderBoxItsDropsAndTheShellActions, EveryChangeOfTheFilterShowsWhatARunTakes,
                            CommandLineSelectsTheTargetFolder, NamesShowReadablyAndKeepTheirStoredBytes);

}  // namespace gui_test

// TextList a window's program (its settings file is named after it) and runs the suite against it.
#define COMMON_WINDOW_TESTS(Name, Window)          \
  template <>                                      \
  struct gui_test::Program<Window> {               \
    static constexpr char16_t kName[] = u"" #Name; \
  };                                               \
  INSTANTIATE_TYPED_TEST_SUITE_P(Name, CommonWindow, Window)
