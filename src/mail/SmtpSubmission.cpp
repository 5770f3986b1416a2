#include "mail/SmtpSubmission.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/CodePage.h"

namespace tarnwick {
namespace {

constexpr int kLargestPort = 65535;

SmtpProtection ProtectionOf(int security) {
  if (security == 0) return SmtpProtection::None;
  if (security == 1) return SmtpProtection::StartTls;
  // An unknown value must never lower the protection to plain text.
  return SmtpProtection::Tls;
}

// A UTF-8 text cut to `capacity` bytes without splitting a character.
std::string CutUtf8(std::string text, std::size_t capacity) {
  if (text.size() <= capacity) return text;
  std::size_t end = capacity;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
    --end;
  text.resize(end);
  return text;
}

}  // namespace

SmtpSubmission SmtpSubmission::FromSettings(int security, int port, const std::string& user,
                                            const std::string& password,
                                            const std::string& caFile) {
  SmtpSubmission submission;
  submission.protection = ProtectionOf(security);
  submission.port = port > 0 && port <= kLargestPort ? port : 0;
  submission.user = Utf8FromCp932(CutCp932(user, kCredentialCapacity));
  submission.password = password.empty() ? CredentialPassword()
                                         : Utf8FromCp932(CutCp932(password, kCredentialCapacity));
  submission.caFile = Utf8FromCp932(caFile);
  return submission;
}

std::string SmtpSubmission::DefaultService() const {
  if (port != 0) return std::to_string(port);
  if (protection == SmtpProtection::StartTls) return "587";
  if (protection == SmtpProtection::Tls) return "465";
  return "smtp";
}

std::string CredentialPassword() {
  const char* folder = std::getenv("CREDENTIALS_DIRECTORY");
  if (folder == nullptr || *folder == '\0') return {};
  std::ifstream file(std::string(folder) + "/" + SmtpSubmission::kCredentialName, std::ios::binary);
  if (!file) return {};
  std::string text;
  text.resize(SmtpSubmission::kCredentialCapacity + 2);
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(file.gcount()));
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
  return CutUtf8(std::move(text), SmtpSubmission::kCredentialCapacity);
}

}  // namespace tarnwick
