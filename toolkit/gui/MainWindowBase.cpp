#include "toolkit/gui/MainWindowBase.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <algorithm>
#include <cmath>

#include "toolkit/gui/Controls.h"
#include "toolkit/gui/FilterFrame.h"
#include "toolkit/gui/PathBox.h"
#include "toolkit/gui/QtMessages.h"
#include "toolkit/gui/QtText.h"
#include "toolkit/gui/ListWindow.h"
#include "toolkit/run/Messages.h"
#include "toolkit/files/Paths.h"
#include "toolkit/platform/fs.h"
#include "toolkit/platform/shell.h"

namespace gui {
namespace {

// Window positions are kept in twips; a Qt pixel is 1/96 inch.
constexpr double kTwipsPerPixel = 15.0;

// The shift state as the key handlers take it: 1 Shift, 2 Ctrl, 4 Alt.
int ShiftBits(Qt::KeyboardModifiers modifiers) {
  return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
         (modifiers & Qt::AltModifier ? 4 : 0);
}

bool IsEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

// A question asked before is answered as it was then, and a new one is asked and its answer kept:
// the run a preview showed does not ask again what the user answered for the preview. Every other
// message goes to the window's messages.
class RememberedAnswers : public MessageSink {
 public:
  RememberedAnswers(std::map<std::u16string, bool>& answers, MessageSink& sink) : answers_(answers), sink_(sink) {}
  RememberedAnswers(const RememberedAnswers&) = delete;
  RememberedAnswers& operator=(const RememberedAnswers&) = delete;

  void ShowMessage(const std::u16string& text, const std::u16string& title, MsgIcon icon) override {
    sink_.ShowMessage(text, title, icon);
  }
  void ShowWarning(const std::u16string& text, const std::u16string& title, MsgIcon icon) override {
    sink_.ShowWarning(text, title, icon);
  }
  bool AskYesNo(const std::u16string& text, const std::u16string& title, MsgIcon icon) override {
    const auto [at, asked] = answers_.try_emplace(text, false);
    if (asked) at->second = sink_.AskYesNo(text, title, icon);
    return at->second;
  }

 private:
  std::map<std::u16string, bool>& answers_;
  MessageSink& sink_;
};

// The program's folder as the file system stores it.
std::u16string StoredProgramFolder(const StartInfo& start) {
  const std::u16string stored = paths::GetTruePath(start.ProgramFolder);
  return stored.empty() ? start.ProgramFolder : stored;
}

}  // namespace

std::u16string CommandLineTarget(const std::u16string& program_folder, const std::u16string& command_line) {
  // The whole text is taken: a path cut short would name another folder.
  std::u16string target = paths::GetFullPath(command_line, program_folder);
  if (platform::FileExists(target)) target = paths::ResolveShortcut(target);
  if (target.empty()) return target;
  const std::u16string folder = paths::GetExistingFolder(target, program_folder);
  // A folder that is not there stands for its nearest existing one, but never for a root: a run there
  // would take the whole disk. The path then stays as given, naming no folder.
  const bool missing = !platform::FolderExists(target) && !platform::FileExists(target);
  if (missing && (folder.empty() || platform::ParentFolder(folder).empty())) return target;
  return folder;
}

MainWindowBase::Busy::Busy(MainWindowBase& window)
    : window_(window), enabled_(window.isEnabled()), focus_(QApplication::focusWidget()) {
  ++window_.busy_;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  window_.setEnabled(false);
}

MainWindowBase::Busy::~Busy() {
  window_.setEnabled(enabled_);
  QApplication::restoreOverrideCursor();
  // Disabling the window took the focus away; give it back where the user left it.
  if (enabled_ && focus_ && focus_->window() == &window_) focus_->setFocus(Qt::OtherFocusReason);
  --window_.busy_;
}

// Lets the window see every key press meant for one of its controls before the control does, so
// that Esc and F5 work wherever the focus is, and so that a key in an opened choice list is known
// before the list acts on it.
class MainWindowBase::KeyPreview : public QObject {
 public:
  explicit KeyPreview(MainWindowBase& window) : window_(window) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if ((type != QEvent::KeyPress && type != QEvent::ShortcutOverride) || !window_.isEnabled()) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr) return false;
    // An opened list acts on Enter already when the key is offered as a shortcut, before the press.
    for (const ChoiceList& choice : window_.choice_lists_) {
      if ((widget == choice.list && type == QEvent::KeyPress) || widget == choice.list->view()) {
        window_.InternalAccess = true;
      }
    }
    if (type != QEvent::KeyPress || widget->window() != &window_) return false;
    return window_.PreviewKey(static_cast<QKeyEvent*>(event));
  }

 private:
  MainWindowBase& window_;
};

