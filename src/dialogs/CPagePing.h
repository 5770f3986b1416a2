#pragma once

#include "dialogs/CSettingsPage.h"

class QLineEdit;
class QPushButton;

namespace tarnwick {

// "ピング": the time-out of one ICMP echo.
class CPagePing : public CSettingsPage {
  Q_OBJECT

 public:
  CPagePing(AppSettings& settings, UserPrompt& prompt, QWidget* parent = nullptr);

  bool Apply() override;

  QLineEdit* timeOutEdit() const { return timeOut_; }
  QPushButton* defaultsButton() const { return defaults_; }

 protected:
  void Fill() override;

 private:
  void RestoreDefaults();

  QLineEdit* timeOut_;
  QPushButton* defaults_;
};

}  // namespace tarnwick
