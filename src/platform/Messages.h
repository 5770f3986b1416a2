#pragma once

#include <string>

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
  MetricsServing,

  // Net send

  // List file
  ListNotThisProgramsFile,  // wrong magic
  ListInvalidFile,          // over-long field
  ListNothingToSave,
  ListSaveBeforeLoad,
  ListAutoStartWithoutPreload,
  ListPreloadFailed,
  ListExitWithoutSaving,
  ListFileFilter,
  ListFileNotFound,       // %1: the path
  ListFileAccessDenied,   // %1: the path
  ListFileReadFailed,     // %1: the path
  ListFileWriteFailed,    // %1: the path
  ListFieldHasSeparator,  // %1: row number, %2: computer name, %3: column
  ListColumnNumber,       // %1: column number, for columns without a heading

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

  Count
};

// The text in CP932.
const std::string& Text(Msg id);

}  // namespace tarnwick
