#include "engine/AlertDispatcher.h"

#include "engine/WatchState.h"
#include "platform/Messages.h"

namespace tarnwick {
namespace {

constexpr int kMailWaitMs = 30000;

// Every occurrence, left to right; inserted text is not searched again.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string result;
  result.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t found; (found = text.find(from, start)) != std::string_view::npos;
       start = found + from.size()) {
    result.append(text.substr(start, found - start));
    result.append(to);
  }
  result.append(text.substr(start));
  return result;
}

bool FlagSet(const ComputerEntry& row, Field field) {
  return !row[field].empty();
}

struct ProgramFailure {
  Msg eventTail;
  Msg logText;
};

ProgramFailure FailureFor(int code) {
  switch (code) {
    case ProgramLauncher::kOutOfResources:
      return {Msg::AlertProgramOutOfResourcesEvent, Msg::AlertProgramOutOfResourcesLog};
    case ProgramLauncher::kBadExecutable:
      return {Msg::AlertProgramBadExeEvent, Msg::AlertProgramBadExeLog};
    case ProgramLauncher::kFileNotFound:
      return {Msg::AlertProgramFileNotFoundEvent, Msg::AlertProgramFileNotFoundLog};
    case ProgramLauncher::kPathNotFound:
      return {Msg::AlertProgramPathNotFoundEvent, Msg::AlertProgramPathNotFoundLog};
    default:
      return {Msg::AlertProgramUnknownErrorEvent, Msg::AlertProgramUnknownErrorLog};
  }
}

}  // namespace

AlertDispatcher::AlertDispatcher(const AppSettings& settings, AlertChannels& channels,
                                 RunningLog& log, Sleeper& sleeper, ProgramLauncher& launcher)
    : settings_(settings), channels_(channels), log_(log), sleeper_(sleeper), launcher_(launcher) {}

std::string AlertDispatcher::ExpandTemplate(std::string_view text, std::string_view address,
                                            std::string_view checkTime, std::string_view name,
                                            std::string_view checkService) {
  std::string result = ReplaceAll(text, "%i", address);
  result = ReplaceAll(result, "%t", checkTime);
  result = ReplaceAll(result, "%s", name);
  return ReplaceAll(result, "%c", checkService);
}

AlertDispatcher::Texts AlertDispatcher::Expand(Sequence sequence, const ComputerEntry& row,
                                               std::string_view checkTime) const {
  const auto expand = [&](const std::string& text) {
    return ExpandTemplate(text, row[Field::IpAddress], checkTime, row[Field::ComputerName],
                          row[Field::CheckService]);
  };
  if (sequence == Sequence::Down) {
    return {expand(settings_.DownMsgJp), expand(settings_.DownMsgUs),
            expand(settings_.DownSubjectJp), expand(settings_.DownSubjectUs)};
  }
  return {expand(settings_.RestoreMsgJp), expand(settings_.RestoreMsgUs),
          expand(settings_.RestoreSubjectJp), expand(settings_.RestoreSubjectUs)};
}

std::string AlertDispatcher::Recipients(const ComputerEntry& row) const {
  return row[Field::NoDefaultMail] == FlagText(true) ? row[Field::MailAddress] : settings_.MailTo;
}

void AlertDispatcher::RestoreAlert(const ComputerEntry& row, std::string_view checkTime) {
  log_.WriteLine(Text(Msg::AlertRestoreRecognised));
  const Texts texts = Expand(Sequence::Restore, row, checkTime);
  if (FlagSet(row, Field::ByEventlog)) EventLogStep(EventType::Information, texts.messageJp);
  if (FlagSet(row, Field::ByNetsend)) NetSendStep(row, texts.messageJp, Sequence::Restore);
  if (!row[Field::RestoreProgram].empty()) {
    RunAlertProgram(row[Field::RestoreProgram], Sequence::Restore);
  }
  if (FlagSet(row, Field::ByMail)) SendMailStep(texts, row);
}

void AlertDispatcher::DownAlert(const ComputerEntry& row, std::string_view checkTime) {
  const Texts texts = Expand(Sequence::Down, row, checkTime);
  if (FlagSet(row, Field::ByNetsend)) NetSendStep(row, texts.messageJp, Sequence::Down);
  if (!row[Field::DownProgram].empty()) RunAlertProgram(row[Field::DownProgram], Sequence::Down);
  if (FlagSet(row, Field::ByMail)) SendMailStep(texts, row);
  if (FlagSet(row, Field::ByEventlog)) EventLogStep(EventType::Error, texts.messageJp);
}

void AlertDispatcher::ReportFailure(std::string_view eventText, std::string_view logText) {
  channels_.WriteEventLog(EventType::Warning, eventText);
  log_.WriteLine(logText);
}

