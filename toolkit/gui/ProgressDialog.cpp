#include "toolkit/gui/ProgressDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "toolkit/gui/QtMessages.h"
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

ProgressDialog::ProgressDialog(QWidget* parent) : QDialog(parent) {
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
  usual_width_ = fontMetrics().averageCharWidth() * 40;
  setFixedWidth(usual_width_);
  connect(cancel_button_, &QPushButton::clicked, this, &ProgressDialog::CancelClick);
  connect(this, &ProgressDialog::CancelClick, this, [this] {
    if (click_) click_();
  });
}

void ProgressDialog::SetCaption(const std::u16string& text) {
  setWindowTitle(ToQt(text));
  // Only grown: the caption changes with every file of a run, and the dialog does not jump back and
  // forth with it; it fits its caption anew each time it shows.
  setFixedWidth(std::max(width(), WidthForCaption()));
}

int ProgressDialog::WidthForCaption() const {
  // Title bars commonly show their text in bold, beside the window's icon and close button.
  QFont title_font = font();
  title_font.setBold(true);
  const int needed = QFontMetrics(title_font).horizontalAdvance(windowTitle()) +
                     3 * style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
  const QScreen* shown_on = screen();
  const int most = shown_on != nullptr ? shown_on->availableGeometry().width() : needed;
  return std::clamp(needed, usual_width_, std::max(usual_width_, most));
}

void ProgressDialog::SetTitle(const std::u16string& text) { text2_->setText(ToQt(text)); }
void ProgressDialog::SetText(const std::u16string& text) { text1_->setText(ToQt(text)); }

void ProgressDialog::ShowDialog() {
  setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
  setFixedWidth(WidthForCaption());
  // At the top of the z-order, never as a topmost window, keeping its place and size.
  show();
  raise();
}

// Hidden without activating anything.
void ProgressDialog::HideDialog() { hide(); }

void ProgressDialog::ProcessEvents() { QApplication::processEvents(); }

bool ProgressDialog::AskStop(const std::u16string& text, const std::u16string& caption) {
  QMessageBox box(QMessageBox::NoIcon, ToQt(caption), ToQt(text), QMessageBox::Yes | QMessageBox::No,
                  parentWidget());
  box.setDefaultButton(QMessageBox::No);
  return gui::AskUser(box) == QMessageBox::Yes;
}

void ProgressDialog::closeEvent(QCloseEvent* event) {
  // The close box, the system menu and Alt+F4 come from the user: refused, and no stop either.
  if (event->spontaneous()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

// Esc would close a dialog; here it does nothing.
void ProgressDialog::reject() {}