MainWindowBase::MainWindowBase(const StartInfo& start, const QString& title, const QString& explorer_tip, QWidget* parent)
    : QMainWindow(parent),
      program_folder_(StoredProgramFolder(start)),
      program_name_(start.ProgramName.empty() ? platform::ExecutableName() : start.ProgramName),
      current_folder_(program_folder_),
      messages_(*start.Messages),
      progress_(*start.Progress),
      settings_(program_folder_, program_name_) {
  files_.Pump = [] { QApplication::processEvents(); };
  setWindowTitle(title);
  auto* central = new QWidget(this);
  setCentralWidget(central);
  cmdGo_ = Button(central, QStringLiteral("cmdGo"), QStringLiteral(u"開始(&G)"));
  cmdPreview_ = Button(central, QStringLiteral("cmdPreview"), QStringLiteral(u"プレビュー(&V)"),
                       QStringLiteral(u"何も変更せずに、実行した場合の処理内容を一覧で表示します。"));
  cmdEnd_ = Button(central, QStringLiteral("cmdEnd"), QStringLiteral(u"終了(&E)"));
  cmdExp_ = Button(central, QStringLiteral("cmdExp"), QStringLiteral("Explorer(&X)"), explorer_tip);
  cmdRefresh_ = Button(central, QStringLiteral("cmdRefresh"), QStringLiteral(u"更新(F5)"));
  mnuHelp_ = menuBar()->addMenu(QStringLiteral(u"ヘルプ(&H)"));
  mnuHelp_->setObjectName(QStringLiteral("mnuHelp"));
  menuHelpReadMe_ = mnuHelp_->addAction(QStringLiteral("ReadMe.txt(&R)"));
  menuHelpReadMe_->setObjectName(QStringLiteral("menuHelpReadMe"));

  connect(cmdGo_, &QPushButton::clicked, this, [this] {
    if (!running_) BindRun()(Context(), nullptr);
  });
  connect(cmdPreview_, &QPushButton::clicked, this, [this] {
    if (!running_) OnPreview();
  });
  connect(cmdEnd_, &QPushButton::clicked, this, [this] { OnEnd(); });
  connect(cmdExp_, &QPushButton::clicked, this, [this] { OnExplorer(); });
  connect(cmdRefresh_, &QPushButton::clicked, this, [this] { RefreshAll(); });
  connect(menuHelpReadMe_, &QAction::triggered, this, [this] { OnReadMe(); });

  key_preview_ = std::make_unique<KeyPreview>(*this);
  qApp->installEventFilter(key_preview_.get());
}

MainWindowBase::~MainWindowBase() {
  if (qApp != nullptr) qApp->removeEventFilter(key_preview_.get());
}

void MainWindowBase::WatchTextBox(QLineEdit* box) {
  text_boxes_.push_back(box);
  box->installEventFilter(this);
}

void MainWindowBase::WatchChoiceList(QComboBox* list, std::function<void()> choose) {
  choice_lists_.push_back({list, choose});
  list->installEventFilter(this);
  list->view()->installEventFilter(this);
  connect(list, &QComboBox::activated, this, [this, choose] {
    if (!InternalAccess) choose();
  });
}

