// Fennick's main window: the source and target folders with their folder lists, the kind of source
// folder, the operations and the conversion mode, the filter with the target folder's charts, and
// the buttons that start a run and end the program.
#pragma once

#include <array>
#include <string>

#include "fennick/Run.h"
#include "toolkit/gui/FilterFrame.h"
#include "toolkit/gui/PathBox.h"
#include "toolkit/gui/MainWindowBase.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace fennick {

using gui::StartInfo;

class MainWindow : public gui::MainWindowBase {
  Q_OBJECT

 public:
  explicit MainWindow(const StartInfo& start, QWidget* parent = nullptr);

  // The controls, by their names; a group takes its index (txtPath, chkExt, txtExt and lstFiles are
  // the base's).
  QLabel* lblsrc() const { return lblsrc_; }
  QLabel* lbltrg() const { return lbltrg_; }
  QComboBox* cmbPath(int index) const { return path_.at(index)->Folders(); }
  QRadioButton* optSrcType(int index) const { return optSrcType_.at(index); }
  QCheckBox* chkR() const { return chkR_; }
  QGroupBox* frMode() const { return frMode_; }
  QRadioButton* optMode(int index) const { return optMode_.at(index); }
  QCheckBox* chkMat() const { return chkMat_; }
  QCheckBox* chkSync() const { return chkSync_; }
  QCheckBox* chkBack() const { return chkBack_; }
  QCheckBox* chkTrash() const { return chkTrash_; }
  QLabel* Label1() const { return Label1_; }
  QListWidget* lstSort() const { return lstSort_; }

  const std::u16string& LastPath(int index) const { return path_.at(index)->LastPath(); }
  RunOptions ReadRunOptions() const;
  // The backup box and the mode buttons take part only while conversion is on, the trash box only
  // while sync deletion is.
  void UpdateConvertControls();

 protected:
  gui::PathBox* PathBoxAt(int index) const override { return index == 0 || index == 1 ? path_[index] : nullptr; }
  gui::FilterFrame& Frame() const override { return *frmSelect_; }
  // Both folder boxes, their folder lists and the chart list.
  void RefreshAll() override;
  void ShowSettings(const settings::SettingsTable& table) override;
  void StoreSettings(settings::SettingsTable& table) const override { ReadRunOptions().ToSettings(table); }
  void AfterShowingSettings() override { UpdateConvertControls(); }
  BoundRun BindRun() override;

 private:
  void BuildControls();

  QLabel* lblsrc_ = nullptr;
  QLabel* lbltrg_ = nullptr;
  std::array<gui::PathBox*, 2> path_{};
  std::array<QRadioButton*, 2> optSrcType_{};
  QCheckBox* chkR_ = nullptr;
  QGroupBox* frMode_ = nullptr;
  std::array<QRadioButton*, 3> optMode_{};
  QCheckBox* chkMat_ = nullptr;
  QCheckBox* chkSync_ = nullptr;
  QCheckBox* chkBack_ = nullptr;
  QCheckBox* chkTrash_ = nullptr;
  gui::FilterFrame* frmSelect_ = nullptr;
  QLabel* Label1_ = nullptr;
  QListWidget* lstSort_ = nullptr;
};

}  // namespace fennick
