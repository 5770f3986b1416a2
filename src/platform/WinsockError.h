#pragma once

namespace tarnwick {

// The Winsock error numbers that the mail client's rules are written in.
// POSIX reports the same conditions through errno; WinsockErrorFromErrno
// translates, so the rules read the same on both systems.
namespace wsa {
inline constexpr int kEintr = 10004;
inline constexpr int kEbadf = 10009;
inline constexpr int kEacces = 10013;
inline constexpr int kEfault = 10014;
inline constexpr int kEinval = 10022;
inline constexpr int kEmfile = 10024;
inline constexpr int kEwouldblock = 10035;
inline constexpr int kEinprogress = 10036;
inline constexpr int kEalready = 10037;
inline constexpr int kEnotsock = 10038;
inline constexpr int kEmsgsize = 10040;
inline constexpr int kEafnosupport = 10047;
inline constexpr int kEaddrinuse = 10048;
inline constexpr int kEaddrnotavail = 10049;
inline constexpr int kEnetdown = 10050;
inline constexpr int kEnetunreach = 10051;
inline constexpr int kEnetreset = 10052;
inline constexpr int kEconnaborted = 10053;
inline constexpr int kEconnreset = 10054;
inline constexpr int kEnobufs = 10055;
inline constexpr int kEisconn = 10056;
inline constexpr int kEnotconn = 10057;
inline constexpr int kEshutdown = 10058;
inline constexpr int kEtimedout = 10060;
inline constexpr int kEconnrefused = 10061;
inline constexpr int kEhostdown = 10064;
inline constexpr int kEhostunreach = 10065;
inline constexpr int kSysnotready = 10091;
inline constexpr int kVernotsupported = 10092;
inline constexpr int kNotinitialised = 10093;
inline constexpr int kHostNotFound = 11001;
inline constexpr int kTryAgain = 11002;
inline constexpr int kNoRecovery = 11003;
inline constexpr int kNoData = 11004;
}  // namespace wsa

// The Winsock number of a POSIX errno value. Values without a Winsock
// number keep the errno number above 10000, so they still read as
// "some socket error" and never collide with 0.
int WinsockErrorFromErrno(int error);

}  // namespace tarnwick
