// Quarrow's main window: the folder boxes, the file filter with the target folder's file list, the
// rule editor, the options, and the buttons that start a run and end the program.
#pragma once

#include <QMainWindow>
#include <QPalette>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "quarrow/clsRules.h"
#include "quarrow/mdlMain.h"
#include "toolkit/mdlOptions.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMimeData;
class QPushButton;

namespace quarrow {

// What the window starts from: the folder of the program (its settings file, rule file and readme
// live there) and the whole text of the command line when arguments were given.
struct StartInfo {
  std::u16string ProgramFolder;
  std::optional<std::u16string> CommandLine;
};

class frmMain : public QMainWindow {
  Q_OBJECT

 public:
  explicit frmMain(const StartInfo& start, QWidget* parent = nullptr);
  ~frmMain() override;

  // While true the handlers of chkExt and cmbTrg do nothing: the program is filling controls, or a
  // key is held in cmbTrg.
  bool InternalAccess = false;

  // The controls, by their names; a group takes its index.
  QLabel* lbltrg() const { return lbltrg_; }
  QLabel* lblsrc() const { return lblsrc_; }
  QLineEdit* txtPath(int index) const { return txtPath_.at(index); }
  QPushButton* cmdExp() const { return cmdExp_; }
  QGroupBox* frmSelect() const { return frmSelect_; }
  QCheckBox* chkExt(int index) const { return chkExt_.at(index); }
  QLineEdit* txtExt(int index) const { return txtExt_.at(index); }
  QPushButton* cmdRefresh() const { return cmdRefresh_; }
  QListWidget* lstFiles() const { return lstFiles_; }
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
  QPushButton* cmdGo() const { return cmdGo_; }
  QPushButton* cmdEnd() const { return cmdEnd_; }
  QMenu* mnuHelp() const { return mnuHelp_; }
  QAction* menuHelpReadMe() const { return menuHelpReadMe_; }

  // The pattern box the input assist writes into: the one that last had the focus.
  int ActivePatternBox() const { return active_pattern_; }
  const std::u16string& LastPath(int index) const { return last_path_.at(index); }
  const std::u16string& LastFilter(int index) const { return last_filter_.at(index); }

  // The entries of the rule list in their order.
  std::vector<RuleEntry> RuleList() const;
  RunOptions ReadRunOptions() const;

  // The folder box's path when it names an existing folder (normal text), else empty (red text).
  std::u16string CheckPathBox(int index);
  void RefreshPathBox(int index, bool force);
  void RefreshFileList();
  void ApplyFilterText(int index, bool force);
  void DropPath(int index, const QMimeData* data);
  // The entry for the pattern boxes; an empty text when there is none (refused with a message when
  // the pair is no usable rule).
  RuleEntry BuildRuleEntry();

  void ApplySettings();
  void CollectSettings(mdlOptions::SettingsTable& table) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  class Busy;
  class KeyPreview;

  void BuildControls();
  void Load(const StartInfo& start);
  bool PreviewKey(QKeyEvent* event);
  void SetPathColour(int index, bool ok);
  void AppendRule(const RuleEntry& entry);
  void LoadRules(const std::u16string& path);
  void OnRuleButton(int index);
  void OnRuleClicked();
  void DeleteSelectedRule();
  void SortRules();
  void InsertCommand();
  void OnFilterClicked(int index);
  void CopyFileName(bool with_folder);
  void DropRuleFiles(const QMimeData* data);
  void OnGo();
  void OnExplorer();
  void OnReadMe();
  void OnEnd();

  QLabel* lbltrg_ = nullptr;
  QLabel* lblsrc_ = nullptr;
  std::array<QLineEdit*, 2> txtPath_{};
  QPushButton* cmdExp_ = nullptr;
  QGroupBox* frmSelect_ = nullptr;
  std::array<QCheckBox*, 2> chkExt_{};
  std::array<QLineEdit*, 2> txtExt_{};
  QPushButton* cmdRefresh_ = nullptr;
  QListWidget* lstFiles_ = nullptr;
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
  QPushButton* cmdGo_ = nullptr;
  QPushButton* cmdEnd_ = nullptr;
  QMenu* mnuHelp_ = nullptr;
  QAction* menuHelpReadMe_ = nullptr;

  int active_pattern_ = 0;
  std::array<std::u16string, 2> last_path_;
  std::array<std::u16string, 2> last_filter_;
  QPalette path_palette_;
  std::unique_ptr<KeyPreview> key_preview_;
  std::unique_ptr<Busy> run_busy_;  // the hourglass of a run, from its start to its result
  int busy_ = 0;                    // focus changes while busy are the program's own
  bool running_ = false;
};

}  // namespace quarrow
