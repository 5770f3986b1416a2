#pragma once

#include <ctime>
#include <string>

namespace tarnwick {

// The one time format of rows, logs, messages and pages.
inline constexpr const char* kDisplayTimeFormat = "%Y/%m/%d %H:%M:%S";

// The local time of `when`, broken down.
std::tm ToLocalTime(std::time_t when);

// `when` in local time, formatted with strftime's `pattern`; the text stays
// as it is until the thread's next call.
const std::string& FormatLocalTime(std::time_t when, const char* pattern = kDisplayTimeFormat);

// The epoch time of a local date and time (mktime, daylight saving decided
// by the system).
std::time_t MakeLocalTime(int year, int month, int day, int hour = 0, int minute = 0,
                          int second = 0);

}  // namespace tarnwick
