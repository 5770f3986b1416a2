#include "app/AppOptions.h"

#include "platform/CommandLine.h"

namespace tarnwick {
namespace {

// The options QGuiApplication and QApplication read themselves (a session
// manager restarts the program with -session, for one).
const std::vector<CommandLine::Option>& QtOptions() {
  static const std::vector<CommandLine::Option> options = {
      {"platform", true, true},        {"platformpluginpath", true, true},
      {"platformtheme", true, true},   {"plugin", true, true},
      {"qwindowgeometry", true, true}, {"qwindowicon", true, true},
      {"qwindowtitle", true, true},    {"geometry", true, true},
      {"title", true, true},           {"name", true, true},
      {"display", true, true},         {"session", true, true},
      {"style", true, true},           {"stylesheet", true, true},
      {"reverse", false, true},        {"widgetcount", false, true},
      {"nograb", false, true},         {"dograb", false, true},
      {"sync", false, true},           {"qmljsdebugger", true, true},
  };
  return options;
}

}  // namespace

std::optional<int> AppOptions::AnswerEarly(int argc, const char* const* argv, std::FILE* out,
                                           std::FILE* err) {
  const CommandLine line("tarnwick", argc, argv, QtOptions());
  if (line.outcome() != CommandLine::Outcome::Run) {
    return line.Answer(Msg::AppUsage, Msg::AppUsageEn, out, err);
  }
  for (const CommandLine::Argument& argument : line.arguments()) {
    if (argument.name.empty()) {
      return line.Refuse(Msg::OptionExtraArgument, Msg::OptionExtraArgumentEn, argument.value, err);
    }
  }
  return std::nullopt;
}

}  // namespace tarnwick
