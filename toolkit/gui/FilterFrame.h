// The filter frame: the include and exclude lists with their switches, and the list of the target
// folder's files that pass them. Names show readably; each item keeps its stored name.
#pragma once

#include <QGroupBox>
#include <array>
#include <string>

#include "toolkit/run/Run.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace gui {

class MainWindowBase;
class PathBox;

class FilterFrame : public QGroupBox {
  Q_OBJECT

 public:
  // The frame fills its list whenever `target` applies a folder; files dropped on the list go to
  // `target`. `refresh`, when given, stands in the frame above the list.
  FilterFrame(MainWindowBase& window, const QString& caption, bool sorted, PathBox& target, QPushButton* refresh = nullptr);

  QCheckBox* chkExt(int index) const { return chkExt_.at(index); }
  QLineEdit* txtExt(int index) const { return txtExt_.at(index); }
  QListWidget* lstFiles() const { return lstFiles_; }

  // The texts of both boxes become the last applied ones (start-up).
  void RememberFilters();
  // A changed text (or any, when forced) is applied: the target folder's list is built again.
  void ApplyFilterText(int index, bool force);
  void RefreshFileList(const std::u16string& folder);
  // The switches and texts, to and from a run's options.
  void ReadFilter(RunOptionsBase& options) const;
  void ShowFilter(const RunOptionsBase& options);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CopyFileName(bool with_folder);

  MainWindowBase& window_;
  PathBox& target_;
  std::array<QCheckBox*, 2> chkExt_{};
  std::array<QLineEdit*, 2> txtExt_{};
  QListWidget* lstFiles_ = nullptr;
  std::array<std::u16string, 2> last_filter_;
  FileFilter files_;  // the builder of the window's file list
};

}  // namespace gui
