#include "platform/LocalTime.h"

#include <optional>

namespace tarnwick {

std::tm ToLocalTime(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  return local;
}

const std::string& FormatLocalTime(std::time_t when, const char* pattern) {
  // A pass stamps row after row within the same second: each thread keeps
  // the text it formatted last.
  thread_local std::optional<std::time_t> lastWhen;
  thread_local std::string lastPattern;
  thread_local std::string lastText;
  if (lastWhen == when && lastPattern == pattern) return lastText;
  const std::tm local = ToLocalTime(when);
  char buffer[128];
  const std::size_t length = std::strftime(buffer, sizeof buffer, pattern, &local);
  lastWhen = when;
  lastPattern = pattern;
  lastText.assign(buffer, length);
  return lastText;
}

std::time_t MakeLocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

}  // namespace tarnwick
