#include "quarrow/MainWindow.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "quarrow/Commands.h"
#include "quarrow/Check.h"
#include "quarrow/RuleFile.h"
#include "quarrow/Settings.h"
#include "toolkit/gui/Controls.h"
#include "toolkit/gui/QtText.h"
#include "toolkit/files/Paths.h"
#include "toolkit/platform/fs.h"

namespace quarrow {
namespace {

using gui::Button;
using gui::CheckBox;
using gui::kTieRole;
using gui::Label;
using gui::SortedItem;
using gui::TextBox;

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

}  // namespace

MainWindow::MainWindow(const StartInfo& start, QWidget* parent)
    : MainWindowBase(start, QStringLiteral("Quarrow"), QStringLiteral(u"Explorerからファイルをラッグ＆ドロップ。"), parent) {
  BuildControls();
  Load(start, InitSettingsTable());
}

void MainWindow::BuildControls() {
  QWidget* central = centralWidget();
  lbltrg_ = Label(central, QStringLiteral("lbltrg"), QStringLiteral(u"ターゲットフォルダ…変換対象フォルダ"));
  path_[1] = new gui::PathBox(*this, TextBox(central, QStringLiteral("txtPath1")));
  lblsrc_ = Label(central, QStringLiteral("lblsrc"), QStringLiteral(u"マテリアルベースフォルダ"),
                  QStringLiteral(u"マテリアル指定を使用している場合使います。対象コマンド…#WAV,#BMP"));
  path_[0] = new gui::PathBox(*this, TextBox(central, QStringLiteral("txtPath0")));
  path_[0]->Refreshes = false;  // only checked by a run

  // The filter of the files to convert, with the target folder's file list.
  frmSelect_ = new gui::FilterFrame(*this, QStringLiteral(u"変換ファイルフィルタ"), true, *path_[1], cmdRefresh());

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
  for (int k = 1; k <= kCommandCount; ++k) cmbTrg_->addItem(ToQt(CommandNames()[k]));
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
  cmdCheck_ = Button(central, QStringLiteral("cmdCheck"), QStringLiteral(u"参照チェック(&K)"),
                     QStringLiteral(u"譜面が指定するファイルがあるかを調べます（何も変更しません）"));

  auto* layout = new QGridLayout(central);
  layout->addWidget(lbltrg_, 0, 0, 1, 2);
  layout->addWidget(txtPath(1), 1, 0, 1, 2);
  layout->addWidget(cmdExp(), 1, 2);
  layout->addWidget(lblsrc_, 2, 0, 1, 2);
  layout->addWidget(txtPath(0), 3, 0, 1, 3);
  layout->addWidget(frmSelect_, 4, 0);
  layout->addWidget(frCnv_, 4, 1, 1, 2);
  auto* options = new QVBoxLayout;
  options->addWidget(chkR_);
  options->addWidget(chkFileCheck_);
  options->addWidget(chkBack_);
  layout->addLayout(options, 5, 0, 1, 2);
  auto* end_buttons = new QVBoxLayout;
  end_buttons->addWidget(cmdCheck_);
  end_buttons->addWidget(cmdPreview());
  end_buttons->addWidget(cmdGo());
  end_buttons->addWidget(cmdEnd());
  layout->addLayout(end_buttons, 5, 2, Qt::AlignBottom);
  layout->setColumnStretch(0, 2);
  layout->setColumnStretch(1, 3);
  layout->setRowStretch(4, 1);
  resize(860, 600);

  for (QLineEdit* box : txtCnv_) WatchTextBox(box);
  WatchChoiceList(cmbTrg_, [this] { InsertCommand(); });
  lstRules_[0]->installEventFilter(this);
  lstRules_[0]->viewport()->installEventFilter(this);

  for (int i = 0; i < 5; ++i) connect(cmdAdd_[i], &QPushButton::clicked, this, [this, i] { OnRuleButton(i); });
  connect(cmdCheck_, &QPushButton::clicked, this, [this] {
    if (!Running()) OnCheck();
  });
  connect(lstRules_[0], &QListWidget::itemClicked, this, [this] { OnRuleClicked(); });
  connect(lstRules_[0], &QListWidget::itemSelectionChanged, this, [this] { OnRuleClicked(); });
}

void MainWindow::ShowSettings(const settings::SettingsTable& table) {
  RunOptions options;
  options.FromSettings(table);
  path_[0]->SetText(options.MaterialText.empty() ? std::u16string()
                                                 : paths::GetFullPath(options.MaterialText, ProgramFolder()));
  path_[1]->SetText(paths::GetExistingFolder(options.TargetText, ProgramFolder()));
  frmSelect_->ShowFilter(options);
  chkR_->setChecked(options.RecursiveOn);
  chkFileCheck_->setChecked(options.FileCheckOn);
  chkTB_->setChecked(options.TextModeOn);
  chkBack_->setChecked(options.BackupOn);
}

bool MainWindow::SaveFiles() {
  const bool settings = MainWindowBase::SaveFiles();
  const bool rules = SaveRuleFile(RuleList(), OwnRuleFile(), Messages());
  return settings && rules;
}

std::vector<RuleEntry> MainWindow::RuleList() const {
  std::vector<RuleEntry> list;
  for (int row = 0; row < lstRules_[0]->count(); ++row) {
    const QListWidgetItem* item = lstRules_[0]->item(row);
    list.push_back({FromQt(item->text()), item->data(kTieRole).toInt()});
  }
  return list;
}

RunOptions MainWindow::ReadRunOptions() const {
  RunOptions options;
  options.MaterialText = path_[0]->Text();
  options.TargetText = path_[1]->Text();
  options.BackupOn = chkBack_->isChecked();
  options.FileCheckOn = chkFileCheck_->isChecked();
  options.RecursiveOn = chkR_->isChecked();
  options.TextModeOn = chkTB_->isChecked();
  frmSelect_->ReadFilter(options);
  options.Rules = RuleList();
  return options;
}

RuleEntry MainWindow::BuildRuleEntry() {
  const std::u16string search = FromQt(txtCnv_[0]->text());
  const std::u16string replace = FromQt(txtCnv_[1]->text());
  if (search.empty()) return {};
  const std::u16string error = RuleError(search, replace, RuleCase(chkTB_->isChecked()));
  if (error.empty()) return MakeRuleEntry(search, replace);
  Messages().ShowMessage(error, u"置換ルール登録", MsgIcon::Exclamation);
  return {};
}

void MainWindow::AppendRule(const RuleEntry& entry) {
  const QSignalBlocker quiet(lstRules_[0]);
  lstRules_[0]->addItem(new SortedItem(ToQt(entry.Text), entry.Split));
}

void MainWindow::LoadRules(const std::u16string& path) {
  std::vector<RuleEntry> loaded;
  LoadRuleFile(loaded, RuleCase(chkTB_->isChecked()), path, Messages());
  for (const RuleEntry& entry : loaded) AppendRule(entry);
}

void MainWindow::OnRuleButton(int index) {
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
      current->setData(kTieRole, entry.Split);
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

void MainWindow::OnRuleClicked() {
  const QListWidgetItem* item = lstRules_[0]->currentItem();
  if (item == nullptr || !item->isSelected()) return;
  std::u16string search, replace;
  SplitRuleText(FromQt(item->text()), item->data(kTieRole).toInt(), search, replace);
  txtCnv_[0]->setText(ToQt(search));
  txtCnv_[1]->setText(ToQt(replace));
}

void MainWindow::DeleteSelectedRule() {
  QListWidget* list = lstRules_[0];
  const QList<QListWidgetItem*> selected = list->selectedItems();
  if (selected.isEmpty()) return;
  const QSignalBlocker quiet(list);
  delete list->takeItem(list->row(selected.front()));
  // No entry is current afterwards, so "change" cannot hit the neighbour by surprise.
  list->setCurrentRow(-1);
}

void MainWindow::SortRules() {
  QListWidget* list = lstRules_[0];
  QListWidget* work = lstRules_[1];
  const QSignalBlocker quiet(list);
  work->clear();
  while (list->count() > 0) work->addItem(list->takeItem(0));
  while (work->count() > 0) list->addItem(work->takeItem(0));
}

void MainWindow::InsertCommand() {
  QLineEdit* box = txtCnv_.at(active_pattern_);
  box->setText(cmbTrg_->currentText() + box->text());
}

void MainWindow::DropRuleFiles(const QMimeData* data) {
  for (const std::u16string& file : gui::DroppedFiles(data)) {
    const std::u16string path = paths::ResolveShortcut(file);
    if (platform::FileExists(path)) LoadRules(path);
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lstRules_[0]->viewport() &&
      gui::TakeFileDrop(event, [this](const QMimeData* data) { DropRuleFiles(data); })) {
    return true;
  }
  if (event->type() == QEvent::FocusIn && !IsBusy()) {
    for (int i = 0; i < 2; ++i) {
      if (watched == txtCnv_[i]) active_pattern_ = i;
    }
  }
  if (watched == lstRules_[0] && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
    DeleteSelectedRule();
    return true;
  }
  return MainWindowBase::eventFilter(watched, event);
}

MainWindow::BoundRun MainWindow::BindRun() { return Bind(&Run, ReadRunOptions()); }

void MainWindow::OnCheck() {
  const CheckReport report = CheckReferences(Context(), ReadRunOptions(), WindowRunHooks());
  // A check that stopped at a warning has said why; one the user stopped shows no half a report.
  if (report.Outcome != RunOutcome::Finished) return;
  // One item a chart, its references as lines under it; one a folder, the files no chart names
  // under it: a place shows once, however many lines it has.
  std::vector<gui::ListItem> items;
  std::size_t problems = 0;
  auto close_chart = [&] {
    if (items.empty() || items.back().Details.empty() || !items.back().Columns[1].empty()) return;
    const std::size_t count = items.back().Details.size();
    items.back().Columns[1] = u"参照 " + paths::Decimal(static_cast<std::int64_t>(count)) + u" 件" +
                              (problems != 0 ? u"、要確認 " + paths::Decimal(static_cast<std::int64_t>(problems)) + u" 件"
                                             : std::u16string());
  };
  std::u16string place;
  for (CheckRow& row : CheckRows(report)) {
    const bool chart = !row.Line.empty();
    if (items.empty() || row.Place != place) {
      close_chart();
      place = row.Place;
      problems = 0;
      items.push_back({{row.Place, std::u16string()}, {}});
    }
    if (chart) {
      problems += row.State == StateText(RefState::Found) ? 0 : 1;
      items.back().Details.push_back(row.Line + u" 行: " + row.Reference + u" … " + row.State +
                                     (row.Stored.empty() ? std::u16string() : u" → " + row.Stored));
    } else {
      items.back().Details.push_back(row.Reference);
      items.back().Columns[1] = u"未使用 " + paths::Decimal(static_cast<std::int64_t>(items.back().Details.size())) + u" 件";
    }
  }
  close_chart();
  delete check_list_;
  check_list_ = new gui::ListWindow(QStringLiteral(u"参照チェック - ") + windowTitle(),
                                    {QStringLiteral(u"譜面・フォルダ"), QStringLiteral(u"結果")}, this);
  check_list_->setObjectName(QStringLiteral("frmCheck"));
  check_list_->setAttribute(Qt::WA_DeleteOnClose);
  check_list_->SetItems(std::move(items));
  check_list_->SetSummary(CheckSummary(report));
  check_list_->show();
}

}  // namespace quarrow
