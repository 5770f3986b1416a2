#include "mail/SmtpClient.h"

#include <algorithm>
#include <initializer_list>
#include <mutex>
#include <new>

#include "mail/Connection.h"
#include "mail/EhloReply.h"
#include "mail/MailErrorCode.h"
#include "mail/MailTrace.h"
#include "mail/MessageComposer.h"
#include "mail/SmtpAuth.h"
#include "platform/CodePage.h"
#include "platform/Messages.h"

namespace tarnwick {

struct SmtpClient::Storage {
  std::string server;  // the host only, once the service has been split off
  std::string service;
  std::string localHost;
  std::string sender;
  std::string recipients;
  std::string subject;
  std::string reply;
  connection* current = nullptr;
};

namespace {

constexpr int kNoReply = -1;
constexpr std::string_view kRecipientSeparators = ";\n\t\r";
// Bytes that would end or split an SMTP command line.
constexpr std::string_view kLineBreakingBytes("\r\n\0", 3);
// The event log's own "\r\n\r\n" shares its insertion buffer with the text.
constexpr std::size_t kEventTextLimit = EventLog::kInsertionCapacity - 1 - 4;

std::mutex& DeliveryMutex() {
  static std::mutex mutex;
  return mutex;
}

void Store(std::string& slot, std::string_view text, std::size_t capacity) {
  slot.assign(CutCp932(text, capacity - 1));
}

bool BreaksCommandLine(std::string_view text) {
  return text.find_first_of(kLineBreakingBytes) != std::string_view::npos;
}

// The message patterns hold "%s" and "%d" only; arguments are inserted in
// order and never scanned again, so a '%' in an address stays text.
std::string Fill(std::string_view pattern, std::initializer_list<std::string> arguments) {
  std::string out;
  auto next = arguments.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const bool placeholder = pattern[i] == '%' && i + 1 < pattern.size() &&
                             (pattern[i + 1] == 's' || pattern[i + 1] == 'd');
    if (placeholder && next != arguments.end()) {
      out += *next++;
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

// The number at the start of the reply, read as atoi reads it; it saturates
// rather than overflowing on a server's endless digits.
int ReplyCode(std::string_view reply) {
  std::size_t i = 0;
  while (i < reply.size() && (reply[i] == ' ' || (reply[i] >= '\t' && reply[i] <= '\r')))
    ++i;
  bool negative = false;
  if (i < reply.size() && (reply[i] == '+' || reply[i] == '-')) negative = reply[i++] == '-';
  int value = 0;
  for (; i < reply.size() && reply[i] >= '0' && reply[i] <= '9'; ++i) {
    value = value < 100000000 ? value * 10 + (reply[i] - '0') : value;
  }
  return negative ? -value : value;
}

// "250-..." announces another line of the same reply.
bool AnnouncesMoreLines(std::string_view lineHead) {
  return lineHead.size() == 4 && lineHead[3] == '-' &&
         lineHead.find_first_not_of("0123456789") == 3;
}

// One trace line per line of `text`, its line end left out, after `prefix`.
void TraceLines(std::string_view prefix, std::string_view text) {
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    MailTrace::Write(std::string(prefix) + std::string(line));
    text.remove_prefix(std::min(end + 1, text.size()));
  }
}

Msg MessageOfSecureCode(int code) {
  return static_cast<Msg>(static_cast<int>(Msg::MailStartTlsNotOffered) +
                          (code - MailErrorCode::kFirstSecure));
}

std::string_view FirstLine(std::string_view text) {
  return text.substr(0, std::min(text.find_first_of("\r\n"), text.size()));
}

Msg MessageOfCode(int code) {
  if (!MailErrorCode::IsKnown(code)) return Msg::MailErrorUnknown;
  return static_cast<Msg>(static_cast<int>(Msg::MailError4001) + (code - MailErrorCode::kFirst));
}

}  // namespace

SmtpClient::SmtpClient(const MailEnvironment& environment, Storage& storage)
    : environment_(environment), storage_(storage) {}

SmtpClient::Storage& SmtpClient::ProcessStorage() {
  static Storage storage;
  return storage;
}

int SmtpClient::SendMail(const MailEnvironment& environment, std::string_view server,
                         std::string_view sender, std::string_view recipients,
                         std::string_view subject, std::string_view body) {
  std::lock_guard lock(DeliveryMutex());
  Storage& storage = ProcessStorage();
  Store(storage.server, server, kServerCapacity);
  storage.service.clear();
  storage.localHost.clear();
  Store(storage.sender, sender, kSenderCapacity);
  Store(storage.recipients, recipients, kRecipientsCapacity);
  Store(storage.subject, subject, kSubjectCapacity);
  storage.reply.clear();
  storage.current = nullptr;
  return SmtpClient(environment, storage).Deliver(body);
}

int SmtpClient::Deliver(std::string_view body) {
  if (BreaksCommandLine(storage_.server) || BreaksCommandLine(storage_.sender) ||
      storage_.recipients.find('\0') != std::string::npos) {
    ReportUnsafeText();
    return 0;
  }
  // Credentials never travel in plain text, whatever the registry says.
  if (environment_.submission.Authenticates() &&
      environment_.submission.protection == SmtpProtection::None) {
    ReportSecureFailure(MailErrorCode::kAuthNeedsTls, "");
    return 0;
  }
  try {
    const std::string message =
        MessageComposer::Compose(storage_.sender, storage_.recipients, storage_.subject, body,
                                 environment_.english, environment_.clock.Now());
    if (environment_.showMessage) {
      environment_.prompt.Show(message, "", PromptIcon::None, PromptButtons::Ok);
    }
    const bool delivered = SmtpSession() && SendMessageText(message);
    if (delivered) {
      TellPhase(MailPhase::Closing);
      SendCommand("QUIT\r\n");
      ReadReply();
    }
    CloseConnection();
    return delivered ? 1 : 0;
  } catch (const std::bad_alloc&) {
    ReportMailError(MailErrorCode::kBufferMissing);
    if (storage_.current != nullptr) CloseConnection();
    return 0;
  }
}

void SmtpClient::TellPhase(MailPhase phase) const {
  if (environment_.phaseBegins) environment_.phaseBegins(phase);
}

bool SmtpClient::Connect() {
  const std::size_t colon = storage_.server.find(':');
  const bool hasService = colon != std::string::npos;
  if (hasService) {
    Store(storage_.service, std::string_view(storage_.server).substr(colon + 1), kServiceCapacity);
    storage_.server.resize(colon);
  }
  const std::string defaultService = environment_.submission.DefaultService();
  const std::string_view service = hasService ? storage_.service : std::string_view(defaultService);
  int code = ConnectTo(service);
  if (code == MailErrorCode::kUnknownService) {
    // A system without "smtp" in its services still reaches port 25.
    code = ConnectTo(hasService ? storage_.service : std::string_view("25"));
  }
  if (code != MailErrorCode::kOk) {
    ReportMailError(code);
    return false;
  }
  return true;
}

int SmtpClient::ConnectTo(std::string_view service) {
  MailTrace::Write("connect " + storage_.server + " " + std::string(service));
  const int code = connection::connect(storage_.server, service, storage_.current,
                                       environment_.waitLimit, environment_.stop);
  if (code != MailErrorCode::kOk) MailTrace::Write("connect failed: " + std::to_string(code));
  return code;
}

bool SmtpClient::SmtpSession() {
  TellPhase(MailPhase::Connecting);
  if (!Connect()) return false;
  if (environment_.submission.protection == SmtpProtection::Tls && !StartTls()) return false;

  const int hostCode = connection::gethostname(storage_.localHost, kLocalHostCapacity);
  if (hostCode != MailErrorCode::kOk) {
    ReportMailError(hostCode);
    return false;
  }
  if (BreaksCommandLine(storage_.localHost)) {
    ReportUnsafeText();
    return false;
  }

  int reply = ReadReply();
  if (reply != 220) {
    return AbortSession(Fill(Text(Msg::MailGreetingRefused), {std::to_string(reply)}));
  }

  TellPhase(MailPhase::Sending);
  const std::string& heloName = storage_.localHost.empty() ? storage_.server : storage_.localHost;
  if (environment_.submission.Extended()) {
    if (!Submit(heloName)) return false;
  } else {
    if (!SendCommand("HELO " + heloName + "\r\n")) return false;
    reply = ReadReply();
    if (reply != 250 && reply != 220) {
      return AbortSession(Fill(Text(Msg::MailHeloRefused), {std::to_string(reply)}));
    }
  }

  const std::string address = SenderAddress(storage_.sender);
  if (!SendCommand("MAIL From:<" + address + ">\r\n")) return false;
  reply = ReadReply();
  if (reply != 250) {
    return AbortSession(Fill(Text(Msg::MailFromRefused), {address, std::to_string(reply)}));
  }

  if (!SendRecipients()) return false;

  if (!SendCommand("DATA\r\n")) return false;
  reply = ReadReply();
  if (reply != 354) {
    return AbortSession(Fill(Text(Msg::MailDataRefused), {std::to_string(reply)}));
  }
  return true;
}

// Every recipient must be accepted: there is no partial delivery. Runs of
// separators count as one, and empty names are skipped.
bool SmtpClient::SendRecipients() {
  const std::string_view list = storage_.recipients;
  std::size_t start = list.find_first_not_of(kRecipientSeparators);
  while (start != std::string_view::npos) {
    const std::size_t end = std::min(list.find_first_of(kRecipientSeparators, start), list.size());
    const std::string recipient(list.substr(start, end - start));
    // A failed send shows up as a failed reply right after.
    SendCommand("RCPT To: <" + recipient + ">\r\n");
    if (ReadReply() != 250) {
      return AbortSession(Fill(Text(Msg::MailRcptRefused), {recipient}));
    }
    start = list.find_first_not_of(kRecipientSeparators, end);
  }
  return true;
}

std::string SmtpClient::SenderAddress(std::string_view sender) {
  const std::size_t open = sender.find_first_of("(<");
  if (open == std::string_view::npos) return std::string(sender);
  if (sender[open] == '<') {
    const std::size_t close = sender.find('>', open + 1);
    const std::size_t end = close == std::string_view::npos ? sender.size() : close;
    return std::string(sender.substr(open + 1, end - open - 1));
  }
  std::string address(sender.substr(0, open));
  const std::size_t close = sender.find(')', open + 1);
  if (close != std::string_view::npos) address += sender.substr(close + 1);
  return address;
}

// A reply is complete at the end of a line after which nothing more is
// waiting, unless the line announces a continuation ("250-"): then the next
// line is awaited, so a reply split across packets is never taken for two.
int SmtpClient::ReadReply() {
  std::string& reply = storage_.reply;
  reply.clear();
  std::string lineHead;
  bool polling = false;
  for (;;) {
    char c = 0;
    const int code = connection::getchar(storage_.current, polling, c);
    if (code != MailErrorCode::kOk) {
      if (polling) break;
      TraceLines("< ", reply);
      MailTrace::Write("< no reply: " + std::to_string(code));
      ReportMailError(code);
      replyLost_ = true;
      return kNoReply;
    }
    // Text beyond the store is read and dropped.
    if (reply.size() < kReplyCapacity - 1) reply += c;
    if (lineHead.size() < 4) lineHead += c;
    polling = c == '\n' && !AnnouncesMoreLines(lineHead);
    if (c == '\n') lineHead.clear();
  }
  TraceLines("< ", reply);
  return ReplyCode(reply);
}

// In the header CR CR LF is dropped; runs of CR collapse; a bare LF gets its
// CR, which SMTP requires and without which a strict server never sees the
// end; a '.' that starts a line is doubled.
std::string SmtpClient::DataText(std::string_view text) {
  const std::size_t found = text.find("\r\n\r\n");
  const std::size_t headerEnd = found == std::string_view::npos ? 0 : found;
  std::string wire;
  wire.reserve(text.size() + text.size() / 16 + 8);
  char previous = 'x';
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' && i < headerEnd && text.substr(i, 3) == "\r\r\n") {
      i += 2;
      previous = '\n';
      continue;
    }
    if (c == '\r') {
      if (previous != '\r') wire += '\r';
    } else if (c == '\n') {
      if (previous != '\r') wire += '\r';
      wire += '\n';
    } else if (c == '.' && previous == '\n') {
      wire += "..";
    } else {
      wire += c;
    }
    previous = c;
  }
  const bool endsWithLf = !text.empty() && text.back() == '\n';
  wire += endsWithLf ? ".\r\n" : "\r\n.\r\n";
  return wire;
}

