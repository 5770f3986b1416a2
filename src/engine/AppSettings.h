#pragma once

#include <cstddef>
#include <string>

namespace tarnwick {

// The one process-wide set of options. Every field bears the name of the
// registry value that stores it. A default-constructed object holds the
// static initial values (numbers 0, texts empty); LoadSettings applies the
// defaults. Texts are CP932 and never longer than their capacity below.
struct AppSettings {
  // Capacities of the text fields, in bytes without the terminating zero.
  static constexpr std::size_t kPathCapacity = 512;
  static constexpr std::size_t kHostCapacity = 128;
  static constexpr std::size_t kMailToCapacity = 250;
  static constexpr std::size_t kReloadCapacity = 3;
  static constexpr std::size_t kMessageCapacity = 256;
  static constexpr std::size_t kSubjectCapacity = 128;
  static constexpr std::size_t kCredentialCapacity = 128;
  static constexpr std::size_t kCaFileCapacity = 255;

  // Main key "SOFTWARE\KORVALE\ZNRQ".
  int CheckInterval = 0;
  int MaxRetry = 0;
  int PingTimeOut = 0;
  int UnavailableHour = 0;
  int UnavailableMinutes = 0;
  int UnavailableInterval = 0;
  int EnableUnavailableSchedule = 0;
  int AutoStart = 0;
  int DontShowLogo = 0;
  int BeepToAlert = 0;
  int ResolveNameEverytime = 0;
  int RunningLog = 0;
  std::string PreloadFile;
  int MaxNumOfComputer = 0;
  std::string SmtpServer;
  std::string MailFrom;
  std::string MailTo;
  int SendMailByEnglish = 0;
  int MailAfter30Minutes = 0;
  int EnableMailDebug = 0;
  std::string NetsendTo;
  int EnableHtml = 0;
  std::string HtmlFile;
  std::string HtmlReloadMinutes;
  int DisableHtmlDetail = 0;
  int DisableHtmlReload = 0;
  // How many rows a pass probes at once; 0 checks one row at a time.
  int ParallelChecks = 0;
  // Mail submission: 0 plain, 1 STARTTLS, 2 TLS from the start; the port
  // (0 for the protection's default); the credentials (no user, no AUTH);
  // the CA file that vouches for the server (empty: the system's).
  int SmtpSecurity = 0;
  int SmtpPort = 0;
  std::string SmtpUser;
  std::string SmtpPassword;
  std::string SmtpCaFile;

  // Message key "SOFTWARE\KORVALE\ZNRQ\MSG".
  std::string DownMsgJp;
  std::string DownMsgUs;
  std::string RestoreMsgJp;
  std::string RestoreMsgUs;
  std::string DownSubjectJp;
  std::string DownSubjectUs;
  std::string RestoreSubjectJp;
  std::string RestoreSubjectUs;
};

}  // namespace tarnwick
