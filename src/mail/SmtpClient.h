#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "mail/MailEnvironment.h"

namespace tarnwick {

class connection;

// The program's own SMTP client: composes one message and delivers it with
// HELO, MAIL, RCPT, DATA and QUIT; with protection or a login (see
// SmtpSubmission) EHLO, STARTTLS and AUTH come first. Every failure goes to
// the event log as a warning; the caller learns only whether the mail was
// delivered.
//
// Deliveries are serialised: the working texts live in process-wide storage
// of fixed capacities (longer arguments are cut, CP932-aware), so only one
// delivery may run at a time.
class SmtpClient {
 public:
  // Capacities of the process-wide storage, terminating zero included.
  static constexpr std::size_t kServerCapacity = 132;
  static constexpr std::size_t kServiceCapacity = 256;
  static constexpr std::size_t kLocalHostCapacity = 129;
  static constexpr std::size_t kSenderCapacity = 132;
  static constexpr std::size_t kRecipientsCapacity = 252;
  static constexpr std::size_t kSubjectCapacity = 516;
  static constexpr std::size_t kReplyCapacity = 2048;

  // 1 when the message was delivered, 0 when it was not. `server` is a host
  // optionally followed by ':' and a port or service name; `recipients` are
  // separated by ';' (LF, TAB and CR also separate). All texts are CP932.
  static int SendMail(const MailEnvironment& environment, std::string_view server,
                      std::string_view sender, std::string_view recipients,
                      std::string_view subject, std::string_view body);

  // The address that goes between the brackets of MAIL From: "Name <a@b>"
  // gives "a@b", "a@b (Name)" gives "a@b ".
  static std::string SenderAddress(std::string_view sender);

  // The bytes that follow DATA for message `text`, end sequence included.
  static std::string DataText(std::string_view text);

 private:
  struct Storage;

  SmtpClient(const MailEnvironment& environment, Storage& storage);

  int Deliver(std::string_view body);
  bool SmtpSession();
  void TellPhase(MailPhase phase) const;
  bool Connect();
  // One connection attempt to the server at `service`, traced.
  int ConnectTo(std::string_view service);
  bool SendRecipients();
  int ReadReply();
  bool SendMessageText(std::string_view text);
  bool AbortSession(std::string_view text);
  void ReportMailError(int code);
  void ReportUnsafeText();
  bool SendCommand(std::string_view command);
  void CloseConnection();
  void Warn(std::string_view text);
  // EHLO, STARTTLS and AUTH, as the submission settings ask.
  bool Submit(const std::string& heloName);
  bool Ehlo(const std::string& heloName);
  bool StartTls();
  bool Authenticate();
  bool SendSecret(std::string_view command, std::string_view traced);
  bool FailSecurely(int code, std::string_view detail);
  void ReportSecureFailure(int code, std::string_view detail);

  static Storage& ProcessStorage();

  const MailEnvironment& environment_;
  Storage& storage_;
  // A reply could not be read: the server is silent or gone.
  bool replyLost_ = false;
};

}  // namespace tarnwick
