#include "platform/CommandLine.h"

#include <cstdlib>
#include <utility>

namespace tarnwick {
namespace {

void Print(std::FILE* stream, const std::string& text) {
  std::fputs(text.c_str(), stream);
  std::fflush(stream);
}

}  // namespace

std::string TerminalText(Msg japanese, Msg english) {
  return std::string(Utf8Text(CommandLine::JapaneseTerminal() ? japanese : english));
}

CommandLine::CommandLine(std::string_view program, int argc, const char* const* argv,
                         std::vector<Option> options)
    : options_(std::move(options)), program_(program) {
  Scan(argc, argv);
}

void CommandLine::Scan(int argc, const char* const* argv) {
  bool optionsEnded = false;
  for (int i = 1; i < argc && outcome_ == Outcome::Run; ++i) {
    const std::string_view text = argv[i];
    if (optionsEnded || text == "-" || !text.starts_with('-')) {
      arguments_.push_back({{}, std::string(text)});
    } else if (text == "--") {
      optionsEnded = true;
    } else if (text == "--help" || text == "-h") {
      outcome_ = Outcome::Help;
    } else if (text == "--version") {
      outcome_ = Outcome::Version;
    } else if (text.starts_with("--")) {
      if (!TakeOption(text.substr(2), false, i, argc, argv)) return;
    } else if (!TakeOption(text.substr(1), true, i, argc, argv)) {
      return;
    }
  }
}

const CommandLine::Option* CommandLine::Find(std::string_view name, bool singleDash) const {
  for (const Option& option : options_) {
    if (option.name == name && (option.singleDash || !singleDash)) return &option;
  }
  return nullptr;
}

bool CommandLine::TakeOption(std::string_view text, bool singleDash, int& index, int argc,
                             const char* const* argv) {
  const std::size_t equals = text.find('=');
  const Option* option = Find(text.substr(0, equals), singleDash);
  if (option == nullptr || (!option->takesValue && equals != std::string_view::npos)) {
    RefuseArgument(Msg::OptionUnknown, Msg::OptionUnknownEn, argv[index]);
    return false;
  }
  if (!option->takesValue) {
    arguments_.push_back({option->name, {}});
  } else if (equals != std::string_view::npos) {
    arguments_.push_back({option->name, std::string(text.substr(equals + 1))});
  } else if (index + 1 < argc) {
    arguments_.push_back({option->name, argv[++index]});
  } else {
    RefuseArgument(Msg::OptionValueMissing, Msg::OptionValueMissingEn, argv[index]);
    return false;
  }
  return true;
}

void CommandLine::RefuseArgument(Msg whyJa, Msg whyEn, std::string_view argument) {
  outcome_ = Outcome::Refused;
  refusalJa_ = whyJa;
  refusalEn_ = whyEn;
  refused_ = argument;
}

int CommandLine::Answer(Msg usageJa, Msg usageEn, std::FILE* out, std::FILE* err) const {
  switch (outcome_) {
    case Outcome::Help:
      Print(out, TerminalText(usageJa, usageEn) + "\n");
      return 0;
    case Outcome::Version:
      Print(out, program_ + " " + std::string(Version()) + "\n");
      return 0;
    case Outcome::Refused:
      return Refuse(refusalJa_, refusalEn_, refused_, err);
    case Outcome::Run:
      break;
  }
  return 0;
}

int CommandLine::Refuse(Msg whyJa, Msg whyEn, std::string_view detail, std::FILE* err) const {
  std::string text = program_ + ": " + TerminalText(whyJa, whyEn);
  text += detail;
  text += "\n";
  std::string hint = TerminalText(Msg::OptionTryHelp, Msg::OptionTryHelpEn);
  const std::size_t slot = hint.find("%1");
  if (slot != std::string::npos) hint.replace(slot, 2, program_);
  Print(err, text + hint + "\n");
  return kUsageError;
}

bool CommandLine::JapaneseTerminal() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return std::string_view(value).starts_with("ja");
  }
  return false;
}

std::string_view CommandLine::Version() {
  return TARNWICK_VERSION;
}

}  // namespace tarnwick
