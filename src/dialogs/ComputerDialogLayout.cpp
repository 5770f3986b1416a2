#include "dialogs/ComputerDialogLayout.h"

#include <QBoxLayout>

namespace tarnwick {
namespace {

QVBoxLayout* Column(std::initializer_list<QWidget*> groups) {
  auto* column = new QVBoxLayout;
  for (QWidget* group : groups)
    column->addWidget(group);
  column->addStretch();
  return column;
}

}  // namespace

void LayOutComputerDialog(QDialog& dialog, std::initializer_list<QWidget*> left,
                          std::initializer_list<QWidget*> right, QWidget* buttons) {
  auto* columns = new QHBoxLayout;
  columns->addLayout(Column(left), 1);
  columns->addLayout(Column(right), 1);
  auto* layout = new QVBoxLayout(&dialog);
  // A dialog keeps the size of its controls: stretched, the groups would
  // spread over the screen.
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addLayout(columns);
  layout->addWidget(buttons);
}

}  // namespace tarnwick