// The message goes out through the send buffer in 512-byte blocks.
bool SmtpClient::SendMessageText(std::string_view text) {
  const std::string wire = DataText(text);
  // The message text itself stays out of the trace.
  MailTrace::Write("> (message text, " + std::to_string(wire.size()) + " bytes)");
  connection* const conn = storage_.current;
  int code = connection::put_buffered(conn, wire.data(), wire.size());
  if (code == MailErrorCode::kOk) code = connection::flush_buffered(conn);
  if (code != MailErrorCode::kOk) {
    ReportMailError(code);
    return false;
  }

  const int reply = ReadReply();
  if (reply != 250) {
    return AbortSession(Fill(Text(Msg::MailDataNotAccepted), {std::to_string(reply)}));
  }
  return true;
}

// Always false: the attempt has failed. A server that answered hears QUIT
// all the same. One that never answered, or went away, has had its cause
// (time-out, lost connection) reported by ReadReply: a reply code of -1
// would only hide it, and a QUIT would wait for it again.
bool SmtpClient::AbortSession(std::string_view text) {
  if (!replyLost_) {
    std::string entry = Text(Msg::MailAttemptFailed);
    entry += text;
    Warn(entry);
  }
  // What the server said before it fell silent still helps; nothing is no entry.
  if (!storage_.reply.empty()) Warn(CutCp932(storage_.reply, kEventTextLimit));
  if (replyLost_) return false;
  SendCommand("QUIT\r\n");
  ReadReply();
  return false;
}

