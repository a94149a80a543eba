#include "tobrenz/MainWindow.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "tobrenz/Settings.h"
#include "toolkit/gui/Controls.h"
#include "toolkit/gui/QtText.h"
#include "toolkit/files/Paths.h"
#include "toolkit/platform/fs.h"

namespace tobrenz {
namespace {

// The extension of a path's last name, without its dot; empty when it has none.
std::u16string ExtensionOf(const std::u16string& path) {
  const std::u16string name = platform::LastName(path);
  const std::size_t dot = name.rfind(u'.');
  return dot == std::u16string::npos ? std::u16string() : name.substr(dot + 1);
}

// A pair as a preview lists it: the file that would go, with the one that stays in its detail line.
gui::ListItem PairItem(const PairResult& pair) {
  const auto bytes = [](std::int64_t size) { return paths::Decimal(size) + u" バイト"; };
  const std::u16string& gone = pair.PartnerGoes ? pair.Partner : pair.Target;
  const std::u16string& kept = pair.PartnerGoes ? pair.Target : pair.Partner;
  const std::int64_t gone_size = pair.PartnerGoes ? pair.PartnerSize : pair.TargetSize;
  const std::int64_t kept_size = pair.PartnerGoes ? pair.TargetSize : pair.PartnerSize;
  return {{gone, u"削除", bytes(gone_size)}, {u"残す: " + kept + u" (" + bytes(kept_size) + u")"}};
}

}  // namespace

MainWindow::MainWindow(const StartInfo& start, QWidget* parent)
    : MainWindowBase(start, QStringLiteral("Tobrenz"), QStringLiteral(u"Explorerからファイルをラッグ＆ドロップ。"), parent) {
  BuildControls();
  Load(start, InitSettingsTable());
}

void MainWindow::BuildControls() {
  QWidget* central = centralWidget();
  lbltrg_ = gui::Label(central, QStringLiteral("lbltrg"), QStringLiteral(u"ターゲットフォルダ…変換対象フォルダ"));
  chkR_ = gui::CheckBox(central, QStringLiteral("chkR"), QStringLiteral(u"再帰処理(&R)"));
  chkTrash_ = gui::CheckBox(central, QStringLiteral("chkTrash"), QStringLiteral(u"ごみ箱に移動"),
                               QStringLiteral(u"削除するファイルを、完全には削除せずにごみ箱に移動します。"
                                              u"ごみ箱はドライブごとにあり、移動できないファイルは削除しません。"));
  target_ = new gui::PathBox(*this, gui::TextBox(central, QStringLiteral("txtPath1")));
  lblCmp_ = gui::Label(central, QStringLiteral("lblCmp"), QStringLiteral(u"比較ファイル拡張子"),
                          QStringLiteral(u"”対象ファイルフィルタ”で絞り込んだファイルを、ここで指定した"
                                         u"同名拡張子違いファイルとサイズ比較します。"));
  txtDot_ = gui::Label(central, QStringLiteral("txtDot"), QStringLiteral(u"．"));
  txtCmp_ = gui::TextBox(central, QStringLiteral("txtCmp"));
  frmSelect_ = new gui::FilterFrame(*this, QStringLiteral(u"対象ファイルフィルタ"), true, *target_);

  auto* layout = new QGridLayout(central);
  auto* top = new QHBoxLayout;
  top->addWidget(lbltrg_);
  top->addStretch();
  top->addWidget(chkR_);
  top->addWidget(chkTrash_);
  top->addWidget(cmdExp());
  top->addWidget(cmdRefresh());
  layout->addLayout(top, 0, 0);
  layout->addWidget(txtPath(1), 1, 0);
  auto* compare = new QHBoxLayout;
  compare->addWidget(lblCmp_);
  compare->addWidget(txtDot_);
  compare->addWidget(txtCmp_);
  compare->addStretch();
  compare->addWidget(cmdPreview());
  compare->addWidget(cmdGo());
  compare->addWidget(cmdEnd());
  layout->addLayout(compare, 2, 0);
  layout->addWidget(frmSelect_, 3, 0);
  layout->setRowStretch(3, 1);
  resize(560, 520);

  QWidget* order[] = {cmdGo(), chkR_, chkTrash_, txtPath(1), cmdExp(), cmdRefresh(), txtCmp_, cmdEnd(),
                      chkExt(0), txtExt(0), chkExt(1), txtExt(1), lstFiles(), cmdPreview()};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
  cmdGo()->setFocus();

  WatchTextBox(txtCmp_);
  txtCmp_->installEventFilter(this);
}

void MainWindow::ShowSettings(const settings::SettingsTable& table) {
  RunOptions options;
  options.FromSettings(table);
  target_->SetText(paths::GetExistingFolder(options.TargetText, ProgramFolder()));
  frmSelect_->ShowFilter(options);
  chkR_->setChecked(options.RecursiveOn);
  txtCmp_->setText(ToQt(options.CompareExtText));
  chkTrash_->setChecked(options.TrashOn);
}

RunOptions MainWindow::ReadRunOptions() const {
  RunOptions options;
  options.TargetText = target_->Text();
  options.RecursiveOn = chkR_->isChecked();
  options.CompareExtText = FromQt(txtCmp_->text());
  options.TrashOn = chkTrash_->isChecked();
  frmSelect_->ReadFilter(options);
  return options;
}

MainWindow::BoundRun MainWindow::BindRun() {
  return Bind(&Run, ReadRunOptions(), [this](RunHooks& hooks, gui::Plan* plan) {
    hooks.CompareExtChecked = [this](bool ok) { gui::ShowValid(txtCmp_, ok); };
    if (plan == nullptr) return;
    hooks.Pair = [plan](const PairResult& pair) {
      if (pair.Done) plan->Items.push_back(PairItem(pair));
    };
  });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // A dropped file gives its extension; the box is checked only when a run starts.
  if (watched == txtCmp_ && gui::TakeFileDrop(event, [this](const QMimeData* data) {
        const std::vector<std::u16string> files = gui::DroppedFiles(data);
        if (!files.empty()) txtCmp_->setText(Readable(ExtensionOf(files.front())));
      })) {
    return true;
  }
  return MainWindowBase::eventFilter(watched, event);
}

}  // namespace tobrenz
