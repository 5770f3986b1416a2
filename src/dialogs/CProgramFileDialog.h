#pragma once

#include <QFileDialog>

namespace tarnwick {

class ExecutableFileFilter;

// The open-file dialog of the "参照" buttons: programs, shell scripts or any
// file, programs shown first.
class CProgramFileDialog : public QFileDialog {
  Q_OBJECT

 public:
  explicit CProgramFileDialog(QWidget* parent = nullptr);

  // The full path of the file the user picked, or an empty text on cancel.
  static QString Choose(QWidget* parent);

 private:
  ExecutableFileFilter* filter_;
};

}  // namespace tarnwick
