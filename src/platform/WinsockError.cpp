#include "platform/WinsockError.h"

#include <cerrno>

namespace tarnwick {

int WinsockErrorFromErrno(int error) {
  switch (error) {
    case EINTR:
      return wsa::kEintr;
    case EBADF:
      return wsa::kEbadf;
    case EACCES:
    case EPERM:
      return wsa::kEacces;
    case EFAULT:
      return wsa::kEfault;
    case EINVAL:
      return wsa::kEinval;
    case EMFILE:
    case ENFILE:
      return wsa::kEmfile;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
      return wsa::kEwouldblock;
    case EINPROGRESS:
      return wsa::kEinprogress;
    case EALREADY:
      return wsa::kEalready;
    case ENOTSOCK:
      return wsa::kEnotsock;
    case EMSGSIZE:
      return wsa::kEmsgsize;
    case EAFNOSUPPORT:
      return wsa::kEafnosupport;
    case EADDRINUSE:
      return wsa::kEaddrinuse;
    case EADDRNOTAVAIL:
      return wsa::kEaddrnotavail;
    case ENETDOWN:
      return wsa::kEnetdown;
    case ENETUNREACH:
      return wsa::kEnetunreach;
    case ENETRESET:
      return wsa::kEnetreset;
    case ECONNABORTED:
      return wsa::kEconnaborted;
    // Winsock reports a send on a connection the peer has reset as a reset.
    case ECONNRESET:
    case EPIPE:
      return wsa::kEconnreset;
    case ENOBUFS:
    case ENOMEM:
      return wsa::kEnobufs;
    case EISCONN:
      return wsa::kEisconn;
    case ENOTCONN:
      return wsa::kEnotconn;
    case ESHUTDOWN:
      return wsa::kEshutdown;
    case ETIMEDOUT:
      return wsa::kEtimedout;
    case ECONNREFUSED:
      return wsa::kEconnrefused;
    case EHOSTDOWN:
      return wsa::kEhostdown;
    case EHOSTUNREACH:
      return wsa::kEhostunreach;
    default:
      return 10000 + error;
  }
}

}  // namespace tarnwick
