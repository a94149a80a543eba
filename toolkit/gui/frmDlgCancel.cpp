#include "toolkit/gui/frmDlgCancel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "toolkit/gui/QtText.h"

namespace {

QLabel* TextArea(QWidget* parent, int lines) {
  auto* label = new QLabel(parent);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setAutoFillBackground(true);
  label->setBackgroundRole(QPalette::Button);
  label->setMinimumHeight(label->fontMetrics().lineSpacing() * lines + 6);
  label->setTextInteractionFlags(Qt::NoTextInteraction);
  return label;
}

}  // namespace

frmDlgCancel::frmDlgCancel(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral(u"作業中"));
  setModal(false);
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  text2_ = TextArea(this, 2);
  text1_ = TextArea(this, 4);
  cancel_button_ = new QPushButton(QStringLiteral(u"中止(&C)"), this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text2_);
  layout->addWidget(text1_);
  layout->addWidget(cancel_button_, 0, Qt::AlignHCenter);
  setFixedWidth(fontMetrics().averageCharWidth() * 40);
  connect(cancel_button_, &QPushButton::clicked, this, &frmDlgCancel::CancelClick);
  connect(this, &frmDlgCancel::CancelClick, this, [this] {
    if (click_) click_();
  });
}

void frmDlgCancel::SetCaption(const std::u16string& text) { setWindowTitle(ToQt(text)); }
void frmDlgCancel::SetTitle(const std::u16string& text) { text2_->setText(ToQt(text)); }
void frmDlgCancel::SetText(const std::u16string& text) { text1_->setText(ToQt(text)); }

void frmDlgCancel::ShowDialog() {
  setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
  mdlCanCelForm::SetDialogZOrder(this, 1);
}

void frmDlgCancel::HideDialog() { mdlCanCelForm::SetDialogZOrder(this, 0); }

void frmDlgCancel::ProcessEvents() { QApplication::processEvents(); }

bool frmDlgCancel::AskStop(const std::u16string& text, const std::u16string& caption) {
  QMessageBox box(QMessageBox::NoIcon, ToQt(caption), ToQt(text), QMessageBox::Yes | QMessageBox::No,
                  parentWidget());
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void frmDlgCancel::closeEvent(QCloseEvent* event) {
  // The close box, the system menu and Alt+F4 come from the user: refused, and no stop either.
  if (event->spontaneous()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

// Esc would close a dialog; here it does nothing.
void frmDlgCancel::reject() {}

namespace mdlCanCelForm {

int SetDialogZOrder(QWidget* window, int mode) {
  if (window == nullptr) return 0;
  if (mode == 1) {
    window->show();
    window->raise();
    return 1;
  }
  if (mode == 0) {
    window->hide();
    return 1;
  }
  return 0;
}

}  // namespace mdlCanCelForm
