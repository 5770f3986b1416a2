#pragma once

#include <QDialog>
#include <initializer_list>

namespace tarnwick {

// The add and edit dialogs' shape: two columns of groups, each topped up with
// space below, and the row of buttons under them; the dialog cannot be
// resized.
void LayOutComputerDialog(QDialog& dialog, std::initializer_list<QWidget*> left,
                          std::initializer_list<QWidget*> right, QWidget* buttons);

}  // namespace tarnwick
