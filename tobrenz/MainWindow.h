// Tobrenz's main window: the target folder, the comparison extension, the filter with the target
// folder's files, and the buttons that start a run and end the program.
#pragma once

#include <string>

#include "tobrenz/Run.h"
#include "toolkit/gui/FilterFrame.h"
#include "toolkit/gui/PathBox.h"
#include "toolkit/gui/MainWindowBase.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace tobrenz {

using gui::StartInfo;

class MainWindow : public gui::MainWindowBase {
  Q_OBJECT

 public:
  explicit MainWindow(const StartInfo& start, QWidget* parent = nullptr);

  // The controls, by their names; a group takes its index (txtPath, chkExt, txtExt and lstFiles are
  // the base's). There is no txtPath(0).
  QLabel* lbltrg() const { return lbltrg_; }
  QCheckBox* chkR() const { return chkR_; }
  QCheckBox* chkTrash() const { return chkTrash_; }
  QLabel* lblCmp() const { return lblCmp_; }
  QLabel* txtDot() const { return txtDot_; }
  QLineEdit* txtCmp() const { return txtCmp_; }

  RunOptions ReadRunOptions() const;

 protected:
  gui::PathBox* PathBoxAt(int index) const override { return index == 1 ? target_ : nullptr; }
  gui::FilterFrame& Frame() const override { return *frmSelect_; }
  void RefreshAll() override { target_->Refresh(true); }
  void ShowSettings(const settings::SettingsTable& table) override;
  void StoreSettings(settings::SettingsTable& table) const override { ReadRunOptions().ToSettings(table); }
  BoundRun BindRun() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();

  QLabel* lbltrg_ = nullptr;
  QCheckBox* chkR_ = nullptr;
  QCheckBox* chkTrash_ = nullptr;
  gui::PathBox* target_ = nullptr;
  QLabel* lblCmp_ = nullptr;
  QLabel* txtDot_ = nullptr;
  QLineEdit* txtCmp_ = nullptr;
  gui::FilterFrame* frmSelect_ = nullptr;
};

}  // namespace tobrenz