bool SmtpClient::SendCommand(std::string_view command) {
  TraceLines("> ", command);
  const int code = connection::put_data(storage_.current, command.data(), command.size());
  if (code == MailErrorCode::kOk) return true;
  ReportMailError(code);
  return false;
}

void SmtpClient::CloseConnection() {
  const int code = connection::close(storage_.current);
  if (code == MailErrorCode::kOk) storage_.current = nullptr;
  // A connection that failed to connect is missing here: 4010 is reported too.
  if (code != MailErrorCode::kOk) ReportMailError(code);
}

void SmtpClient::ReportMailError(int code) {
  Warn(Text(Msg::MailFailed) + Text(MessageOfCode(code)));
}

void SmtpClient::ReportUnsafeText() {
  Warn(Text(Msg::MailFailed) + Text(Msg::MailUnsafeText));
}

void SmtpClient::Warn(std::string_view text) {
  environment_.eventLog.Write(EventType::Warning, text);
}

// With protection or credentials: EHLO; STARTTLS and EHLO again when asked
// for; then AUTH. A server without STARTTLS fails the mail: it never goes
// on in plain text.
bool SmtpClient::Submit(const std::string& heloName) {
  const SmtpSubmission& submission = environment_.submission;
  if (!Ehlo(heloName)) return false;
  if (submission.protection == SmtpProtection::StartTls) {
    if (!EhloReply(storage_.reply).Offers("STARTTLS")) {
      return FailSecurely(MailErrorCode::kStartTlsNotOffered, "");
    }
    if (!SendCommand("STARTTLS\r\n")) return false;
    const int reply = ReadReply();
    if (reply != 220) {
      return AbortSession(Fill(Text(Msg::MailStartTlsRefused), {std::to_string(reply)}));
    }
    if (!StartTls() || !Ehlo(heloName)) return false;
  }
  return !submission.Authenticates() || Authenticate();
}

