#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Messages.h"

namespace tarnwick {

// The command line as both programs read it before anything else starts, so
// that --help and --version work without a display, without an ICMP socket
// and beside a running copy. Options are "--name", "--name VALUE" or
// "--name=VALUE"; "--" ends them. Texts for the terminal are UTF-8, in
// Japanese under a Japanese locale and in English otherwise.
class CommandLine {
 public:
  struct Option {
    std::string_view name;  // without the dashes
    bool takesValue = false;
    // The toolkit's options are also spelled with one dash ("-platform xcb").
    bool singleDash = false;
  };

  // One argument as read: an option by its name, or an operand (empty name).
  struct Argument {
    std::string_view name;
    std::string value;
  };

  enum class Outcome { Run, Help, Version, Refused };

  // The code of a usage error, as command-line programs have it.
  static constexpr int kUsageError = 2;

  // `program`: the name that messages and --version show.
  CommandLine(std::string_view program, int argc, const char* const* argv,
              std::vector<Option> options);

  Outcome outcome() const { return outcome_; }
  const std::vector<Argument>& arguments() const { return arguments_; }
  // Prints the usage for --help on `out`, the version for --version, or the
  // refusal (with the hint to --help) on `err`; the exit code for each.
  int Answer(Msg usageJa, Msg usageEn, std::FILE* out, std::FILE* err) const;
  // Refuses the command line with `why` (a pair of texts): prints it with
  // the hint to --help and gives the usage error's code.
  int Refuse(Msg whyJa, Msg whyEn, std::string_view detail, std::FILE* err) const;

  // A Japanese locale: the first of LC_ALL, LC_MESSAGES and LANG that is set
  // begins with "ja".
  static bool JapaneseTerminal();
  // The package's version, one for both programs.
  static std::string_view Version();

 private:
  void Scan(int argc, const char* const* argv);
  const Option* Find(std::string_view name, bool singleDash) const;
  bool TakeOption(std::string_view text, bool singleDash, int& index, int argc,
                  const char* const* argv);
  void RefuseArgument(Msg whyJa, Msg whyEn, std::string_view argument);

  std::vector<Option> options_;
  std::vector<Argument> arguments_;
  std::string program_;
  Outcome outcome_ = Outcome::Run;
  Msg refusalJa_ = Msg::OptionUnknown;
  Msg refusalEn_ = Msg::OptionUnknownEn;
  std::string refused_;
};

// A Japanese or an English text of the catalogue, as the terminal wants it: UTF-8.
std::string TerminalText(Msg japanese, Msg english);

}  // namespace tarnwick
