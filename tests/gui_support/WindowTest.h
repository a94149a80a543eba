// The harness of the window tests: the real window offscreen, the user's clicks, keys and drops, the
// message boxes, progress dialog and desktop opener recorded, and a fresh program folder per test.
#pragma once

#include <QtTest>
#include <QtWidgets>
#include <optional>

#include "tests/support/Recorders.h"
#include "tests/support/TempDir.h"
#include "toolkit/gui/Controls.h"
#include "toolkit/gui/QtText.h"
#include "toolkit/gui/MainWindowBase.h"
#include "toolkit/gui/ListWindow.h"
#include "toolkit/files/Paths.h"
#include "toolkit/platform/shell.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

namespace gui_test {

using TextList = std::vector<std::u16string>;

inline void StartApplication() {
  static int argc = 1;
  static char name[] = "gui_tests", *argv[] = {name, nullptr};
  if (QApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  new QApplication(argc, argv);  // kept to the end of the process
  QApplication::setQuitOnLastWindowClosed(false);
  // A click into an opened combo box list counts only after the double-click time.
  QGuiApplication::styleHints()->setMouseDoubleClickInterval(1);
}

inline TextList Texts(const QAbstractItemModel* list) {
  TextList texts;
  for (int row = 0; row < list->rowCount(); ++row) texts.push_back(FromQt(list->index(row, 0).data().toString()));
  return texts;
}

// A list window's items, one text each with its columns joined by '|', each detail line under its
// item after two blanks; then the summary line.
inline TextList Listed(gui::ListWindow& list) {
  TextList texts;
  const QAbstractItemModel& model = list.Model();
  for (int row = 0; row < model.rowCount(); ++row) {
    QStringList columns;
    for (int column = 0; column < model.columnCount(); ++column) columns << model.index(row, column).data().toString();
    texts.push_back(FromQt(columns.join(u'|')));
    const QModelIndex item = model.index(row, 0);
    for (int line = 0; line < model.rowCount(item); ++line) texts.push_back(u"  " + FromQt(model.index(line, 0, item).data().toString()));
  }
  texts.push_back(FromQt(list.lblSummary()->text()));
  return texts;
}

// What controls show, joined by '|': a box's text, a button's check as 0/1 (its caption, access key
// included, for Show::Caption), a label's text, a frame's title, a window's title; or their tooltips.
enum class Show { State, Caption, Tip };
inline QString Shown(std::initializer_list<const QWidget*> controls, Show what = Show::State) {
  QStringList shown;
  for (const QWidget* c : controls) {
    const auto* b = qobject_cast<const QAbstractButton*>(c);
    if (what == Show::Tip) shown << c->toolTip();
    else if (const auto* box = qobject_cast<const QLineEdit*>(c)) shown << box->text();
    else if (b) shown << (what == Show::Caption ? b->text() : QString::number(b->isChecked()));
    else if (const auto* label = qobject_cast<const QLabel*>(c)) shown << label->text();
    else if (const auto* frame = qobject_cast<const QGroupBox*>(c)) shown << frame->title();
    else shown << c->windowTitle();
  }
  return shown.join(u'|');
}

inline bool IsRed(const QLineEdit* box) { return box->palette().color(QPalette::Text) == QColor(255, 0, 0); }

// Near the left edge: a check box reacts to its box and caption, not to the whole width it gets.
inline void Click(QAbstractButton* button) {
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(std::min(8, button->width() / 2), button->height() / 2));
}

inline void Enter(QLineEdit* box, const std::u16string& text) {
  box->setFocus();
  box->setText(ToQt(text));
  QTest::keyClick(box, Qt::Key_Return);
}

inline void Choose(QComboBox* combo, int index) {
  QTest::mouseClick(combo, Qt::LeftButton);
  QAbstractItemView* list = combo->view();
  ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }));
  // A click too soon after the list opened ends the opening click; on a busy machine it is made again.
  for (int attempt = 0; attempt < 5 && list->isVisible(); ++attempt) {
    QTest::qWait(20);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(index, 0)).center());
    (void)QTest::qWaitFor([&] { return !list->isVisible(); }, 500);
  }
  ASSERT_FALSE(list->isVisible());
}

