#pragma once

#include "dialogs/CSettingsPage.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tarnwick {

// "パラメータ": retries, check interval, how many rows are probed at once, the
// start-up switches, the preload file and the running log.
class CPageParameter : public CSettingsPage {
  Q_OBJECT

 public:
  CPageParameter(AppSettings& settings, UserPrompt& prompt, QWidget* parent = nullptr);

  bool Apply() override;

  QLineEdit* retryEdit() const { return retry_; }
  QLineEdit* intervalEdit() const { return interval_; }
  QLineEdit* parallelEdit() const { return parallel_; }
  QCheckBox* beepBox() const { return beep_; }
  QCheckBox* noLogoBox() const { return noLogo_; }
  QCheckBox* resolveBox() const { return resolve_; }
  QCheckBox* autoStartBox() const { return autoStart_; }
  QLineEdit* preloadEdit() const { return preload_; }
  QPushButton* browseButton() const { return browse_; }
  QCheckBox* runningLogBox() const { return runningLog_; }
  QPushButton* defaultsButton() const { return defaults_; }

 protected:
  void Fill() override;

 private:
  void RestoreDefaults();
  void Browse();

  QLineEdit* retry_;
  QLineEdit* interval_;
  QLineEdit* parallel_;
  QCheckBox* beep_;
  QCheckBox* noLogo_;
  QCheckBox* resolve_;
  QCheckBox* autoStart_;
  QLineEdit* preload_;
  QPushButton* browse_;
  QCheckBox* runningLog_;
  QPushButton* defaults_;
};

}  // namespace tarnwick
