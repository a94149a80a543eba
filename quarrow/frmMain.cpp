#include "quarrow/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>

#include "toolkit/gui/QtMessages.h"
#include "toolkit/gui/QtText.h"
#include "toolkit/clsMatching.h"
#include "toolkit/mdlAppGlobal.h"
#include "quarrow/mdlAppParam.h"
#include "toolkit/mdlMessages.h"
#include "quarrow/mdlRuleIO.h"
#include "quarrow/mdlSettings.h"
#include "toolkit/mdlTools.h"
#include "toolkit/platform/fs.h"

namespace quarrow {
namespace {

// Window positions are kept in twips; a Qt pixel is 1/96 inch.
constexpr double kTwipsPerPixel = 15.0;
constexpr int kSplitRole = Qt::UserRole;

const QColor kRed(255, 0, 0);

// Names in the order the file list and the sort button give them: ascending without regard to
// case, then exactly, so that names differing only in case always come in one order.
class SortedItem : public QListWidgetItem {
 public:
  explicit SortedItem(const QString& text, int split = 0) : QListWidgetItem(text) { setData(kSplitRole, split); }
  bool operator<(const QListWidgetItem& other) const override {
    const int folded = text().compare(other.text(), Qt::CaseInsensitive);
    if (folded != 0) return folded < 0;
    if (text() != other.text()) return text() < other.text();
    return data(kSplitRole).toInt() < other.data(kSplitRole).toInt();
  }
  QListWidgetItem* clone() const override { return new SortedItem(*this); }
};

// The monospaced font of the rule list, with Japanese glyphs, so that rules line up.
QFont RuleListFont(const QFont& base) {
  const QStringList families = QFontDatabase::families();
  for (const QString& name : {QStringLiteral(u"ＭＳ ゴシック"), QStringLiteral(u"MS Gothic"),
                              QStringLiteral(u"Noto Sans Mono CJK JP")}) {
    if (families.contains(name)) {
      QFont font(name, base.pointSize());
      font.setStyleHint(QFont::Monospace);
      return font;
    }
  }
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPointSize(base.pointSize());
  return font;
}

// The shift state as the key handlers take it: 1 Shift, 2 Ctrl, 4 Alt.
int ShiftBits(Qt::KeyboardModifiers modifiers) {
  return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
         (modifiers & Qt::AltModifier ? 4 : 0);
}

bool IsEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

// The local files of a drop, in their order.
std::vector<std::u16string> DroppedFiles(const QMimeData* data) {
  std::vector<std::u16string> paths;
  if (data == nullptr || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths.push_back(FromQt(QDir::toNativeSeparators(url.toLocalFile())));
  }
  return paths;
}

QLineEdit* TextBox(QWidget* parent, const QString& name) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(name);
  return box;
}

QCheckBox* CheckBox(QWidget* parent, const QString& name, const QString& caption, const QString& tip = QString()) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  box->setToolTip(tip);
  return box;
}

QPushButton* Button(QWidget* parent, const QString& name, const QString& caption, const QString& tip = QString()) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setToolTip(tip);
  button->setAutoDefault(false);
  return button;
}

QLabel* Label(QWidget* parent, const QString& name, const QString& caption, const QString& tip = QString()) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(name);
  label->setToolTip(tip);
  return label;
}

}  // namespace

// Hourglass and a disabled window for work that lets pending events through; afterwards the window
// gets back its enabled state, the pointer and the focus it had.
class frmMain::Busy {
 public:
  explicit Busy(frmMain& window)
      : window_(window), enabled_(window.isEnabled()), focus_(QApplication::focusWidget()) {
    ++window_.busy_;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    window_.setEnabled(false);
  }
  ~Busy() {
    window_.setEnabled(enabled_);
    QApplication::restoreOverrideCursor();
    // Disabling the window took the focus away; give it back where the user left it.
    if (enabled_ && focus_ && focus_->window() == &window_) focus_->setFocus(Qt::OtherFocusReason);
    --window_.busy_;
  }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  frmMain& window_;
  bool enabled_;
  QPointer<QWidget> focus_;
};

