#pragma once

namespace tarnwick {

// The integer results of the mail client's socket layer and session. 0 is
// success; each code has its event-log message in the catalogue. A failed
// service look-up gives its Winsock error less 5000 instead.
struct MailErrorCode {
  static constexpr int kOk = 0;
  static constexpr int kBufferMissing = 4001;
  static constexpr int kSendFailed = 4002;
  static constexpr int kNoConnectionObject = 4003;
  static constexpr int kVersionNotSupported = 4004;
  static constexpr int kWinsockVersion = 4005;
  static constexpr int kNetworkNotReady = 4006;
  static constexpr int kHostNotFound = 4007;
  static constexpr int kSocketFailed = 4008;
  static constexpr int kReadFailed = 4009;
  static constexpr int kNoConnection = 4010;
  static constexpr int kBusy = 4011;
  static constexpr int kCloseFailed = 4012;
  static constexpr int kTimedOut = 4013;
  static constexpr int kUnknownService = 4014;
  static constexpr int kConnectFailed = 4015;
  static constexpr int kConnectionLost = 4016;
  static constexpr int kConnectionRefused = 4017;

  static constexpr int kFirst = kBufferMissing;
  static constexpr int kLast = kConnectionRefused;

  static constexpr bool IsKnown(int code) { return code >= kFirst && code <= kLast; }
  static constexpr int FromServiceLookupError(int winsockError) { return winsockError - 5000; }

  // Submission with TLS and authentication. Their messages carry a detail
  // (the library's reason, the server's reply), so they stand apart.
  static constexpr int kStartTlsNotOffered = 4018;
  static constexpr int kTlsHandshakeFailed = 4019;
  static constexpr int kCertificateNotTrusted = 4020;
  static constexpr int kCertificateNameMismatch = 4021;
  static constexpr int kAuthNotOffered = 4022;
  static constexpr int kAuthRefused = 4023;
  static constexpr int kAuthNeedsTls = 4024;

  static constexpr int kFirstSecure = kStartTlsNotOffered;
  static constexpr int kLastSecure = kAuthNeedsTls;

  static constexpr bool IsSecure(int code) { return code >= kFirstSecure && code <= kLastSecure; }
};

}  // namespace tarnwick
