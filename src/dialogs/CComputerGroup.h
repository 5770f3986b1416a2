#pragma once

#include <QGroupBox>
#include <cstddef>

class QLineEdit;

namespace tarnwick {

class CIpAddressEdit;

// The group "監視するコンピュータ": the address to watch and a display name
// limited to `nameLimit` CP932 bytes, with the add dialog's note under them.
class CComputerGroup : public QGroupBox {
  Q_OBJECT

 public:
  CComputerGroup(std::size_t nameLimit, bool withNote, QWidget* parent = nullptr);

  CIpAddressEdit* address() const { return address_; }
  QLineEdit* name() const { return name_; }

 private:
  CIpAddressEdit* address_;
  QLineEdit* name_;
};

}  // namespace tarnwick