// Lets the window see every key press meant for one of its controls before the control does, so
// that Esc and F5 work wherever the focus is, and so that a key in the input assist's opened list is
// known before the list acts on it.
class frmMain::KeyPreview : public QObject {
 public:
  explicit KeyPreview(frmMain& window) : window_(window) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if ((type != QEvent::KeyPress && type != QEvent::ShortcutOverride) || !window_.isEnabled()) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr) return false;
    // A key held in the input assist; its opened list acts on Enter already when the key is
    // offered as a shortcut, before the key press.
    if ((widget == window_.cmbTrg_ && type == QEvent::KeyPress) || widget == window_.cmbTrg_->view()) {
      window_.InternalAccess = true;
    }
    if (type != QEvent::KeyPress || widget->window() != &window_) return false;
    return window_.PreviewKey(static_cast<QKeyEvent*>(event));
  }

 private:
  frmMain& window_;
};

frmMain::frmMain(const StartInfo& start, QWidget* parent) : QMainWindow(parent) {
  BuildControls();
  key_preview_ = std::make_unique<KeyPreview>(*this);
  qApp->installEventFilter(key_preview_.get());
  Load(start);
}

frmMain::~frmMain() {
  if (qApp != nullptr) qApp->removeEventFilter(key_preview_.get());
}

