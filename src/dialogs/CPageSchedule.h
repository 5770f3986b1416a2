#pragma once

#include "dialogs/CSettingsPage.h"

class QCheckBox;
class QLineEdit;

namespace tarnwick {

// "スケジュール": the daily window during which no computer is checked.
class CPageSchedule : public CSettingsPage {
  Q_OBJECT

 public:
  CPageSchedule(AppSettings& settings, UserPrompt& prompt, QWidget* parent = nullptr);

  bool Apply() override;

  QCheckBox* enableBox() const { return enable_; }
  QLineEdit* hourEdit() const { return hour_; }
  QLineEdit* minuteEdit() const { return minute_; }
  QLineEdit* lengthEdit() const { return length_; }

 protected:
  void Fill() override;

 private:
  void EnableTimeEdits(bool enable);
  bool ValidateWindow();

  QCheckBox* enable_;
  QLineEdit* hour_;
  QLineEdit* minute_;
  QLineEdit* length_;
};

}  // namespace tarnwick
