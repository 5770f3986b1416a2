#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/AppSettings.h"
#include "platform/RegistryFile.h"
#include "platform/UserPrompt.h"

namespace tarnwick {

inline constexpr std::string_view kSettingsKey = "SOFTWARE\\KORVALE\\ZNRQ";
inline constexpr std::string_view kMessagesKey = "SOFTWARE\\KORVALE\\ZNRQ\\MSG";

// Longest text value read back, in bytes with its terminating zero.
inline constexpr std::size_t kTextReadLimit = 256;

enum class SettingKind { Number, Text };

// Reads one value into `buffer`, which is emptied first. A number is read as
// a 4-byte value whatever its stored kind and returned as decimal text; a
// text is read with a limit of `textLimit` bytes including its terminating
// zero. False, with `buffer` empty, when the key cannot be opened or the
// value is absent or longer than the limit.
bool ReadSettingValue(RegistryFile& registry, RegistryRoot root, std::string_view subkey,
                      std::string_view name, SettingKind kind, std::string& buffer,
                      std::size_t textLimit = kTextReadLimit);

// Writes one value under HKEY_LOCAL_MACHINE, creating the key when needed: a
// number as a 4-byte REG_DWORD, a text as REG_SZ with its terminating zero.
// A failure shows "ﾚｼﾞｽﾄﾘにｱｸｾｽできませんでした。" with the caption "注意 A01"
// (key), "注意 A02" (number) or "注意 A03" (text) and returns false.
bool WriteSettingValue(RegistryFile& registry, UserPrompt& prompt, std::string_view subkey,
                       std::string_view name, int number);
bool WriteSettingValue(RegistryFile& registry, UserPrompt& prompt, std::string_view subkey,
                       std::string_view name, std::string_view text);

// What loading found of the registry file, for the front end to tell.
struct SettingsLoadOutcome {
  RegistryFileState state = RegistryFileState::Ok;
  // CP932, naming the file; empty when the file was read.
  std::string message;

  // A file that is there but could not serve: the user should hear of it.
  bool IsFault() const {
    return state != RegistryFileState::Ok && state != RegistryFileState::Missing;
  }
};

// Fills every field from the registry; a value that cannot be read takes its
// default. A text longer than its field's capacity is cut to it. A registry
// file that is not a regular file is never opened for reading, so loading
// cannot block (a FIFO would wait for a writer while stop signals queue up).
SettingsLoadOutcome LoadSettings(AppSettings& settings, RegistryFile& registry);

// Writes every field; each failure shows its message box and the remaining
// values are still written. A registry file that exists but cannot be read
// as one is never replaced silently: the user is asked first, and on yes the
// old file is kept as NAME.bad; on no nothing is written. One that is not a
// regular file is never written.
void SaveSettings(const AppSettings& settings, RegistryFile& registry, UserPrompt& prompt);

// The name a replaced unreadable registry file keeps: "PATH.bad".
std::string BadRegistryPath(const std::string& path);

}  // namespace tarnwick
