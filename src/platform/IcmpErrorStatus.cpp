#include "platform/IcmpErrorStatus.h"

#include <cerrno>

#include "platform/IcmpReplyParser.h"

namespace tarnwick {
namespace {

IcmpStatus StatusOfUnreachableCode(std::uint8_t code) {
  switch (code) {
    case 0:   // network unreachable
    case 6:   // network unknown
    case 9:   // network administratively prohibited
    case 11:  // network unreachable for the type of service
      return IcmpStatus::DestinationNetUnreachable;
    case 2:
      return IcmpStatus::DestinationProtocolUnreachable;
    case 3:
      return IcmpStatus::DestinationPortUnreachable;
    case 4:
      return IcmpStatus::PacketTooBig;
    case 5:
      return IcmpStatus::BadRoute;
    default:
      return IcmpStatus::DestinationHostUnreachable;
  }
}

}  // namespace

IcmpStatus StatusOfIcmpError(std::uint8_t type, std::uint8_t code) {
  switch (type) {
    case IcmpReplyParser::kDestinationUnreachable:
      return StatusOfUnreachableCode(code);
    case IcmpReplyParser::kSourceQuench:
      return IcmpStatus::SourceQuench;
    case IcmpReplyParser::kTimeExceeded:
      return code == 1 ? IcmpStatus::TtlExpiredInReassembly : IcmpStatus::TtlExpiredInTransit;
    case IcmpReplyParser::kParameterProblem:
      return IcmpStatus::ParameterProblem;
    default:
      return IcmpStatus::GeneralFailure;
  }
}

IcmpStatus StatusOfSendError(int error) {
  switch (error) {
    case ENETUNREACH:
      return IcmpStatus::DestinationNetUnreachable;
    case EHOSTUNREACH:
      return IcmpStatus::DestinationHostUnreachable;
    case EACCES:  // a broadcast address, or a route that prohibits it
      return IcmpStatus::BadDestination;
    default:
      return IcmpStatus::GeneralFailure;
  }
}

}  // namespace tarnwick
