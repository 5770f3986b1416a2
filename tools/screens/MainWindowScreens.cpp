#include <QAction>
#include <QCoreApplication>
#include <QStatusBar>
#include <QStatusTipEvent>

#include "app/CAboutBox.h"
#include "app/CLogoWindow.h"
#include "app/CMainFrame.h"
#include "app/CTarnwickView.h"
#include "engine/WatchState.h"
#include "gui/Cp932Text.h"
#include "platform/Sleeper.h"
#include "screens/ScreenShots.h"
#include "support/RecordingPrompt.h"

namespace tarnwick::screens {
namespace {

ComputerEntry Row(const char* name, const char* address, const char* service, const char* port,
                  const char* status, const char* up, const char* down, bool mail) {
  ComputerEntry row;
  row[Field::ComputerName] = ToCp932(QString::fromUtf8(name));
  row[Field::IpAddress] = address;
  row[Field::CheckService] = service;
  row[Field::Port] = port;
  row[Field::Status] = ToCp932(QString::fromUtf8(status));
  row[Field::LastUpTime] = up;
  row[Field::LastDownTime] = down;
  row[Field::ByMail] = FlagText(mail);
  row[Field::ByEventlog] = FlagText(true);
  row[Field::LastCheckTime] = "2026/12/08 09:15:02";
  return row;
}

}  // namespace

TARNWICK_SCREENS(mainwindow) {
  AppSettings settings;
  settings.MaxNumOfComputer = 300;
  RegistryFile registry;
  test::RecordingPrompt prompt;
  SystemClock clock;
  ThreadSleeper sleeper;
  CMainFrame frame(AppServices{settings, registry, prompt, clock, sleeper, "/tmp", {}, {}, {}});
  CTarnwickView& view = frame.view();
  view.list().ReplaceAll({
      Row("本社ファイルサーバ", "192.0.2.10", "PING", "", "○", "2026/12/08 09:00:01", "", true),
      Row("メールサーバ", "192.0.2.25", "SMTP", "25", "○", "2026/12/08 09:00:02", "", true),
      Row("営業部 Web", "192.0.2.80", "WEB", "80", "×", "2026/12/08 09:00:03",
          "2026/12/08 09:15:02", true),
      Row("会計システム", "192.0.2.61", "NOTES", "1352", "確認中..", "2026/12/08 09:00:05", "",
          false),
      Row("ルータ", "192.0.2.1", "PING", "", "不明", "", "", false),
  });
  view.FitColumns();
  view.SelectRow(1);
  frame.resize(1100, 420);
  Shoot(frame, QStringLiteral("main-window"));

  // A down computer stays red when selected.
  view.SelectRow(2);
  Shoot(frame, QStringLiteral("main-window-down-selected"));

  // During a watch the pointer rests on the start button: its prompt, then
  // the watch message again once the pointer leaves.
  MonitorState = MonitorStateValue::Running;
  frame.UpdateActions();
  emit view.watchMessage(QStringLiteral("コンピュータを監視しています....."));
  QStatusTipEvent hover(frame.action(CommandId::Start)->statusTip());
  QCoreApplication::sendEvent(&frame, &hover);
  Shoot(frame, QStringLiteral("main-window-watch-hover"));
  QStatusTipEvent left{QString()};
  QCoreApplication::sendEvent(&frame, &left);
  Shoot(frame, QStringLiteral("main-window-watch"));
  MonitorState = MonitorStateValue::Idle;
  frame.UpdateActions();

  CAboutBox about(&frame);
  Shoot(about, QStringLiteral("about-box"));

  CLogoWindow logo;
  Shoot(logo, QStringLiteral("logo"));
}

}  // namespace tarnwick::screens
