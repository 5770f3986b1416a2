#pragma once

#include <QGroupBox>
#include <QString>

#include "engine/AppSettings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tarnwick {

// The mail page's group "送信の保護と認証": how the connection to the mail
// server is protected, its port, the login and the CA file that vouches for
// the server.
class CMailSecurityGroup : public QGroupBox {
  Q_OBJECT

 public:
  explicit CMailSecurityGroup(QWidget* parent = nullptr);

  void Fill(const AppSettings& settings);
  // The first rule the fields break, as the refusal to show; empty when none.
  QString Problem() const;
  // Writes the fields into `settings`; call only when Problem() is empty.
  void Store(AppSettings& settings) const;

  QComboBox* protectionBox() const { return protection_; }
  QLineEdit* portEdit() const { return port_; }
  QLineEdit* userEdit() const { return user_; }
  QLineEdit* passwordEdit() const { return password_; }
  QLineEdit* caFileEdit() const { return caFile_; }
  QLabel* portNote() const { return portNote_; }

 signals:
  void edited();

 private:
  void ShowDefaultPort();
  void Browse();

  QComboBox* protection_;
  QLineEdit* port_;
  QLabel* portNote_;
  QLineEdit* user_;
  QLineEdit* password_;
  QLineEdit* caFile_;
  QPushButton* browse_;
};

}  // namespace tarnwick
