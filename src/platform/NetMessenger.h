#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/StopEvent.h"

namespace tarnwick {

struct NetMessengerOptions {
  // Empty: the recipient's name is looked up through the system resolver
  // (hosts file, then DNS). NetBIOS broadcasts are never sent.
  std::string address;
  // The NetBIOS session service.
  int port = 139;
  // Unset: the session request is made on port 139 only, and left out on
  // any other port, as SMB over plain TCP does.
  std::optional<bool> sessionRequest;
  // Bound of the whole exchange: look-up, connect and every reply.
  std::chrono::milliseconds timeout{10000};
  // When set, a stop leaves the exchange `stopGrace` more before it is
  // abandoned (an alert decided before the stop is still delivered).
  const StopEvent* stop = nullptr;
  std::chrono::milliseconds stopGrace{0};
  // Empty: this computer's host name, as the system's own sender does.
  std::string sender;

  // The defaults, with TARNWICK_NETSEND_ADDRESS and TARNWICK_NETSEND_PORT
  // applied when set (for the end-to-end tests of the whole program).
  static NetMessengerOptions FromEnvironment();
};

// The "net send" pop-up: one WinPopup message over the SMB message protocol
// (SMBsendstrt, SMBsendtxt, SMBsendend), as the Messenger service and
// Samba's smbd receive it. Texts are CP932, which is the code page the
// message travels in. Keeps no state between sends; safe from any thread.
class NetMessenger {
 public:
  // Limits after conversion to UTF-16, without the terminating null.
  static constexpr std::size_t kMaxRecipientUnits = 127;
  static constexpr std::size_t kMaxTextUnits = 511;

  explicit NetMessenger(NetMessengerOptions options = {});

  // True only when the recipient accepted the whole message. Refuses (false,
  // nothing sent) a recipient or text beyond the limits and a recipient
  // that is empty, starts with '-' or holds blanks or control characters.
  bool Send(std::string_view recipient, std::string_view text) const;

  static bool IsAcceptableRecipient(std::string_view recipient);
  // UTF-16 code units of a CP932 text.
  static std::size_t Utf16Length(std::string_view cp932);

  const NetMessengerOptions& options() const { return options_; }

 private:
  NetMessengerOptions options_;
};

}  // namespace tarnwick