void AlertDispatcher::EventLogStep(EventType type, std::string_view text) {
  // Only the running log can tell of a failed entry; it must not claim the
  // entry was written.
  const bool written = channels_.WriteEventLog(type, text);
  log_.WriteLine(Text(written ? Msg::AlertEventLogWritten : Msg::AlertEventLogFailed));
}

void AlertDispatcher::NetSendStep(const ComputerEntry& row, std::string_view text,
                                  Sequence sequence) {
  log_.WriteLine(Text(Msg::AlertNetsendStarting) + settings_.NetsendTo);
  if (settings_.NetsendTo.empty()) {
    ReportFailure(Text(sequence == Sequence::Down ? Msg::AlertNetsendNoRecipientDownEvent
                                                  : Msg::AlertNetsendNoRecipientRestoreEvent),
                  Text(Msg::AlertNetsendNoRecipientLog));
    return;
  }
  const NetSendResult sent = channels_.SendNetMessage(settings_.NetsendTo, text);
  if (sent != NetSendResult::Sent) {
    if (channels_.StopGraceEnded()) {
      ReportAbandoned(row, Msg::AlertAbandonedNetsendTail);
      return;
    }
    // The event log names the cause; the log line keeps its fixed text.
    ReportFailure(Text(Msg::AlertNetsendFailedEvent) + NetSendFailureCause(sent),
                  Text(Msg::AlertNetsendFailedLog));
    return;
  }
  log_.WriteLine(Text(Msg::AlertNetsendSent));
}

void AlertDispatcher::RunAlertProgram(std::string_view commandLine, Sequence sequence) {
  const int code = launcher_.Start(commandLine).code;
  const Msg label =
      sequence == Sequence::Down ? Msg::AlertDownProgramLabel : Msg::AlertRestoreProgramLabel;
  std::string line = Text(label);
  line += commandLine;
  line += Text(Msg::AlertProgramStarting);
  log_.WriteLine(line);
  if (code >= 32) return;

  const ProgramFailure failure = FailureFor(code);
  std::string event = Text(Msg::AlertProgramEventHead);
  event += commandLine;
  event += Text(failure.eventTail);
  ReportFailure(event, Text(failure.logText));
}

void AlertDispatcher::SendMailStep(const Texts& texts, const ComputerEntry& row) {
  const bool english = settings_.SendMailByEnglish != 0;
  const bool sent = SendAlertMail(Recipients(row), english ? texts.subjectUs : texts.subjectJp,
                                  english ? texts.messageUs : texts.messageJp);
  if (!sent && channels_.StopGraceEnded()) ReportAbandoned(row, Msg::AlertAbandonedMailTail);
}

bool AlertDispatcher::SendAlertMail(std::string_view recipients, std::string_view subject,
                                    std::string_view body) {
  std::string line = Text(Msg::AlertMailStarting);
  line += settings_.SmtpServer;
  line += ":MAILFROM:";
  line += settings_.MailFrom;
  line += ":MAILTO:";
  line += recipients;
  log_.WriteLine(line);

  if (settings_.SmtpServer.empty()) {
    ReportFailure(Text(Msg::AlertMailNoServerEvent), Text(Msg::AlertMailNoServerLog));
    return false;
  }
  if (settings_.MailFrom.empty()) {
    ReportFailure(Text(Msg::AlertMailNoSenderEvent), Text(Msg::AlertMailNoSenderLog));
    return false;
  }
  if (recipients.empty()) {
    ReportFailure(Text(Msg::AlertMailNoRecipientEvent), Text(Msg::AlertMailNoRecipientLog));
    return false;
  }
  if (settings_.MailAfter30Minutes == 1) {
    log_.WriteLine(Text(Msg::AlertMailWaiting));
    // A stop cuts the wait short; the mail still goes, within the stop's grace.
    sleeper_.SleepUnlessStopped(kMailWaitMs, WatchStopEvent());
  }
  if (channels_.SendMail(settings_.SmtpServer, settings_.MailFrom, recipients, subject, body) ==
      0) {
    // Given up at the end of the stop's grace: the mail step tells so instead.
    if (channels_.StopGraceEnded()) return false;
    ReportFailure(Text(Msg::AlertMailFailedEvent), Text(Msg::AlertMailFailedLog));
    return false;
  }
  log_.WriteLine(Text(Msg::AlertMailSent));
  return true;
}

void AlertDispatcher::ReportAbandoned(const ComputerEntry& row, Msg channelTail) {
  std::string computer = row[Field::ComputerName];
  computer += '(';
  computer += row[Field::IpAddress];
  computer += ')';
  computer += Text(channelTail);
  ReportFailure(Text(Msg::AlertAbandonedEventHead) + computer,
                Text(Msg::AlertAbandonedLogHead) + computer);
}

}  // namespace tarnwick
