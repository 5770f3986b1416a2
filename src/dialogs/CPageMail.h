#pragma once

#include <string>

#include "dialogs/CSettingsPage.h"
#include "mail/SmtpSubmission.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tarnwick {

class CMailSecurityGroup;
class WorkProgressWindow;

// "メールで連絡": the mail server, the recipients, the sender, the language of
// the alert mails and the 30-second wait; with a test mail.
class CPageMail : public CSettingsPage {
  Q_OBJECT

 public:
  CPageMail(AppSettings& settings, UserPrompt& prompt, QWidget* parent = nullptr);

  bool Apply() override;

  // The language box as it stands now, applied or not; the stored setting
  // while the page has not been shown.
  bool EnglishChosen() const;

  QLineEdit* serverEdit() const { return server_; }
  QLineEdit* senderEdit() const { return sender_; }
  QLineEdit* recipientsEdit() const { return recipients_; }
  QCheckBox* englishBox() const { return english_; }
  QCheckBox* waitBox() const { return wait_; }
  QPushButton* testButton() const { return test_; }
  CMailSecurityGroup* securityGroup() const { return security_; }

 protected:
  void Fill() override;

 private:
  struct TestMail {
    std::string server;
    std::string sender;
    std::string recipients;
    std::string subject;
    std::string body;
    // The protection and login as the fields hold them now, applied or not.
    SmtpSubmission submission;
  };

  void SendTestMail();
  // On the helper thread of the test mail's window.
  bool DeliverTestMail(const TestMail& mail, WorkProgressWindow& progress) const;
  bool CheckTestFields(const QString& server, const QString& sender, const QString& recipients);
  bool ValidateRecipients(const std::string& recipients);
  void ConfirmRecipients(const QString& recipients);

  QLineEdit* server_;
  QLineEdit* sender_;
  QLineEdit* recipients_;
  QCheckBox* english_;
  QCheckBox* wait_;
  QPushButton* test_;
  CMailSecurityGroup* security_ = nullptr;
};

}  // namespace tarnwick
