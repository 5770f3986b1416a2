#pragma once

#include <optional>
#include <string_view>

#include "platform/Messages.h"

namespace tarnwick {

// Checks a ';'-separated recipient list by its '@', ';' and space characters
// alone: '@' and ';' must alternate, starting and ending with '@', and no
// space may appear. Returns the message of the first rule broken in reading
// order, or nothing when the list is acceptable (the empty list is).
std::optional<Msg> ValidateMailAddressList(std::string_view list);

}  // namespace tarnwick