void frmMain::BuildControls() {
  setWindowTitle(QStringLiteral("Quarrow"));
  auto* central = new QWidget(this);
  setCentralWidget(central);

  lbltrg_ = Label(central, QStringLiteral("lbltrg"), QStringLiteral(u"ターゲットフォルダ…変換対象フォルダ"));
  txtPath_[1] = TextBox(central, QStringLiteral("txtPath1"));
  cmdExp_ = Button(central, QStringLiteral("cmdExp"), QStringLiteral("Explorer(&X)"),
                   QStringLiteral(u"Explorerからファイルをラッグ＆ドロップ。"));
  lblsrc_ = Label(central, QStringLiteral("lblsrc"), QStringLiteral(u"マテリアルベースフォルダ"),
                  QStringLiteral(u"マテリアル指定を使用している場合使います。対象コマンド…#WAV,#BMP"));
  txtPath_[0] = TextBox(central, QStringLiteral("txtPath0"));
  path_palette_ = txtPath_[0]->palette();

  // The filter of the files to convert, with the target folder's file list.
  frmSelect_ = new QGroupBox(QStringLiteral(u"変換ファイルフィルタ"), central);
  frmSelect_->setObjectName(QStringLiteral("frmSelect"));
  chkExt_[0] = CheckBox(frmSelect_, QStringLiteral("chkExt0"), QStringLiteral(u"絞り込む(&M)"),
                        QStringLiteral(u"指定したファイルを操作の対象にします。"));
  txtExt_[0] = TextBox(frmSelect_, QStringLiteral("txtExt0"));
  chkExt_[1] = CheckBox(frmSelect_, QStringLiteral("chkExt1"), QStringLiteral(u"除外する(&O)"),
                        QStringLiteral(u"指定したファイルを処理の対象外にします。"));
  txtExt_[1] = TextBox(frmSelect_, QStringLiteral("txtExt1"));
  cmdRefresh_ = Button(frmSelect_, QStringLiteral("cmdRefresh"), QStringLiteral(u"更新(F5)"));
  lstFiles_ = new QListWidget(frmSelect_);
  lstFiles_->setObjectName(QStringLiteral("lstFiles"));
  lstFiles_->setSortingEnabled(true);
  lstFiles_->setAcceptDrops(true);
  lstFiles_->viewport()->setAcceptDrops(true);
  auto* select = new QGridLayout(frmSelect_);
  select->addWidget(chkExt_[0], 0, 0);
  select->addWidget(txtExt_[0], 0, 1);
  select->addWidget(chkExt_[1], 1, 0);
  select->addWidget(txtExt_[1], 1, 1);
  select->addWidget(cmdRefresh_, 2, 1, Qt::AlignRight);
  select->addWidget(lstFiles_, 3, 0, 1, 2);

  // The rule editor.
  frCnv_ = new QGroupBox(QStringLiteral(u"ライン置換ルールリスト"), central);
  frCnv_->setObjectName(QStringLiteral("frCnv"));
  frCnv_->setToolTip(QStringLiteral(u"半角英数の大文字と小文字を区別しません。"));
  lstRules_[0] = new QListWidget(frCnv_);
  lstRules_[0]->setObjectName(QStringLiteral("lstRules0"));
  lstRules_[0]->setFont(RuleListFont(font()));
  lstRules_[0]->setAcceptDrops(true);
  lstRules_[0]->viewport()->setAcceptDrops(true);
  // The sort button's work list: the entries pass through it to come back in order.
  lstRules_[1] = new QListWidget(frCnv_);
  lstRules_[1]->setObjectName(QStringLiteral("lstRules1"));
  lstRules_[1]->setSortingEnabled(true);
  lstRules_[1]->hide();
  const QString wildcards = QStringLiteral(u"ワイルドカード「*」「?」使用可。");
  Label1_[0] = Label(frCnv_, QStringLiteral("Label10"), QStringLiteral(u"検索パタン"), wildcards);
  txtCnv_[0] = TextBox(frCnv_, QStringLiteral("txtCnv0"));
  Label1_[1] = Label(frCnv_, QStringLiteral("Label11"), QStringLiteral(u"置換パタン"), wildcards);
  txtCnv_[1] = TextBox(frCnv_, QStringLiteral("txtCnv1"));
  Label1_[2] = Label(frCnv_, QStringLiteral("Label12"), QStringLiteral(u"入力支援"));
  cmbTrg_ = new QComboBox(frCnv_);
  cmbTrg_->setObjectName(QStringLiteral("cmbTrg"));
  const QString captions[] = {QStringLiteral(u"追加(&A)"), QStringLiteral(u"変更(&C)"), QStringLiteral(u"削除(DEL)"),
                              QStringLiteral(u"クリア(&L)"), QStringLiteral(u"整列(&S)")};
  for (int i = 0; i < 5; ++i) cmdAdd_[i] = Button(frCnv_, QStringLiteral("cmdAdd%1").arg(i), captions[i]);
  chkTB_ = CheckBox(frCnv_, QStringLiteral("chkTB"), QStringLiteral(u"テキストモード(&T)"),
                    QStringLiteral(u"半角英数でアルファベットの大文字と小文字を区別しません。"));
  auto* rules = new QGridLayout(frCnv_);
  rules->addWidget(lstRules_[0], 0, 0, 1, 2);
  rules->addWidget(Label1_[0], 1, 0);
  rules->addWidget(txtCnv_[0], 1, 1);
  rules->addWidget(Label1_[1], 2, 0);
  rules->addWidget(txtCnv_[1], 2, 1);
  rules->addWidget(Label1_[2], 3, 0);
  rules->addWidget(cmbTrg_, 3, 1, Qt::AlignLeft);
  auto* rule_buttons = new QHBoxLayout;
  for (QPushButton* button : cmdAdd_) rule_buttons->addWidget(button);
  rules->addLayout(rule_buttons, 4, 0, 1, 2);
  rules->addWidget(chkTB_, 5, 0, 1, 2);
  rules->setColumnStretch(1, 1);

  chkR_ = CheckBox(central, QStringLiteral("chkR"), QStringLiteral(u"再帰処理(&R)"));
  chkFileCheck_ = CheckBox(central, QStringLiteral("chkFileCheck"),
                           QStringLiteral(u"置換時に指定ファイルの有無をチェック(&F)"),
                           QStringLiteral(u"対象コマンド…#WAV,#BMP,#STAGEFILE,#MIDIFILE"));
  chkBack_ = CheckBox(central, QStringLiteral("chkBack"), QStringLiteral(u"バックアップ(*.mbk)(&B)"));
  cmdGo_ = Button(central, QStringLiteral("cmdGo"), QStringLiteral(u"開始(&G)"));
  cmdEnd_ = Button(central, QStringLiteral("cmdEnd"), QStringLiteral(u"終了(&E)"));

  auto* layout = new QGridLayout(central);
  layout->addWidget(lbltrg_, 0, 0, 1, 2);
  layout->addWidget(txtPath_[1], 1, 0, 1, 2);
  layout->addWidget(cmdExp_, 1, 2);
  layout->addWidget(lblsrc_, 2, 0, 1, 2);
  layout->addWidget(txtPath_[0], 3, 0, 1, 3);
  layout->addWidget(frmSelect_, 4, 0);
  layout->addWidget(frCnv_, 4, 1, 1, 2);
  auto* options = new QVBoxLayout;
  options->addWidget(chkR_);
  options->addWidget(chkFileCheck_);
  options->addWidget(chkBack_);
  layout->addLayout(options, 5, 0, 1, 2);
  auto* end_buttons = new QVBoxLayout;
  end_buttons->addWidget(cmdGo_);
  end_buttons->addWidget(cmdEnd_);
  layout->addLayout(end_buttons, 5, 2, Qt::AlignBottom);
  layout->setColumnStretch(0, 2);
  layout->setColumnStretch(1, 3);
  layout->setRowStretch(4, 1);

  mnuHelp_ = menuBar()->addMenu(QStringLiteral(u"ヘルプ(&H)"));
  mnuHelp_->setObjectName(QStringLiteral("mnuHelp"));
  menuHelpReadMe_ = mnuHelp_->addAction(QStringLiteral("ReadMe.txt(&R)"));
  menuHelpReadMe_->setObjectName(QStringLiteral("menuHelpReadMe"));

  resize(860, 600);

  for (QObject* watched : std::initializer_list<QObject*>{
           txtPath_[0], txtPath_[1], txtExt_[0], txtExt_[1], txtCnv_[0], txtCnv_[1], cmbTrg_, cmbTrg_->view(),
           lstFiles_, lstFiles_->viewport(), lstRules_[0], lstRules_[0]->viewport()}) {
    watched->installEventFilter(this);
  }

  connect(txtPath_[0], &QLineEdit::returnPressed, this, [this] { RefreshPathBox(0, true); });
  connect(txtPath_[1], &QLineEdit::returnPressed, this, [this] { RefreshPathBox(1, true); });
  for (int i = 0; i < 2; ++i) {
    connect(txtExt_[i], &QLineEdit::returnPressed, this, [this, i] {
      if (chkExt_[i]->isChecked()) ApplyFilterText(i, true);
    });
    connect(chkExt_[i], &QCheckBox::clicked, this, [this, i] { OnFilterClicked(i); });
  }
  for (int i = 0; i < 5; ++i) connect(cmdAdd_[i], &QPushButton::clicked, this, [this, i] { OnRuleButton(i); });
  connect(lstRules_[0], &QListWidget::itemClicked, this, [this] { OnRuleClicked(); });
  connect(lstRules_[0], &QListWidget::itemSelectionChanged, this, [this] { OnRuleClicked(); });
  connect(cmbTrg_, &QComboBox::activated, this, [this] {
    if (!InternalAccess) InsertCommand();
  });
  connect(cmdRefresh_, &QPushButton::clicked, this, [this] { RefreshPathBox(1, true); });
  connect(cmdGo_, &QPushButton::clicked, this, [this] { OnGo(); });
  connect(cmdExp_, &QPushButton::clicked, this, [this] { OnExplorer(); });
  connect(cmdEnd_, &QPushButton::clicked, this, [this] { OnEnd(); });
  connect(menuHelpReadMe_, &QAction::triggered, this, [this] { OnReadMe(); });
}

