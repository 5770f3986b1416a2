#pragma once

#include <QGroupBox>

#include "platform/UserPrompt.h"

class QCheckBox;
class QLineEdit;

namespace tarnwick {

// The group "送信先メールアドレス": a computer's own recipients, used instead of
// the default list while the check box `checkText` is checked. Unchecking it
// asks before the typed address is erased.
class CMailAddressGroup : public QGroupBox {
  Q_OBJECT

 public:
  CMailAddressGroup(const QString& checkText, UserPrompt& prompt, QWidget* parent = nullptr);

  QCheckBox* noDefault() const { return noDefault_; }
  QLineEdit* address() const { return address_; }

  // Sets the check box without asking, as a dialog does when it opens.
  void SetNoDefault(bool on);

 private:
  void OnNoDefaultClicked(bool checked);
  bool UserKeepsAddress();

  UserPrompt& prompt_;
  QCheckBox* noDefault_;
  QLineEdit* address_;
};

}  // namespace tarnwick
