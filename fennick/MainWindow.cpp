#include "fennick/MainWindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "fennick/Settings.h"
#include "toolkit/gui/Controls.h"
#include "toolkit/files/Paths.h"

namespace fennick {

using gui::CheckBox;
using gui::Label;
using gui::OptionButton;
using gui::TextBox;

MainWindow::MainWindow(const StartInfo& start, QWidget* parent) : MainWindowBase(start, QStringLiteral("Fennick"), QString(), parent) {
  BuildControls();
  Load(start, InitSettingsTable());
}

void MainWindow::BuildControls() {
  QWidget* central = centralWidget();
  // The hidden sorted list the subfolder names of both folder lists pass through.
  lstSort_ = new QListWidget(central);
  lstSort_->setObjectName(QStringLiteral("lstSort"));
  lstSort_->setSortingEnabled(true);
  lstSort_->hide();
  for (int i = 0; i < 2; ++i) {
    auto* folders = new QComboBox(central);
    folders->setObjectName(QStringLiteral("cmbPath%1").arg(i));
    folders->setMinimumContentsLength(16);
    folders->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    path_[i] = new gui::PathBox(*this, TextBox(central, QStringLiteral("txtPath%1").arg(i)), folders, lstSort_);
  }

  lblsrc_ = Label(central, QStringLiteral("lblsrc"), QStringLiteral(u"ソースフォルダ…"));
  optSrcType_[1] = OptionButton(central, QStringLiteral("optSrcType1"),
                                QStringLiteral(u"マテリアルサウンドセットフォルダ(&S)"),
                                QStringLiteral(u"BM98のMaterialフォルダにあるサウンドセットを指定します。"));
  optSrcType_[0] = OptionButton(central, QStringLiteral("optSrcType0"), QStringLiteral(u"マテリアルベースフォルダ(&M)"),
                                QStringLiteral(u"BM98のMaterialフォルダを指定します。"));
  auto* source_type = new QButtonGroup(this);
  for (QRadioButton* option : optSrcType_) source_type->addButton(option);
  lbltrg_ = Label(central, QStringLiteral("lbltrg"), QStringLiteral(u"ターゲットフォルダ…変換対象フォルダ"));
  chkR_ = CheckBox(central, QStringLiteral("chkR"), QStringLiteral(u"再帰処理(&R) "));

  frMode_ = new QGroupBox(QStringLiteral(u"変換モード"), central);
  frMode_->setObjectName(QStringLiteral("frMode"));
  optMode_[0] = OptionButton(frMode_, QStringLiteral("optMode0"), QStringLiteral(u"ノーマル(&N)"),
                             QStringLiteral(u"マテリアル指定の無いもののみを対象にします。"));
  optMode_[1] = OptionButton(frMode_, QStringLiteral("optMode1"), QStringLiteral(u"再定義(&P)"),
                             QStringLiteral(u"マテリアル指定の有無に関わらず対象にします。"));
  optMode_[2] = OptionButton(frMode_, QStringLiteral("optMode2"), QStringLiteral(u"クリア(&W)"),
                             QStringLiteral(u"マテリアル指定を解除します。ソースフォルダ指定無しでも実行できます。"));
  auto* modes = new QHBoxLayout(frMode_);
  for (QRadioButton* option : optMode_) modes->addWidget(option);
  chkMat_ = CheckBox(central, QStringLiteral("chkMat"), QStringLiteral(u"マテリアル変換(&C) "),
                     QStringLiteral(u"リスト内ファイルの#WAV、#BMP指定に対して、そのファイルがソースフォルダに存在すれば、"
                                    u"マテリアル指定を行います。"));
  chkSync_ = CheckBox(central, QStringLiteral("chkSync"), QStringLiteral(u"同期削除(&D)"),
                      QStringLiteral(u"同名のファイルがソースフォルダにあれば、ターゲットフォルダからそのファイルを削除します。"));
  chkBack_ = CheckBox(central, QStringLiteral("chkBack"), QStringLiteral(u"バックアップ(*.cbk)(&B)"));
  chkTrash_ = CheckBox(central, QStringLiteral("chkTrash"), QStringLiteral(u"ごみ箱に移動"),
                       QStringLiteral(u"同期削除するファイル・フォルダを、完全には削除せずにごみ箱に移動します。"
                                      u"ごみ箱はドライブごとにあり、移動できないものは削除しません。"));

  frmSelect_ =
      new gui::FilterFrame(*this, QStringLiteral(u"マテリアル変換ファイルフィルタ"), false, *path_[1], cmdRefresh());
  Label1_ = Label(central, QStringLiteral("Label1"), QStringLiteral(u"Explorerからファイルをラッグ＆ドロップ。"));

  auto* layout = new QGridLayout(central);
  layout->addWidget(lblsrc_, 0, 0);
  auto* source_types = new QHBoxLayout;
  source_types->addWidget(optSrcType_[1]);
  source_types->addWidget(optSrcType_[0]);
  source_types->addStretch();
  layout->addLayout(source_types, 0, 1, 1, 2);
  layout->addWidget(txtPath(0), 1, 0, 1, 2);
  layout->addWidget(cmbPath(0), 1, 2);
  layout->addWidget(lbltrg_, 2, 0);
  layout->addWidget(chkR_, 2, 1);
  layout->addWidget(txtPath(1), 3, 0, 1, 2);
  layout->addWidget(cmbPath(1), 3, 2);
  auto* operations = new QGridLayout;
  operations->addWidget(chkMat_, 0, 0);
  operations->addWidget(frMode_, 0, 1, 2, 1);
  operations->addWidget(chkBack_, 1, 0);
  operations->addWidget(chkSync_, 2, 0);
  operations->addWidget(chkTrash_, 2, 1);
  operations->setColumnStretch(2, 1);
  layout->addLayout(operations, 4, 0, 1, 3);
  layout->addWidget(frmSelect_, 5, 0, 1, 3);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Label1_);
  buttons->addStretch();
  buttons->addWidget(cmdExp());
  buttons->addWidget(cmdPreview());
  buttons->addWidget(cmdGo());
  buttons->addWidget(cmdEnd());
  layout->addLayout(buttons, 6, 0, 1, 3);
  layout->setColumnStretch(0, 1);
  layout->setColumnStretch(1, 1);
  layout->setRowStretch(5, 1);
  resize(640, 620);

