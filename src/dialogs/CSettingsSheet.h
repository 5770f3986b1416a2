#pragma once

#include <QDialog>

#include "engine/AppSettings.h"
#include "platform/RegistryFile.h"
#include "platform/UserPrompt.h"

class QTabWidget;

namespace tarnwick {

// The settings sheet "設定": seven pages in tabs, with OK, Cancel and Apply.
class CSettingsSheet : public QDialog {
  Q_OBJECT

 public:
  CSettingsSheet(AppSettings& settings, RegistryFile& registry, UserPrompt& prompt,
                 QWidget* parent = nullptr);

  QTabWidget* tabs() const { return tabs_; }

 private:
  AppSettings& settings_;
  RegistryFile& registry_;
  UserPrompt& prompt_;
  QTabWidget* tabs_;
};

}  // namespace tarnwick
