#pragma once

#include "dialogs/CSettingsPage.h"

class QLineEdit;
class QPushButton;

namespace tarnwick {

// "メッセージ(net send)送信先": the computer that receives the net send
// messages; with a test message.
class CPageNetsend : public CSettingsPage {
  Q_OBJECT

 public:
  CPageNetsend(AppSettings& settings, UserPrompt& prompt, QWidget* parent = nullptr);

  bool Apply() override;

  QLineEdit* recipientEdit() const { return recipient_; }
  QPushButton* testButton() const { return test_; }

 protected:
  void Fill() override;

 private:
  void SendTestMessage();

  QLineEdit* recipient_;
  QPushButton* test_;
};

}  // namespace tarnwick
