#include "dialogs/WorkProgressWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "gui/Cp932Text.h"
#include "platform/Messages.h"

namespace tarnwick {
namespace {

// Room for the longer texts that follow the first.
constexpr int kMinimumTextWidth = 300;

}  // namespace

WorkProgressWindow::WorkProgressWindow(const QString& caption, const QString& text, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint),
      text_(new QLabel(text, this)),
      cancel_(new QPushButton(UiText(Msg::TestWorkCancel), this)) {
  setWindowTitle(caption);
  text_->setMinimumWidth(std::max(kMinimumTextWidth, fontMetrics().horizontalAdvance(text) + 40));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cancel_);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addSpacing(6);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  connect(cancel_, &QPushButton::clicked, this, &WorkProgressWindow::Cancel);
}

void WorkProgressWindow::Tell(const QString& text) {
  QMetaObject::invokeMethod(
      text_, [label = text_, text] { label->setText(text); }, Qt::QueuedConnection);
}

void WorkProgressWindow::reject() {
  Cancel();
}

void WorkProgressWindow::Cancel() {
  if (cancelled_) return;
  cancelled_ = true;
  cancel_->setEnabled(false);
  stop_.Signal();
}

}  // namespace tarnwick