void frmMain::Load(const StartInfo& start) {
  Busy busy(*this);

  const std::u16string stored = mdlTools::GetTruePath(start.ProgramFolder);
  mdlTools::SetAppFolder(stored.empty() ? start.ProgramFolder : stored);
  mdlTools::SetCurrentFolder(mdlTools::AppFolder());

  CommandNames();
  mdlOptions::LoadSettings(InitSettingsTable());

  InternalAccess = true;
  for (int k = 1; k <= kCommandCount; ++k) cmbTrg_->addItem(ToQt(CommandNames()[k]));
  active_pattern_ = 0;
  InternalAccess = false;

  ApplySettings();
  for (int i = 0; i < 2; ++i) last_filter_[i] = FromQt(txtExt_[i]->text());

  LoadRules(u"");

  if (start.CommandLine) {
    // A chart, a folder or a shortcut to either selects the target folder.
    std::u16string target = mdlTools::GetFullPath(*start.CommandLine, mdlTools::AppFolder());
    if (platform::FileExists(target)) target = mdlTools::ResolveShortcut(target);
    if (!target.empty()) target = mdlTools::GetExistingFolder(target, u"");
    if (!target.empty()) txtPath_[1]->setText(ToQt(target));
  }

  RefreshPathBox(1, true);
}