bool MainWindowBase::UserFocusOut(QEvent* event) const {
  if (event->type() != QEvent::FocusOut || busy_ != 0) return false;
  const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
  return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

void MainWindowBase::Load(const StartInfo& start, settings::SettingsTable defaults) {
  Busy busy(*this);
  if (std::u16string why; !settings_.Load(std::move(defaults), why)) {
    messages_.ShowMessage(why, settings::kOpenErrorTitle, MsgIcon::Critical);
  }
  ApplySettings();
  Frame().RememberFilters();
  AfterSettings();
  const std::u16string target = start.CommandLine ? CommandLineTarget(program_folder_, *start.CommandLine) : u"";
  if (!target.empty()) PathBoxAt(1)->SetText(target);
  RefreshAll();
  // The window takes the size its filled controls need before it shows. Grown once shown, it would be
  // resized before a window manager tells its frame, which places it by its inner area: the frame,
  // whose place is saved, would creep up and left at every end.
  resize(size().expandedTo(minimumSizeHint()));
}

void MainWindowBase::ApplySettings() {
  const settings::SettingsTable& table = settings_.Table();
  InternalAccess = true;
  auto pixels = [&](const char16_t* key) {
    return static_cast<int>(std::lround(table.Number(settings::kSectionSystem, key) / kTwipsPerPixel));
  };
  move(pixels(u"Window Left"), pixels(u"Window Top"));
  ShowSettings(table);
  InternalAccess = false;
  AfterShowingSettings();
}

void MainWindowBase::CollectSettings(settings::SettingsTable& table) const {
  using settings::SettingValue;
  table.Set(settings::kSectionSystem, u"Window Top", SettingValue::OfSingle(static_cast<float>(y() * kTwipsPerPixel)));
  table.Set(settings::kSectionSystem, u"Window Left", SettingValue::OfSingle(static_cast<float>(x() * kTwipsPerPixel)));
  StoreSettings(table);
}

QLineEdit* MainWindowBase::txtPath(int index) const {
  const PathBox* box = PathBoxAt(index);
  return box != nullptr ? box->Box() : nullptr;
}
QGroupBox* MainWindowBase::frmSelect() const { return &Frame(); }
QCheckBox* MainWindowBase::chkExt(int index) const { return Frame().chkExt(index); }
QLineEdit* MainWindowBase::txtExt(int index) const { return Frame().txtExt(index); }
QListWidget* MainWindowBase::lstFiles() const { return Frame().lstFiles(); }

RunHooks MainWindowBase::WindowRunHooks() {
  RunHooks hooks;
  hooks.PathChecked = [this](int index, bool ok) {
    if (PathBox* box = PathBoxAt(index)) box->SetValid(ok);
  };
  hooks.Begin = [this] {
    running_ = true;
    run_busy_ = std::make_unique<Busy>(*this);
  };
  hooks.Refresh = [this] { RefreshAll(); };
  hooks.End = [this] {
    run_busy_.reset();
    running_ = false;
    raise();
    activateWindow();
  };
  return hooks;
}

bool MainWindowBase::PreviewKey(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return true;
  }
  if (event->key() == Qt::Key_F5 &&
      (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0) {
    RefreshAll();
    return true;
  }
  return false;
}

bool MainWindowBase::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  const auto box = std::find(text_boxes_.begin(), text_boxes_.end(), watched);
  if (box != text_boxes_.end()) {
    if (type == QEvent::FocusIn && busy_ == 0) SelectAllText(*box);
    if (type == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      SelectAllKey(*box, key->key(), ShiftBits(key->modifiers()));
    }
    return false;
  }
  for (const ChoiceList& choice : choice_lists_) {
    // A key whose release went elsewhere (an access key) leaves nothing held.
    if (watched == choice.list && type == QEvent::FocusOut) InternalAccess = false;
    // Stepping with the keys chooses nothing (a key held sets InternalAccess); Enter chooses when it
    // is released.
    if (type == QEvent::KeyRelease && (watched == choice.list || watched == choice.list->view())) {
      if (watched == choice.list && IsEnter(static_cast<QKeyEvent*>(event)->key())) choice.choose();
      InternalAccess = false;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindowBase::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) InternalAccess = false;
  QMainWindow::changeEvent(event);
}

void MainWindowBase::closeEvent(QCloseEvent* event) {
  // A run holds the window until its result is shown; the progress dialog's stop button ends it.
  if (running_) {
    event->ignore();
    return;
  }
  event->accept();
}

bool MainWindowBase::SaveFiles() {
  std::u16string why;
  if (settings_.Save([this](settings::SettingsTable& table) { CollectSettings(table); }, why)) return true;
  messages_.ShowMessage(why, settings::kOpenErrorTitle, MsgIcon::Critical);
  return false;
}

void MainWindowBase::OnEnd() {
  // What could not be written is lost if the program ends now: the user decides, and No keeps the
  // window open.
  if (!SaveFiles() &&
      !messages_.AskYesNo(u"設定を保存できませんでした。保存せずに終了しますか？", u"終了", MsgIcon::Question)) {
    return;
  }
  close();
}

void MainWindowBase::OnExplorer() {
  const std::u16string folder = paths::GetExistingFolder(PathBoxAt(1)->Text(), current_folder_);
  // Without any folder the file manager opens where it usually does: the home folder.
  OpenWithShell(!folder.empty() ? folder : FromQt(QDir::toNativeSeparators(QDir::homePath())), u"フォルダを開く");
}

void MainWindowBase::OnReadMe() {
  OpenWithShell(platform::JoinPath(program_folder_, u"readme.txt"), u"ファイルを開く");
}

void MainWindowBase::OpenWithShell(const std::u16string& path, const std::u16string& title) {
  // Nothing opening at all (no file manager, no opener installed) would look like a button that does
  // nothing.
  const int answer = paths::ShellOpen(path);
  if (answer >= platform::kShellOk) return;
  std::u16string text = path + u" を開けませんでした。";
  if (answer == platform::kShellNoAssociation) text += u"\r\n開くためのプログラム（ファイルマネージャなど）が見つかりません。";
  messages_.ShowMessage(text, title, MsgIcon::Exclamation);
}

void MainWindowBase::OnPreview() {
  BoundRun run = BindRun();
  Plan plan;
  std::map<std::u16string, bool> answers;
  // A run that stopped at a warning has said why; one the user stopped shows no half a list.
  RememberedAnswers remembered(answers, messages_);
  if (run(ContextWith(remembered), &plan).Outcome != RunOutcome::Finished) return;
  preview_answers_ = std::move(answers);
  preview_run_ = std::move(run);
  preview_plan_ = std::move(plan);
  delete preview_;
  preview_ = new ListWindow(QStringLiteral(u"プレビュー - ") + windowTitle(), Plan::Headers(), this);
  preview_->setObjectName(QStringLiteral("frmPreview"));
  preview_->setAttribute(Qt::WA_DeleteOnClose);
  // Only the main window waits: the progress dialog of a run started from the list stays usable.
  preview_->setWindowModality(Qt::WindowModal);
  preview_->SetItems(preview_plan_.Items);
  preview_->SetSummary(preview_plan_.Summary);
  preview_->SetStart(QStringLiteral(u"実行(&G)"), [this] { OnStartPreviewed(); });
  preview_->show();
}

void MainWindowBase::OnStartPreviewed() {
  if (running_ || !preview_) return;
  const QPointer<ListWindow> list = preview_;
  RememberedAnswers remembered(preview_answers_, messages_);
  const RunContext context = ContextWith(remembered);
  Plan now;
  list->setEnabled(false);
  const RunResult check = preview_run_(context, &now);
  if (!list || !list->isVisible()) return;  // closed meanwhile: the user no longer wants it
  list->setEnabled(true);
  if (check.Outcome == RunOutcome::Warned) {
    list->close();  // the folders are gone or wrong now, as the warning said
    return;
  }
  if (check.Outcome == RunOutcome::Cancelled) return;
  if (!(now == preview_plan_)) {
    preview_plan_ = std::move(now);
    list->SetItems(preview_plan_.Items);
    list->SetSummary(preview_plan_.Summary);
    messages_.ShowMessage(u"プレビューの後でフォルダの内容が変わったため、実行しませんでした。\r\n"
                             u"今の内容で一覧を作り直しました。確かめてから、もう一度実行してください。",
                             u"プレビュー", MsgIcon::Exclamation);
    return;
  }
  list->close();
  preview_run_(context, nullptr);
}

}  // namespace gui
