#pragma once

#include <array>
#include <string>

#include "dialogs/CSettingsPage.h"

class QLineEdit;
class QPushButton;

namespace tarnwick {

class CPageMail;

// "メッセージ": the eight templates of the alert messages and mail subjects.
class CPageMsg : public CSettingsPage {
  Q_OBJECT

 public:
  // The order of the fields on the page.
  enum Field {
    DownMsgJp,
    RestoreMsgJp,
    DownMsgUs,
    RestoreMsgUs,
    DownSubjectJp,
    RestoreSubjectJp,
    DownSubjectUs,
    RestoreSubjectUs,
    FieldCount
  };

  // Reads the language from `mailPage` each time it is shown.
  CPageMsg(AppSettings& settings, UserPrompt& prompt, const CPageMail& mailPage,
           QWidget* parent = nullptr);

  bool Apply() override;

  QLineEdit* edit(Field field) const { return edits_[field]; }
  QPushButton* defaultsButton() const { return defaults_; }

 protected:
  void Fill() override;
  void Activate() override;

 private:
  std::string& Setting(Field field) const;
  void RestoreDefaults();

  const CPageMail& mailPage_;
  std::array<QLineEdit*, FieldCount> edits_{};
  QPushButton* defaults_;
};

}  // namespace tarnwick
