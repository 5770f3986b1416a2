#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// The one catalogue of the system's own texts. They are written in UTF-8 in
// Messages.cpp and handed out in CP932, converted once on first use.
namespace tarnwick {

enum class Msg {
  // Captions
  CaptionCaution,  // 注意
  CaptionConfirm,  // 確認
  CaptionError,    // エラー
  CaptionRegistryA01,
  CaptionRegistryA02,
  CaptionRegistryA03,

  // Computer rows
  StatusUnknown,
  StatusUp,
  StatusDown,
  StatusChecking,
  FlagOn,
  HeadingComputerName,
  HeadingIpAddress,
  HeadingStatus,
  HeadingCheckService,
  HeadingPort,
  HeadingLastUpTime,
  HeadingLastDownTime,
  HeadingDownProgram,
  HeadingRestoreProgram,
  HeadingLastCheckTime,
  HeadingNoDefaultMail,
  HeadingMailAddress,
  TooManyComputers,
  UnknownHostname,

  // Dialogs, settings sheet and main window commands
  InputNotCp932,   // %1: the field's label
  PasteNotCp932,   // %1: the field's column heading
  HelpNotOpened,   // %1: the help page's path
  TestWorkCancel,  // the button that cancels a test mail or test message
  TestMailCaption,
  TestMailConnecting,
  TestMailSending,
  TestMailClosing,
  TestNetsendCaption,
  TestNetsendSending,

  // Probes
  PingAnswered,
  PingNoAnswer,
  PortConnected,
  PortFailed,

  // Settings store
  RegistryAccessFailed,
  RegistryMissing,        // %1: the path
  RegistryNotRegular,     // %1: the path
  RegistryUnreadable,     // %1: the path, %2: the system's reason
  RegistryNotRegistry,    // %1: the path
  RegistryReplaceBad,     // %1: the path, %2: the name the old file keeps
  RegistryCannotReplace,  // %1: the path
  DefaultDownMsgJp,
  DefaultDownMsgUs,
  DefaultRestoreMsgJp,
  DefaultRestoreMsgUs,
  DefaultDownSubjectJp,
  DefaultDownSubjectUs,
  DefaultRestoreSubjectJp,
  DefaultRestoreSubjectUs,

  // Check cycle and console watcher
  NoComputersToWatch,
  ThreadStartFailed,
  WatchStartedEvent,
  WatchEndedEvent,
  WatchEndedLog,
  UnavailableWindowLog,
  RowLogIpAddress,
  RowLogComputerName,
  RowLogCheckService,
  RowLogPort,
  RowLogByMail,
  RowLogByNetsend,
  RowLogByEventlog,
  RowLogDownProgram,
  RowLogRestoreProgram,
  DownDetected,
  DownAlreadyNotified,
  ClockBeforeValidDate,
  ClockRanBackwards,
  InconsistencyLog,
  InconsistencyBox,
  WatchUsage,
  MetricsAddressInvalid,
  MetricsListenFailed,
  MetricsModuleMissing,
  MetricsServing,

  // Command lines of both programs (each text in Japanese, then in English)
  WatchUsageEn,
  AppUsage,
  AppUsageEn,
  OptionUnknown,  // followed by the argument
  OptionUnknownEn,
  OptionValueMissing,  // followed by the option
  OptionValueMissingEn,
  OptionExtraArgument,  // followed by the argument
  OptionExtraArgumentEn,
  OptionListMissing,
  OptionListMissingEn,
  OptionOnceWithMetrics,
  OptionOnceWithMetricsEn,
  OptionTryHelp,  // %1: the program
  OptionTryHelpEn,
  OnceNoIcmpSocket,

  // Net send

  // List file
  ListNotThisProgramsFile,  // wrong magic
  ListInvalidFile,          // not a list file, in general terms
  ListNothingToSave,
  ListSaveBeforeLoad,
  ListAutoStartWithoutPreload,
  ListPreloadFailed,
  ListExitWithoutSaving,
  ListFileFilter,
  ListFileNotFound,              // %1: the path
  ListFileAccessDenied,          // %1: the path
  ListFileReadFailed,            // %1: the path
  ListFileWriteFailed,           // %1: the path
  ListFieldHasSeparator,         // %1: row number, %2: computer name, %3: column
  ListColumnNumber,              // %1: column number, for columns without a heading
  ListFileNotRegular,            // %1: the path
  SaveCopyKept,                  // %1: the copy of the previous content
  LoadCopyExists,                // %1: the path, %2: the copy of the content before
  ListTooManyRows,               // %1: the most rows a file may hold
  ListFieldTooLong,              // %1: row number, %2: the field limit in bytes
  ClipboardIncompleteCharacter,  // %1: computer name, %2: column

