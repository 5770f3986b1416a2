#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "dialogs/CPageMail.h"
#include "dialogs/CSettingsSheet.h"
#include "dialogs/WorkProgressWindow.h"
#include "gui/Cp932Text.h"
#include "screens/ScreenShots.h"
#include "settings/SettingsStore.h"
#include "support/LoopbackListener.h"
#include "support/RecordingPrompt.h"

namespace tarnwick::screens {
namespace {

// What an administrator's settings look like after a while.
AppSettings RealisticSettings(RegistryFile& registry) {
  AppSettings settings;
  LoadSettings(settings, registry);
  settings.SmtpServer = "mail.example.co.jp";
  settings.MailFrom = "tarnwick@example.co.jp";
  settings.MailTo = "admin@example.co.jp;sato@example.co.jp";
  settings.MailAfter30Minutes = 1;
  settings.SmtpSecurity = 1;
  settings.SmtpUser = "tarnwick@example.co.jp";
  settings.SmtpPassword = "password";
  settings.NetsendTo = "ADMINPC";
  settings.EnableHtml = 1;
  settings.HtmlFile = "/var/www/html/tarnwick/status.html";
  settings.HtmlReloadMinutes = "5";
  settings.PreloadFile = ToCp932(QStringLiteral("/home/admin/監視/サーバ一覧.ls2"));
  settings.RunningLog = 1;
  settings.AutoStart = 1;
  settings.UnavailableHour = 3;
  settings.UnavailableMinutes = 30;
  settings.UnavailableInterval = 60;
  return settings;
}

}  // namespace

TARNWICK_SCREENS(sheet) {
  RegistryFile registry;
  AppSettings settings = RealisticSettings(registry);
  test::RecordingPrompt prompt;
  CSettingsSheet sheet(settings, registry, prompt);
  for (int i = 0; i < sheet.tabs()->count(); ++i) {
    sheet.tabs()->setCurrentIndex(i);
    Shoot(sheet, QStringLiteral("sheet-%1").arg(i + 1));
  }
}

// The window of a test mail that waits for a server that never greets,
// taken before it is cancelled.
TARNWICK_SCREENS(testmail) {
  RegistryFile registry;
  AppSettings settings = RealisticSettings(registry);
  test::RecordingPrompt prompt;
  test::LoopbackListener silent;
  CSettingsSheet sheet(settings, registry, prompt);
  sheet.tabs()->setCurrentIndex(0);
  sheet.show();
  auto* mail = sheet.page<CPageMail>(0);
  mail->serverEdit()->setText(QStringLiteral("127.0.0.1:%1").arg(silent.port()));
  QTimer::singleShot(0, &sheet, [&sheet] {
    auto* progress = sheet.findChild<WorkProgressWindow*>();
    if (progress == nullptr) return;
    Shoot(*progress, QStringLiteral("test-mail-progress"));
    progress->cancelButton()->click();
  });
  mail->testButton()->click();
}

}  // namespace tarnwick::screens