void frmMain::ApplySettings() {
  const mdlOptions::SettingsTable& table = mdlOptions::Table();
  RunOptions options;
  options.FromSettings(table);
  InternalAccess = true;
  auto pixels = [&](const char16_t* key) {
    return static_cast<int>(std::lround(table.Number(mdlOptions::kSectionSystem, key) / kTwipsPerPixel));
  };
  move(pixels(u"Window Left"), pixels(u"Window Top"));
  txtPath_[0]->setText(options.MaterialText.empty()
                           ? QString()
                           : ToQt(mdlTools::GetFullPath(options.MaterialText, mdlTools::AppFolder())));
  txtPath_[1]->setText(ToQt(mdlTools::GetExistingFolder(options.TargetText, mdlTools::AppFolder())));
  chkExt_[0]->setChecked(options.IncludeOn);
  txtExt_[0]->setText(ToQt(options.IncludeText));
  chkExt_[1]->setChecked(options.ExcludeOn);
  txtExt_[1]->setText(ToQt(options.ExcludeText));
  chkR_->setChecked(options.RecursiveOn);
  chkFileCheck_->setChecked(options.FileCheckOn);
  chkTB_->setChecked(options.TextModeOn != 0);
  chkBack_->setChecked(options.BackupOn);
  InternalAccess = false;
}

void frmMain::CollectSettings(mdlOptions::SettingsTable& table) const {
  using mdlOptions::SettingValue;
  table.Set(mdlOptions::kSectionSystem, u"Window Top", SettingValue::OfSingle(static_cast<float>(y() * kTwipsPerPixel)));
  table.Set(mdlOptions::kSectionSystem, u"Window Left", SettingValue::OfSingle(static_cast<float>(x() * kTwipsPerPixel)));
  ReadRunOptions().ToSettings(table);
}

std::vector<RuleEntry> frmMain::RuleList() const {
  std::vector<RuleEntry> list;
  for (int row = 0; row < lstRules_[0]->count(); ++row) {
    const QListWidgetItem* item = lstRules_[0]->item(row);
    list.push_back({FromQt(item->text()), item->data(kSplitRole).toInt()});
  }
  return list;
}

RunOptions frmMain::ReadRunOptions() const {
  RunOptions options;
  options.MaterialText = FromQt(txtPath_[0]->text());
  options.TargetText = FromQt(txtPath_[1]->text());
  options.BackupOn = chkBack_->isChecked();
  options.FileCheckOn = chkFileCheck_->isChecked();
  options.RecursiveOn = chkR_->isChecked();
  options.TextModeOn = chkTB_->isChecked() ? 1 : 0;
  options.IncludeOn = chkExt_[0]->isChecked();
  options.IncludeText = FromQt(txtExt_[0]->text());
  options.ExcludeOn = chkExt_[1]->isChecked();
  options.ExcludeText = FromQt(txtExt_[1]->text());
  options.Rules = RuleList();
  return options;
}