  // Mail session
  MailFailed,  // 「Tarnwick」は、メールの送信に失敗しました。
  MailError4001,
  MailError4002,
  MailError4003,
  MailError4004,
  MailError4005,
  MailError4006,
  MailError4007,
  MailError4008,
  MailError4009,
  MailError4010,
  MailError4011,
  MailError4012,
  MailError4013,
  MailError4014,
  MailError4015,
  MailError4016,
  MailError4017,
  MailErrorUnknown,
  MailAttemptFailed,  // 「Tarnwick」は、メールの送信を試みましたが、失敗しました。
  MailGreetingRefused,
  MailHeloRefused,
  MailFromRefused,
  MailRcptRefused,
  MailDataRefused,
  MailDataNotAccepted,
  MailUnsafeText,

  // Mail composition and address lists
  MailAddressBlank,
  MailAddressSeparatorPosition,
  MailAddressCountMismatch,

  // Alerts and HTML page
  AlertRestoreRecognised,
  AlertEventLogWritten,
  AlertEventLogFailed,
  AlertNetsendStarting,
  AlertNetsendNoRecipientRestoreEvent,
  AlertNetsendNoRecipientDownEvent,
  AlertNetsendNoRecipientLog,
  AlertNetsendFailedEvent,
  AlertNetsendFailedLog,
  AlertNetsendSent,
  NetsendCauseUnsendable,
  NetsendCauseNameNotFound,
  NetsendCauseRefused,
  NetsendCauseNoAnswer,
  NetsendCauseNotAccepted,
  AlertDownProgramLabel,
  AlertRestoreProgramLabel,
  AlertProgramStarting,
  AlertProgramEventHead,
  AlertProgramOutOfResourcesEvent,
  AlertProgramOutOfResourcesLog,
  AlertProgramBadExeEvent,
  AlertProgramBadExeLog,
  AlertProgramFileNotFoundEvent,
  AlertProgramFileNotFoundLog,
  AlertProgramPathNotFoundEvent,
  AlertProgramPathNotFoundLog,
  AlertProgramUnknownErrorEvent,
  AlertProgramUnknownErrorLog,
  AlertMailStarting,
  AlertMailNoServerEvent,
  AlertMailNoServerLog,
  AlertMailNoSenderEvent,
  AlertMailNoSenderLog,
  AlertMailNoRecipientEvent,
  AlertMailNoRecipientLog,
  AlertMailWaiting,
  AlertMailFailedEvent,
  AlertMailFailedLog,
  AlertMailSent,
  AlertAbandonedEventHead,
  AlertAbandonedLogHead,
  AlertAbandonedMailTail,
  AlertAbandonedNetsendTail,
  ConsoleWatchClosed,
  HtmlPlaceholderText,
  HtmlWriting,
  HtmlHeadingByMail,
  HtmlHeadingByNetsend,
  HtmlHeadingByEventlog,
  HtmlFailedLog,
  HtmlFailedEvent,
  RunningLogFailed,  // %1: the log file, %2: the system's reason

  // Mail submission with TLS and authentication
  MailStartTlsNotOffered,
  MailTlsHandshakeFailed,
  MailCertificateNotTrusted,
  MailCertificateNameMismatch,
  MailAuthNotOffered,
  MailAuthRefused,
  MailAuthNeedsTls,  // 認証を使う場合は接続を保護してください。
  MailEhloRefused,
  MailStartTlsRefused,

  Count
};

// The text in CP932.
const std::string& Text(Msg id);

// The text as written, in UTF-8: for output that is UTF-8 anyway (the
// console), with no conversion.
std::string_view Utf8Text(Msg id);

// The text with %1, %2, ... replaced by `arguments` (CP932); the arguments
// are not scanned again, so a '%' in a path stays as it is.
std::string FormatText(Msg id, std::initializer_list<std::string_view> arguments);

}  // namespace tarnwick