  for (QCheckBox* box : {chkMat_, chkSync_}) {
    connect(box, &QCheckBox::clicked, this, [this] {
      if (!InternalAccess) UpdateConvertControls();
    });
  }
}

void MainWindow::UpdateConvertControls() {
  const bool on = chkMat_->isChecked();
  chkBack_->setEnabled(on);
  for (QRadioButton* option : optMode_) option->setEnabled(on);
  chkTrash_->setEnabled(chkSync_->isChecked());
}

void MainWindow::RefreshAll() {
  path_[0]->Refresh(true);
  path_[1]->Refresh(true);
}

void MainWindow::ShowSettings(const settings::SettingsTable& table) {
  RunOptions options;
  options.FromSettings(table);
  path_[0]->SetText(paths::GetExistingFolder(options.SourceText, ProgramFolder()));
  path_[1]->SetText(paths::GetExistingFolder(options.TargetText, ProgramFolder()));
  frmSelect_->ShowFilter(options);
  chkSync_->setChecked(options.SyncDeleteOn);
  chkMat_->setChecked(options.ConvertOn);
  optMode_.at(static_cast<std::size_t>(options.ConvertMode))->setChecked(true);
  chkBack_->setChecked(options.BackupOn);
  chkR_->setChecked(options.RecursiveOn);
  optSrcType_[options.BaseFolderOn ? 0 : 1]->setChecked(true);
  chkTrash_->setChecked(options.TrashOn);
}

RunOptions MainWindow::ReadRunOptions() const {
  RunOptions options;
  options.SourceText = path_[0]->Text();
  options.TargetText = path_[1]->Text();
  options.BaseFolderOn = optSrcType_[0]->isChecked();
  options.RecursiveOn = chkR_->isChecked();
  options.BackupOn = chkBack_->isChecked();
  options.SyncDeleteOn = chkSync_->isChecked();
  options.ConvertOn = chkMat_->isChecked();
  options.TrashOn = chkTrash_->isChecked();
  options.ConvertMode = optMode_[2]->isChecked()   ? ConvertModes::Clear
                       : optMode_[1]->isChecked() ? ConvertModes::Redefine
                                                  : ConvertModes::Normal;
  frmSelect_->ReadFilter(options);
  return options;
}

MainWindow::BoundRun MainWindow::BindRun() { return Bind(&Run, ReadRunOptions()); }

}  // namespace fennick
