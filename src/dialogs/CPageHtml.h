#pragma once

#include "dialogs/CSettingsPage.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace tarnwick {

// "HTML出力": whether, where and how the HTML status page is written.
class CPageHtml : public CSettingsPage {
  Q_OBJECT

 public:
  CPageHtml(AppSettings& settings, UserPrompt& prompt, QWidget* parent = nullptr);

  bool Apply() override;

  QCheckBox* outputBox() const { return output_; }
  QCheckBox* noDetailBox() const { return noDetail_; }
  QLineEdit* fileEdit() const { return file_; }
  QPushButton* browseButton() const { return browse_; }
  QLineEdit* reloadEdit() const { return reload_; }
  QCheckBox* noReloadBox() const { return noReload_; }

 protected:
  void Fill() override;

 private:
  void EnableOutputControls(bool enable);
  void Browse();

  QCheckBox* output_;
  QCheckBox* noDetail_;
  QLineEdit* file_;
  QPushButton* browse_;
  QLineEdit* reload_;
  QCheckBox* noReload_;
};

}  // namespace tarnwick
