#include "app/CTarnwickApp.h"

#include <QApplication>
#include <QFileDialog>

#include "app/CLogoWindow.h"
#include "app/CMainFrame.h"
#include "app/CTarnwickView.h"
#include "app/StopSignalNotifier.h"
#include "gui/Cp932Text.h"
#include "platform/IcmpEcho.h"
#include "platform/Messages.h"
#include "platform/ProgramDirectory.h"
#include "settings/SettingsStore.h"

namespace tarnwick {
namespace {

// The exit command ends the program with code 1, as a fatal failure does.
constexpr int kExitCommandCode = 1;
constexpr int kFatalCode = 1;

QString ChooseListFile(QWidget* parent, bool save, const QString& initial) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilter(QStringLiteral("Tarnwick 設定ファイル(*.ls2)"));
  dialog.setDefaultSuffix(QStringLiteral("ls2"));
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (!initial.startsWith(QLatin1Char('*'))) dialog.selectFile(initial);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

}  // namespace

CTarnwickApp::CTarnwickApp(UserPrompt* prompt)
    : prompt_(prompt != nullptr ? *prompt : guiPrompt_), showLogo_([] {
        CLogoWindow logo;
        logo.exec();
      }) {}

CTarnwickApp::~CTarnwickApp() = default;

CTarnwickApp::StartResult CTarnwickApp::Start() {
  if (!CheckPlatform()) return {false, kFatalCode};
  if (const SettingsLoadOutcome loaded = LoadSettings(settings_, registry_); loaded.IsFault()) {
    prompt_.Show(loaded.message, Text(Msg::CaptionCaution), PromptIcon::Exclamation);
  }
  // A second copy ends silently, but saves the settings it read, as the
  // exit steps always do.
  if (!lock_.Acquire()) {
    ExitInstance();
    return {false, 0};
  }
  CreateMainFrame();
  FirstDisplay();
  frame_->show();
  frame_->view().listState().modified = false;
  stopSignals_ = new StopSignalNotifier(this);
  connect(stopSignals_, &StopSignalNotifier::stopRequested, this, &CTarnwickApp::EndOnSignal);
  return {true, 0};
}

bool CTarnwickApp::CheckPlatform() {
  // The ICMP check of start-up: without an ICMP socket of
  // either kind no ping could ever be sent.
  if (IcmpEcho::Available()) return true;
  Ask(prompt_,
      QStringLiteral("ICMP ソケットを開けません。ping を送るには、このユーザーのグループを "
                     "net.ipv4.ping_group_range に含めてください。例: sudo sysctl -w "
                     "net.ipv4.ping_group_range=\"0 2147483647\" "
                     "(/etc/sysctl.d/ のファイルにも書くと再起動後も有効です)。"),
      UiText(Msg::CaptionError), PromptIcon::Error);
  return false;
}

void CTarnwickApp::CreateMainFrame() {
  frame_ = std::make_unique<CMainFrame>(AppServices{
      settings_, registry_, prompt_, clock_, sleeper_, RunningLogFolder(),
      [this] { return std::make_unique<Notifier>(settings_); },
      [this] { return std::make_unique<AlertChannels>(settings_, prompt_); }, &ChooseListFile});
  guiPrompt_.SetOwner(frame_.get());
  connect(frame_.get(), &CMainFrame::exitConfirmed, this, &CTarnwickApp::ExitCommand);
}

void CTarnwickApp::FirstDisplay() {
  CTarnwickView& view = frame_->view();
  view.FitColumns();
  if (settings_.DontShowLogo == 0) showLogo_();
  view.Preload();
}

void CTarnwickApp::ExitInstance() {
  lock_.Release();
  SaveSettings(settings_, registry_, prompt_);
}

void CTarnwickApp::ExitCommand() {
  ExitInstance();
  frame_->AllowClose();
  QCoreApplication::exit(kExitCommandCode);
}

void CTarnwickApp::EndOnSignal() {
  // The session is ending: no question may hold it up.
  guiPrompt_.SetSilent(true);
  frame_->view().StopAndWait();
  ExitInstance();
  frame_->AllowClose();
  QCoreApplication::exit(0);
}

}  // namespace tarnwick
