#pragma once

#include <QDialog>
#include <vector>

#include "engine/AppSettings.h"
#include "platform/RegistryFile.h"
#include "platform/UserPrompt.h"

class QPushButton;
class QTabWidget;

namespace tarnwick {

class CSettingsPage;

// The settings sheet "設定": seven pages in tabs, with OK, Cancel and Apply.
// OK and Apply run the apply step of every page shown so far, in tab order,
// stop at the first refusal, and save the settings to the registry file at
// once, so a change survives even when the program does not end normally.
class CSettingsSheet : public QDialog {
  Q_OBJECT

 public:
  CSettingsSheet(AppSettings& settings, RegistryFile& registry, UserPrompt& prompt,
                 QWidget* parent = nullptr);

  QTabWidget* tabs() const { return tabs_; }
  QPushButton* applyButton() const { return apply_; }

  // The page of tab `index`, in tab order.
  template <typename Page>
  Page* page(int index) const {
    return qobject_cast<Page*>(pages_.at(static_cast<std::size_t>(index)));
  }

  void accept() override;

 private:
  void AddPage(CSettingsPage* page);
  bool ApplyShownPages();

  AppSettings& settings_;
  RegistryFile& registry_;
  UserPrompt& prompt_;
  QTabWidget* tabs_;
  QPushButton* apply_ = nullptr;
  std::vector<CSettingsPage*> pages_;
};

}  // namespace tarnwick
