#include "settings/SettingsStore.h"

#include <stdio.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "platform/CodePage.h"
#include "platform/Messages.h"

namespace tarnwick {
namespace {

enum class Key { Settings, Messages };

// One field of AppSettings and the registry value that stores it.
struct Field {
  std::string_view name;
  Key key = Key::Settings;
  int AppSettings::*number = nullptr;        // set for a number
  std::string AppSettings::*text = nullptr;  // set for a text
  int numberDefault = 0;
  std::string_view plainDefault;  // default of a text of the main key
  bool hasMessageDefault = false;
  Msg messageDefault = Msg::Count;
  std::size_t capacity = 0;
};

constexpr Field NumberField(std::string_view name, int AppSettings::*member, int defaultValue) {
  Field field;
  field.name = name;
  field.number = member;
  field.numberDefault = defaultValue;
  return field;
}

constexpr Field TextField(std::string_view name, std::string AppSettings::*member,
                          std::size_t capacity, std::string_view defaultValue = "") {
  Field field;
  field.name = name;
  field.text = member;
  field.capacity = capacity;
  field.plainDefault = defaultValue;
  return field;
}

constexpr Field MessageField(std::string_view name, std::string AppSettings::*member,
                             std::size_t capacity, Msg defaultValue) {
  Field field = TextField(name, member, capacity);
  field.key = Key::Messages;
  field.hasMessageDefault = true;
  field.messageDefault = defaultValue;
  return field;
}

using S = AppSettings;

// Every field, in the order they are loaded.
constexpr std::array kFields = {
    NumberField("CheckInterval", &S::CheckInterval, 1),
    NumberField("MaxRetry", &S::MaxRetry, 5),
    NumberField("PingTimeOut", &S::PingTimeOut, 5000),
    NumberField("UnavailableHour", &S::UnavailableHour, 0),
    NumberField("UnavailableMinutes", &S::UnavailableMinutes, 0),
    NumberField("UnavailableInterval", &S::UnavailableInterval, 0),
    NumberField("AutoStart", &S::AutoStart, 0),
    NumberField("DontShowLogo", &S::DontShowLogo, 0),
    NumberField("BeepToAlert", &S::BeepToAlert, 1),
    NumberField("MaxNumOfComputer", &S::MaxNumOfComputer, 300),
    NumberField("SendMailByEnglish", &S::SendMailByEnglish, 0),
    NumberField("MailAfter30Minutes", &S::MailAfter30Minutes, 0),
    TextField("SmtpServer", &S::SmtpServer, S::kHostCapacity),
    TextField("MailFrom", &S::MailFrom, S::kHostCapacity),
    TextField("MailTo", &S::MailTo, S::kMailToCapacity),
    TextField("NetsendTo", &S::NetsendTo, S::kHostCapacity),
    TextField("PreloadFile", &S::PreloadFile, S::kPathCapacity),
    TextField("HtmlFile", &S::HtmlFile, S::kPathCapacity),
    TextField("HtmlReloadMinutes", &S::HtmlReloadMinutes, S::kReloadCapacity, "5"),
    NumberField("EnableHtml", &S::EnableHtml, 0),
    NumberField("DisableHtmlDetail", &S::DisableHtmlDetail, 1),
    NumberField("DisableHtmlReload", &S::DisableHtmlReload, 0),
    NumberField("EnableMailDebug", &S::EnableMailDebug, 0),
    NumberField("EnableUnavailableSchedule", &S::EnableUnavailableSchedule, 0),
    NumberField("ResolveNameEverytime", &S::ResolveNameEverytime, 0),
    NumberField("RunningLog", &S::RunningLog, 0),
    NumberField("ParallelChecks", &S::ParallelChecks, 0),
    NumberField("SmtpSecurity", &S::SmtpSecurity, 0),
    NumberField("SmtpPort", &S::SmtpPort, 0),
    TextField("SmtpUser", &S::SmtpUser, S::kCredentialCapacity),
    TextField("SmtpPassword", &S::SmtpPassword, S::kCredentialCapacity),
    TextField("SmtpCaFile", &S::SmtpCaFile, S::kCaFileCapacity),
    MessageField("DownMsgJp", &S::DownMsgJp, S::kMessageCapacity, Msg::DefaultDownMsgJp),
    MessageField("DownMsgUs", &S::DownMsgUs, S::kMessageCapacity, Msg::DefaultDownMsgUs),
    MessageField("RestoreMsgJp", &S::RestoreMsgJp, S::kMessageCapacity, Msg::DefaultRestoreMsgJp),
    MessageField("RestoreMsgUs", &S::RestoreMsgUs, S::kMessageCapacity, Msg::DefaultRestoreMsgUs),
    MessageField("DownSubjectJp", &S::DownSubjectJp, S::kSubjectCapacity,
                 Msg::DefaultDownSubjectJp),
    MessageField("DownSubjectUs", &S::DownSubjectUs, S::kSubjectCapacity,
                 Msg::DefaultDownSubjectUs),
    MessageField("RestoreSubjectJp", &S::RestoreSubjectJp, S::kSubjectCapacity,
                 Msg::DefaultRestoreSubjectJp),
    MessageField("RestoreSubjectUs", &S::RestoreSubjectUs, S::kSubjectCapacity,
                 Msg::DefaultRestoreSubjectUs),
};

// The order they are saved in: the numbers of the main key, its texts, the
// rest of its numbers, then the messages.
constexpr std::array<std::string_view, kFields.size()> kSaveOrder = {
    "CheckInterval",
    "MaxRetry",
    "AutoStart",
    "PingTimeOut",
    "UnavailableHour",
    "UnavailableMinutes",
    "UnavailableInterval",
    "DontShowLogo",
    "BeepToAlert",
    "MaxNumOfComputer",
    "SendMailByEnglish",
    "MailAfter30Minutes",
    "RunningLog",
    "SmtpServer",
    "MailFrom",
    "MailTo",
    "NetsendTo",
    "PreloadFile",
    "HtmlFile",
    "HtmlReloadMinutes",
    "EnableHtml",
    "DisableHtmlDetail",
    "DisableHtmlReload",
    "EnableMailDebug",
    "EnableUnavailableSchedule",
    "ResolveNameEverytime",
    "ParallelChecks",
    "SmtpSecurity",
    "SmtpPort",
    "SmtpUser",
    "SmtpPassword",
    "SmtpCaFile",
    "DownMsgJp",
    "DownMsgUs",
    "RestoreMsgJp",
    "RestoreMsgUs",
    "DownSubjectJp",
    "DownSubjectUs",
    "RestoreSubjectJp",
    "RestoreSubjectUs",
};

constexpr std::size_t FieldIndex(std::string_view name) {
  for (std::size_t i = 0; i < kFields.size(); ++i) {
    if (kFields[i].name == name) return i;
  }
  return kFields.size();
}

// Indices into kFields in the save order; each field exactly once.
constexpr std::array<std::size_t, kFields.size()> SaveIndices() {
  std::array<std::size_t, kFields.size()> indices{};
  for (std::size_t i = 0; i < kSaveOrder.size(); ++i)
    indices[i] = FieldIndex(kSaveOrder[i]);
  return indices;
}
constexpr std::array<std::size_t, kFields.size()> kSaveIndices = SaveIndices();

constexpr bool SaveOrderNamesEveryFieldOnce() {
  for (std::size_t i = 0; i < kSaveIndices.size(); ++i) {
    if (kSaveIndices[i] >= kFields.size()) return false;
    for (std::size_t j = 0; j < i; ++j) {
      if (kSaveIndices[i] == kSaveIndices[j]) return false;
    }
  }
  return true;
}
static_assert(SaveOrderNamesEveryFieldOnce());

std::string_view KeyPath(Key key) {
  return key == Key::Settings ? kSettingsKey : kMessagesKey;
}

// A text up to its field's capacity always survives a restart, so fields
// longer than the common limit (messages, paths) read up to their own.
std::size_t TextLimit(const Field& field) {
  return std::max(kTextReadLimit, field.capacity + 1);
}

std::string DefaultText(const Field& field) {
  if (field.hasMessageDefault) return Text(field.messageDefault);
  return std::string(field.plainDefault);
}

int ToInt(std::string_view decimal) {
  int value = 0;
  std::from_chars(decimal.data(), decimal.data() + decimal.size(), value);
  return value;
}

// A key or value that "was not found" while being written is taken as
// written: only a real refusal deserves a box.
bool CountsAsSuccess(long result) {
  return result == kErrorSuccess || result == kErrorFileNotFound || result == kErrorInvalidHandle;
}

void ShowAccessFailure(UserPrompt& prompt, Msg caption) {
  prompt.Show(Text(Msg::RegistryAccessFailed), Text(caption), PromptIcon::Error, PromptButtons::Ok);
}

std::string LoadMessage(const RegistryFile& registry, const RegistryInspection& seen) {
  const std::string path = Cp932FromUtf8(registry.path());
  switch (seen.state) {
    case RegistryFileState::Ok:
      return {};
    case RegistryFileState::Missing:
      return FormatText(Msg::RegistryMissing, {path});
    case RegistryFileState::NotRegularFile:
      return FormatText(Msg::RegistryNotRegular, {path});
    case RegistryFileState::Unreadable:
      return FormatText(Msg::RegistryUnreadable,
                        {path, Cp932FromUtf8(std::strerror(seen.error != 0 ? seen.error : EIO))});
    case RegistryFileState::NotRegistry:
      return FormatText(Msg::RegistryNotRegistry, {path});
  }
  return {};
}

// Whether the save may write the file: a file that could not be read as the
// registry is replaced only when the user says so, and is kept as NAME.bad.
bool MayWriteRegistry(RegistryFile& registry, UserPrompt& prompt) {
  const RegistryInspection seen = registry.Inspect();
  const std::string path = Cp932FromUtf8(registry.path());
  switch (seen.state) {
    case RegistryFileState::Ok:
    case RegistryFileState::Missing:
      return true;
    case RegistryFileState::NotRegularFile:
      prompt.Show(FormatText(Msg::RegistryCannotReplace, {path}), Text(Msg::CaptionCaution),
                  PromptIcon::Exclamation);
      return false;
    case RegistryFileState::Unreadable:
    case RegistryFileState::NotRegistry:
      break;
  }
  const std::string bad = BadRegistryPath(registry.path());
  const PromptAnswer answer =
      prompt.Show(FormatText(Msg::RegistryReplaceBad, {path, Cp932FromUtf8(bad)}),
                  Text(Msg::CaptionConfirm), PromptIcon::Question, PromptButtons::YesNo);
  if (answer != PromptAnswer::Yes) return false;
  if (::rename(registry.path().c_str(), bad.c_str()) != 0) {
    ShowAccessFailure(prompt, Msg::CaptionRegistryA01);
    return false;
  }
  return true;
}

bool WriteValue(RegistryFile& registry, UserPrompt& prompt, std::string_view subkey,
                std::string_view name, std::uint32_t kind, std::string_view data,
                Msg setFailureCaption) {
  RegistryKey key;
  if (!CountsAsSuccess(registry.CreateKey(RegistryRoot::LocalMachine, subkey, key))) {
    ShowAccessFailure(prompt, Msg::CaptionRegistryA01);
    return false;
  }
  const long result = registry.SetValue(key, name, kind, data);
  if (CountsAsSuccess(result)) {
    registry.CloseKey(key);
    return true;
  }
  ShowAccessFailure(prompt, setFailureCaption);
  registry.CloseKey(key);
  return false;
}

}  // namespace

bool ReadSettingValue(RegistryFile& registry, RegistryRoot root, std::string_view subkey,
                      std::string_view name, SettingKind kind, std::string& buffer,
                      std::size_t textLimit) {
  buffer.clear();
  RegistryKey key;
  if (registry.OpenKey(root, subkey, key) != kErrorSuccess) return false;
  RegistryValue value;
  const std::size_t limit = kind == SettingKind::Number ? 4 : textLimit;
  const long result = registry.QueryValue(key, name, limit, value);
  registry.CloseKey(key);
  if (result != kErrorSuccess) return false;

  if (kind == SettingKind::Number) {
    // Whatever kind the value has, its bytes (at most 4) are the number,
    // least significant first, as a 4-byte read into a zeroed DWORD gives.
    std::uint32_t raw = 0;
    for (std::size_t i = 0; i < value.data.size(); ++i) {
      raw |= std::uint32_t{static_cast<unsigned char>(value.data[i])} << (8 * i);
    }
    buffer = std::to_string(static_cast<std::int32_t>(raw));
  } else {
    buffer = value.data.substr(0, value.data.find('\0'));
  }
  return true;
}

bool WriteSettingValue(RegistryFile& registry, UserPrompt& prompt, std::string_view subkey,
                       std::string_view name, int number) {
  const auto raw = static_cast<std::uint32_t>(number);
  std::string data(4, '\0');
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<char>((raw >> (8 * i)) & 0xFF);
  return WriteValue(registry, prompt, subkey, name, kRegDword, data, Msg::CaptionRegistryA02);
}

bool WriteSettingValue(RegistryFile& registry, UserPrompt& prompt, std::string_view subkey,
                       std::string_view name, std::string_view text) {
  std::string data(text.substr(0, text.find('\0')));
  data.push_back('\0');
  return WriteValue(registry, prompt, subkey, name, kRegSz, data, Msg::CaptionRegistryA03);
}

std::string BadRegistryPath(const std::string& path) {
  return path + ".bad";
}

SettingsLoadOutcome LoadSettings(AppSettings& settings, RegistryFile& registry) {
  const RegistryInspection seen = registry.Inspect();
  const RegistryFile::ReadBatch oneVersion(registry);
  for (const Field& field : kFields) {
    std::string buffer;
    if (field.number != nullptr) {
      const bool read = ReadSettingValue(registry, RegistryRoot::LocalMachine, KeyPath(field.key),
                                         field.name, SettingKind::Number, buffer);
      settings.*field.number = read ? ToInt(buffer) : field.numberDefault;
    } else {
      const bool read = ReadSettingValue(registry, RegistryRoot::LocalMachine, KeyPath(field.key),
                                         field.name, SettingKind::Text, buffer, TextLimit(field));
      settings.*field.text =
          read ? std::string(CutCp932(buffer, field.capacity)) : DefaultText(field);
    }
  }
  return {seen.state, LoadMessage(registry, seen)};
}

void SaveSettings(const AppSettings& settings, RegistryFile& registry, UserPrompt& prompt) {
  if (!MayWriteRegistry(registry, prompt)) return;
  for (std::size_t index : kSaveIndices) {
    const Field& field = kFields[index];
    if (field.number != nullptr) {
      WriteSettingValue(registry, prompt, KeyPath(field.key), field.name, settings.*field.number);
    } else {
      // What is written must read back whole.
      WriteSettingValue(registry, prompt, KeyPath(field.key), field.name,
                        CutCp932(settings.*field.text, field.capacity));
    }
  }
}

}  // namespace tarnwick