bool SmtpClient::Ehlo(const std::string& heloName) {
  if (!SendCommand("EHLO " + heloName + "\r\n")) return false;
  const int reply = ReadReply();
  if (reply != 250) return AbortSession(Fill(Text(Msg::MailEhloRefused), {std::to_string(reply)}));
  return true;
}

// A failed handshake leaves nothing to say QUIT over.
bool SmtpClient::StartTls() {
  std::string detail;
  const int code = connection::start_tls(storage_.current, storage_.server,
                                         environment_.submission.caFile, detail);
  if (code == MailErrorCode::kOk) return true;
  ReportSecureFailure(code, detail);
  return false;
}

// PLAIN where offered, else LOGIN. One attempt: a refusal ends the mail.
bool SmtpClient::Authenticate() {
  const SmtpSubmission& submission = environment_.submission;
  const SmtpAuth::Mechanism mechanism = SmtpAuth::Choose(EhloReply(storage_.reply));
  if (mechanism == SmtpAuth::Mechanism::None) {
    return FailSecurely(MailErrorCode::kAuthNotOffered, "");
  }
  int reply = kNoReply;
  if (mechanism == SmtpAuth::Mechanism::Plain) {
    const std::string response = SmtpAuth::PlainResponse(submission.user, submission.password);
    if (!SendSecret("AUTH PLAIN " + response + "\r\n", "AUTH PLAIN (credentials left out)")) {
      return false;
    }
    reply = ReadReply();
  } else {
    if (!SendCommand("AUTH LOGIN\r\n")) return false;
    reply = ReadReply();
    if (reply == 334) {
      if (!SendSecret(SmtpAuth::Base64(submission.user) + "\r\n", "(user name left out)")) {
        return false;
      }
      reply = ReadReply();
    }
    if (reply == 334) {
      if (!SendSecret(SmtpAuth::Base64(submission.password) + "\r\n", "(password left out)")) {
        return false;
      }
      reply = ReadReply();
    }
  }
  if (reply == 235) return true;
  return FailSecurely(MailErrorCode::kAuthRefused, FirstLine(storage_.reply));
}

// Like SendCommand, with `traced` in the trace instead of the command.
bool SmtpClient::SendSecret(std::string_view command, std::string_view traced) {
  MailTrace::Write("> " + std::string(traced));
  const int code = connection::put_data(storage_.current, command.data(), command.size());
  if (code == MailErrorCode::kOk) return true;
  ReportMailError(code);
  return false;
}

// Always false; the server hears QUIT all the same.
bool SmtpClient::FailSecurely(int code, std::string_view detail) {
  ReportSecureFailure(code, detail);
  SendCommand("QUIT\r\n");
  ReadReply();
  return false;
}

void SmtpClient::ReportSecureFailure(int code, std::string_view detail) {
  if (!MailErrorCode::IsSecure(code)) {
    ReportMailError(code);
    return;
  }
  const std::string text = Fill(Text(MessageOfSecureCode(code)), {std::string(detail)});
  Warn(CutCp932(Text(Msg::MailFailed) + text, kEventTextLimit));
}

}  // namespace tarnwick
