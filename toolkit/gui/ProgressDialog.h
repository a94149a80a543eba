// The progress dialog of a run: two text areas and one stop button. The user cannot close it; only
// the stop button, confirmed, stops the run.
#pragma once

#include <QDialog>
#include <functional>

#include "toolkit/run/Progress.h"

class QLabel;
class QPushButton;

class ProgressDialog : public QDialog, public ProgressView {
  Q_OBJECT

 public:
  explicit ProgressDialog(QWidget* parent = nullptr);

  void SetCaption(const std::u16string& text) override;
  void SetTitle(const std::u16string& text) override;
  void SetText(const std::u16string& text) override;
  void ShowDialog() override;
  void HideDialog() override;
  void ProcessEvents() override;
  bool AskStop(const std::u16string& text, const std::u16string& caption) override;
  void SetCancelClick(std::function<void()> handler) override { click_ = std::move(handler); }

 signals:
  void CancelClick();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  // Wide enough for the caption in the title bar, within the screen; never below the usual width.
  int WidthForCaption() const;

  int usual_width_ = 0;
  QLabel* text1_;
  QLabel* text2_;
  QPushButton* cancel_button_;
  std::function<void()> click_;
};
