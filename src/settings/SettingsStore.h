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

// Fills every field from the registry; a value that cannot be read takes its
// default. A text longer than its field's capacity is cut to it.
void LoadSettings(AppSettings& settings, RegistryFile& registry);

// Writes every field; each failure shows its message box and the remaining
// values are still written.
void SaveSettings(const AppSettings& settings, RegistryFile& registry, UserPrompt& prompt);

}  // namespace tarnwick