void frmMain::SetPathColour(int index, bool ok) {
  QPalette palette = path_palette_;
  if (!ok) palette.setColor(QPalette::Text, kRed);
  txtPath_.at(index)->setPalette(palette);
}

std::u16string frmMain::CheckPathBox(int index) {
  const std::u16string path = mdlTools::CheckPathBox(FromQt(txtPath_.at(index)->text()));
  SetPathColour(index, !path.empty());
  return path;
}

void frmMain::RefreshPathBox(int index, bool force) {
  if (index != 1) return;
  if (CheckPathBox(1).empty()) return;
  const std::u16string folder = mdlTools::GetExistingFolder(FromQt(txtPath_[1]->text()), u"");
  if (folder.empty()) return;
  txtPath_[1]->setText(ToQt(folder));
  txtPath_[1]->end(false);
  if (folder != last_path_[1] || force) {
    Busy busy(*this);
    last_path_[1] = folder;
    RefreshFileList();
  }
}

void frmMain::RefreshFileList() {
  mdlTools::SetCurrentFolder(last_path_[1]);
  clsFilter& filter = mdlAppGlobal::Filter();
  for (int i = 0; i < 2; ++i) {
    filter.SetIsMatchOther(i, chkExt_[i]->isChecked());
    filter.SetPatterns(i, FromQt(txtExt_[i]->text()));
  }
  filter.MakeFileList(last_path_[1]);
  lstFiles_->setUpdatesEnabled(false);
  lstFiles_->clear();
  for (const std::u16string& name : filter.List()) lstFiles_->addItem(new SortedItem(ToQt(name)));
  lstFiles_->setUpdatesEnabled(true);
}

void frmMain::ApplyFilterText(int index, bool force) {
  QLineEdit* box = txtExt_.at(index);
  box->end(false);
  const std::u16string text = FromQt(box->text());
  if (text == last_filter_[index] && !force) return;
  last_filter_[index] = text;
  RefreshPathBox(1, true);
}

void frmMain::OnFilterClicked(int index) {
  if (InternalAccess) return;
  ApplyFilterText(index, !txtExt_[index]->text().isEmpty());
}

void frmMain::DropPath(int index, const QMimeData* data) {
  const std::u16string folder = mdlTools::GetDropFolder(DroppedFiles(data));
  if (folder.empty()) return;
  txtPath_.at(index)->setText(ToQt(folder));
  RefreshPathBox(index, true);
}

RuleEntry frmMain::BuildRuleEntry() {
  const std::u16string search = FromQt(txtCnv_[0]->text());
  const std::u16string replace = FromQt(txtCnv_[1]->text());
  if (search.empty()) return {};
  const std::u16string error = RuleError(search, replace, chkTB_->isChecked() ? 1 : 0);
  if (error.empty()) return MakeRuleEntry(search, replace);
  mdlMessages::ShowMessage(error, u"置換ルール登録", MsgIcon::Exclamation);
  return {};
}

void frmMain::AppendRule(const RuleEntry& entry) {
  const QSignalBlocker quiet(lstRules_[0]);
  lstRules_[0]->addItem(new SortedItem(ToQt(entry.Text), entry.Split));
}

void frmMain::LoadRules(const std::u16string& path) {
  std::vector<RuleEntry> loaded;
  LoadRuleFile(loaded, chkTB_->isChecked() ? 1 : 0, path);
  for (const RuleEntry& entry : loaded) AppendRule(entry);
}

