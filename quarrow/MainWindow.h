// Quarrow's main window: the folder boxes, the file filter with the target folder's file list, the
// rule editor, the options, and the buttons that start a run and end the program.
#pragma once

#include <QPointer>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "quarrow/Rule.h"
#include "quarrow/Run.h"
#include "quarrow/RuleFile.h"
#include "toolkit/gui/FilterFrame.h"
#include "toolkit/gui/PathBox.h"
#include "toolkit/gui/ListWindow.h"
#include "toolkit/gui/MainWindowBase.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMimeData;

namespace quarrow {

using gui::StartInfo;

class MainWindow : public gui::MainWindowBase {
  Q_OBJECT

 public:
  explicit MainWindow(const StartInfo& start, QWidget* parent = nullptr);

  // The controls, by their names; a group takes its index (txtPath, chkExt, txtExt and lstFiles are
  // the base's).
  QLabel* lbltrg() const { return lbltrg_; }
  QLabel* lblsrc() const { return lblsrc_; }
  QGroupBox* frCnv() const { return frCnv_; }
  QListWidget* lstRules(int index) const { return lstRules_.at(index); }
  QLabel* Label1(int index) const { return Label1_.at(index); }
  QLineEdit* txtCnv(int index) const { return txtCnv_.at(index); }
  QComboBox* cmbTrg() const { return cmbTrg_; }
  QPushButton* cmdAdd(int index) const { return cmdAdd_.at(index); }
  QCheckBox* chkTB() const { return chkTB_; }
  QCheckBox* chkR() const { return chkR_; }
  QCheckBox* chkFileCheck() const { return chkFileCheck_; }
  QCheckBox* chkBack() const { return chkBack_; }
  QPushButton* cmdCheck() const { return cmdCheck_; }
  // The reference check's report, while its list window is open.
  gui::ListWindow* CheckList() const { return check_list_; }

  // The entries of the rule list in their order.
  std::vector<RuleEntry> RuleList() const;
  RunOptions ReadRunOptions() const;
  // The entry for the pattern boxes; an empty text when there is none (refused with a message when
  // the pair is no usable rule).
  RuleEntry BuildRuleEntry();

 protected:
  gui::PathBox* PathBoxAt(int index) const override { return index == 0 || index == 1 ? path_[index] : nullptr; }
  gui::FilterFrame& Frame() const override { return *frmSelect_; }
  void RefreshAll() override { path_[1]->Refresh(true); }
  void ShowSettings(const settings::SettingsTable& table) override;
  void StoreSettings(settings::SettingsTable& table) const override { ReadRunOptions().ToSettings(table); }
  void AfterSettings() override { LoadRules(OwnRuleFile()); }
  // The rule file beside the program, which the window reads at start and writes at the end.
  std::u16string OwnRuleFile() const { return RuleFilePath(ProgramFolder(), ProgramName()); }
  bool SaveFiles() override;
  BoundRun BindRun() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void AppendRule(const RuleEntry& entry);
  void LoadRules(const std::u16string& path);
  void OnRuleButton(int index);
  void OnRuleClicked();
  void DeleteSelectedRule();
  void SortRules();
  void InsertCommand();
  void DropRuleFiles(const QMimeData* data);
  // The reference check with the window's folders and filter, its report in a list window.
  void OnCheck();

  QLabel* lbltrg_ = nullptr;
  QLabel* lblsrc_ = nullptr;
  std::array<gui::PathBox*, 2> path_{};
  gui::FilterFrame* frmSelect_ = nullptr;
  QGroupBox* frCnv_ = nullptr;
  std::array<QListWidget*, 2> lstRules_{};
  std::array<QLabel*, 3> Label1_{};
  std::array<QLineEdit*, 2> txtCnv_{};
  QComboBox* cmbTrg_ = nullptr;
  std::array<QPushButton*, 5> cmdAdd_{};
  QCheckBox* chkTB_ = nullptr;
  QCheckBox* chkR_ = nullptr;
  QCheckBox* chkFileCheck_ = nullptr;
  QCheckBox* chkBack_ = nullptr;
  QPushButton* cmdCheck_ = nullptr;
  QPointer<gui::ListWindow> check_list_;
  // The pattern box the input assist writes into: the one that last had the focus.
  int active_pattern_ = 0;
};

}  // namespace quarrow
