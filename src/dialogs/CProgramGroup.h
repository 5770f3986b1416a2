#pragma once

#include <QGroupBox>
#include <cstddef>

class QLineEdit;
class QPushButton;

namespace tarnwick {

// A program command line of at most `limit` CP932 bytes, with "参照" to pick
// the program from the disk.
class CProgramGroup : public QGroupBox {
  Q_OBJECT

 public:
  CProgramGroup(const QString& title, std::size_t limit, QWidget* parent = nullptr);

  QLineEdit* edit() const { return edit_; }
  QPushButton* browse() const { return browse_; }

 private:
  void Browse();

  QLineEdit* edit_;
  QPushButton* browse_;
};

}  // namespace tarnwick