void frmMain::OnRuleButton(int index) {
  QListWidget* list = lstRules_[0];
  switch (index) {
    case 0: {
      const RuleEntry entry = BuildRuleEntry();
      if (!entry.Text.empty()) AppendRule(entry);
      break;
    }
    case 1: {
      QListWidgetItem* current = list->currentItem();
      if (current == nullptr || !current->isSelected()) return OnRuleButton(0);
      const RuleEntry entry = BuildRuleEntry();
      if (entry.Text.empty()) break;
      const QSignalBlocker quiet(list);
      current->setText(ToQt(entry.Text));
      current->setData(kSplitRole, entry.Split);
      break;
    }
    case 2:
      DeleteSelectedRule();
      break;
    case 3: {
      const QSignalBlocker quiet(list);
      list->clear();
      break;
    }
    case 4:
      SortRules();
      break;
    default:
      break;
  }
}

void frmMain::OnRuleClicked() {
  const QListWidgetItem* item = lstRules_[0]->currentItem();
  if (item == nullptr || !item->isSelected()) return;
  std::u16string search, replace;
  SplitRuleText(FromQt(item->text()), item->data(kSplitRole).toInt(), search, replace);
  txtCnv_[0]->setText(ToQt(search));
  txtCnv_[1]->setText(ToQt(replace));
}

void frmMain::DeleteSelectedRule() {
  QListWidget* list = lstRules_[0];
  const QList<QListWidgetItem*> selected = list->selectedItems();
  if (selected.isEmpty()) return;
  const QSignalBlocker quiet(list);
  delete list->takeItem(list->row(selected.front()));
  // No entry is current afterwards, so "change" cannot hit the neighbour by surprise.
  list->setCurrentRow(-1);
}

void frmMain::SortRules() {
  QListWidget* list = lstRules_[0];
  QListWidget* work = lstRules_[1];
  const QSignalBlocker quiet(list);
  work->clear();
  while (list->count() > 0) work->addItem(list->takeItem(0));
  while (work->count() > 0) list->addItem(work->takeItem(0));
}

void frmMain::InsertCommand() {
  QLineEdit* box = txtCnv_.at(active_pattern_);
  box->setText(cmbTrg_->currentText() + box->text());
}

void frmMain::CopyFileName(bool with_folder) {
  const QList<QListWidgetItem*> selected = lstFiles_->selectedItems();
  if (selected.isEmpty()) return;
  QString text = selected.front()->text();
  if (with_folder) text = ToQt(platform::JoinPath(FromQt(txtPath_[1]->text()), FromQt(text)));
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  clipboard->setText(text);
}

void frmMain::DropRuleFiles(const QMimeData* data) {
  for (const std::u16string& file : DroppedFiles(data)) {
    const std::u16string path = mdlTools::ResolveShortcut(file);
    if (platform::FileExists(path)) LoadRules(path);
  }
}