// A drop of files, or of plain text when no path is given; true when the drag was accepted.
inline bool Drop(QWidget* target, const TextList& paths, const QString& text = QString()) {
  QMimeData mime;
  QList<QUrl> urls;
  // As a file manager sends them: the stored bytes of the path, percent-encoded.
  for (const auto& p : paths) {
    urls << QUrl::fromEncoded("file://" + QByteArray::fromStdString(text::ToUtf8(p)).toPercentEncoding("/"));
  }
  if (!urls.isEmpty()) mime.setUrls(urls);
  if (!text.isEmpty()) mime.setText(text);
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return enter.isAccepted();
}

// CP932, as a person's editor writes it.
inline void WriteSettings(const std::u16string& path, const std::u16string& text) {
  ASSERT_TRUE(platform::WriteWholeFile(path, text::ToCp932(text)));
}

// The name each window's settings file is named after; each test file gives its window's.
template <class Window>
struct Program;

template <class Window>
class WindowTest : public ::testing::Test, protected ScriptedUser {
 protected:
  WindowTest() {
    StartApplication();
    platform::SetShellHandler([this](platform::ShellVerb verb, const std::u16string& path) {
      shell.emplace_back(verb, path);
      return shell_answer;
    });
  }
  ~WindowTest() override {
    window.reset();
    platform::SetShellHandler({});
  }

  // The window with the test's recorders, or with the given message boxes and progress dialog.
  Window& Open(std::optional<std::u16string> command_line = std::nullopt, MessageSink* shown = nullptr,
               ProgressView* progress = nullptr) {
    window.reset();
    window = std::make_unique<Window>(gui::StartInfo{app.Path(), std::move(command_line), Program<Window>::kName,
                                                        shown != nullptr ? shown : &messages,
                                                        progress != nullptr ? progress : view});
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    return *window;
  }

  // Where the window stands once a window manager has told its frame.
  QPoint Place() const { return (void)QTest::qWaitFor([this] { return window->frameGeometry() != window->geometry(); }), window->pos(); }
  std::u16string SettingsFile() const { return app / (std::u16string(Program<Window>::kName) + u".ini"); }
  TextList Files() const { return Texts(window->lstFiles()->model()); }
  // Focus into a box, a text if one is given, and focus out again to a control that reacts to nothing.
  void Visit(QLineEdit* box, std::optional<std::u16string> text = std::nullopt) {
    box->setFocus();
    if (text) box->setText(ToQt(*text));
    window->lstFiles()->setFocus();
  }
  // Actions in order, each with the count of files it leaves in the list and why.
  struct Step { std::function<void()> act; std::size_t files; const char* why; };
  void ExpectSteps(const std::vector<Step>& steps) {
    for (const Step& step : steps) {
      step.act();
      EXPECT_EQ(Files().size(), step.files) << step.why;
    }
  }

  // The list window the preview button opens; nullptr when none opened.
  QPointer<gui::ListWindow> Preview() {
    Click(window->cmdPreview());
    return window->PreviewList();
  }

  // Counts the moments a run lets events through with the window enabled; `also` runs at each.
  void WatchRun(std::function<void()> also = {}) {
    view->on_events = [this, also](int) {
      enabled_polls += window->isEnabled() ? 1 : 0;
      if (also) also();
    };
  }
  // The run let events through, always with the window disabled, and gave it back with the dialog gone.
  void ExpectRunHeldTheWindow() {
    EXPECT_EQ(std::make_tuple(view->events > 0, enabled_polls, window->isEnabled(), view->shown),
              std::make_tuple(true, 0, true, false)) << "the window stays disabled until the result";
  }

  TempDir app;  // the program's folder
  TempDir target;
  std::vector<std::pair<platform::ShellVerb, std::u16string>> shell;
  int shell_answer = platform::kShellOk;  // what the recorded shell answers
  std::unique_ptr<Window> window;
  int enabled_polls = 0;
};

}  // namespace gui_test
