#include <QTabWidget>

#include "dialogs/CSettingsSheet.h"
#include "screens/ScreenShots.h"
#include "support/RecordingPrompt.h"

namespace tarnwick::screens {

TARNWICK_SCREENS(sheet) {
  AppSettings settings;
  RegistryFile registry;
  test::RecordingPrompt prompt;
  CSettingsSheet sheet(settings, registry, prompt);
  for (int i = 0; i < sheet.tabs()->count(); ++i) {
    sheet.tabs()->setCurrentIndex(i);
    Shoot(sheet, QStringLiteral("sheet-%1").arg(i + 1));
  }
}

}  // namespace tarnwick::screens