bool frmMain::PreviewKey(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return true;
  }
  if (event->key() == Qt::Key_F5 &&
      (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == 0) {
    RefreshPathBox(1, true);
    return true;
  }
  return false;
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();

  // Drops of files from the file manager.
  const int path_box = watched == txtPath_[0] ? 0 : watched == txtPath_[1] ? 1 : -1;
  const bool on_files = watched == lstFiles_->viewport();
  const bool on_rules = watched == lstRules_[0]->viewport();
  if (path_box >= 0 || on_files || on_rules) {
    if (type == QEvent::DragEnter || type == QEvent::DragMove) {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (DroppedFiles(drag->mimeData()).empty()) {
        drag->ignore();
      } else {
        drag->acceptProposedAction();
      }
      return true;
    }
    if (type == QEvent::Drop) {
      auto* drop = static_cast<QDropEvent*>(event);
      if (on_rules) {
        DropRuleFiles(drop->mimeData());
      } else {
        DropPath(on_files ? 1 : path_box, drop->mimeData());
      }
      drop->acceptProposedAction();
      return true;
    }
  }

  // A key whose release went elsewhere (an access key) leaves nothing held in the input assist.
  if (type == QEvent::FocusOut && watched == cmbTrg_) InternalAccess = false;

  const int ext_box = watched == txtExt_[0] ? 0 : watched == txtExt_[1] ? 1 : -1;
  const int cnv_box = watched == txtCnv_[0] ? 0 : watched == txtCnv_[1] ? 1 : -1;
  auto* text_box = path_box >= 0 || ext_box >= 0 || cnv_box >= 0 ? static_cast<QLineEdit*>(watched) : nullptr;

  if (type == QEvent::FocusIn && text_box != nullptr && busy_ == 0) {
    if (cnv_box >= 0) active_pattern_ = cnv_box;
    mdlGui::SelectAllText(text_box);
    return false;
  }
  if (type == QEvent::FocusOut && text_box != nullptr && busy_ == 0) {
    // Switching to another program or opening a menu leaves the box where it was.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return false;
    if (path_box >= 0) RefreshPathBox(path_box, false);
    if (ext_box >= 0 && chkExt_[ext_box]->isChecked()) ApplyFilterText(ext_box, false);
    return false;
  }

  if (type == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (text_box != nullptr) {
      mdlGui::SelectAllKey(text_box, key->key(), ShiftBits(key->modifiers()));
      return false;
    }
    if (watched == lstFiles_ && key->modifiers() == Qt::ControlModifier &&
        (key->key() == Qt::Key_C || key->key() == Qt::Key_X || key->key() == Qt::Key_F)) {
      CopyFileName(key->key() == Qt::Key_F);
      return true;
    }
    if (watched == lstRules_[0] && key->key() == Qt::Key_Delete) {
      DeleteSelectedRule();
      return true;
    }
  }
  // Browsing the input assist with the keyboard inserts nothing (a key held there sets
  // InternalAccess); Enter inserts when it is released.
  if (type == QEvent::KeyRelease && (watched == cmbTrg_ || watched == cmbTrg_->view())) {
    if (watched == cmbTrg_ && IsEnter(static_cast<QKeyEvent*>(event)->key())) InsertCommand();
    InternalAccess = false;
    return false;
  }
  return QMainWindow::eventFilter(watched, event);
}

void frmMain::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) InternalAccess = false;
  QMainWindow::changeEvent(event);
}

void frmMain::closeEvent(QCloseEvent* event) {
  // A run holds the window until its result is shown; the progress dialog's stop button ends it.
  if (running_) {
    event->ignore();
    return;
  }
  event->accept();
}

void frmMain::OnGo() {
  if (running_) return;
  RunHooks hooks;
  hooks.PathChecked = [this](int index, bool ok) { SetPathColour(index, ok); };
  hooks.Begin = [this] {
    running_ = true;
    run_busy_ = std::make_unique<Busy>(*this);
  };
  hooks.Refresh = [this] { RefreshPathBox(1, true); };
  hooks.End = [this] {
    run_busy_.reset();
    running_ = false;
    raise();
    activateWindow();
  };
  Run(ReadRunOptions(), hooks);
}

void frmMain::OnExplorer() {
  const std::u16string folder = mdlTools::GetExistingFolder(FromQt(txtPath_[1]->text()), u"");
  // Without any folder the file manager opens where it usually does: the home folder.
  mdlTools::ShellOpen(!folder.empty() ? folder : FromQt(QDir::toNativeSeparators(QDir::homePath())));
}

void frmMain::OnReadMe() { mdlTools::ShellOpen(platform::JoinPath(mdlTools::AppFolder(), u"readme.txt")); }

void frmMain::OnEnd() {
  const bool settings = mdlOptions::SaveSettings([this](mdlOptions::SettingsTable& table) { CollectSettings(table); });
  const bool rules = SaveRuleFile(RuleList());
  // What could not be written is lost if the program ends now: the user decides, and No keeps the
  // window (and the rules in it) open.
  if ((!settings || !rules) &&
      !mdlMessages::AskYesNo(u"設定を保存できませんでした。保存せずに終了しますか？", u"終了", MsgIcon::Question)) {
    return;
  }
  close();
}

}  // namespace quarrow
