#include "console/WatchOptions.h"

#include "platform/CommandLine.h"

namespace tarnwick {

WatchOptions WatchOptions::Parse(int argc, const char* const* argv, std::FILE* out,
                                 std::FILE* err) {
  const CommandLine line("tarnwick-watch", argc, argv, {{"metrics", true}, {"once"}});
  WatchOptions options;
  if (line.outcome() != CommandLine::Outcome::Run) {
    options.exitNow = line.Answer(Msg::WatchUsage, Msg::WatchUsageEn, out, err);
    return options;
  }
  bool haveList = false;
  for (const CommandLine::Argument& argument : line.arguments()) {
    if (argument.name == "once") {
      options.mode = Mode::Once;
    } else if (argument.name == "metrics") {
      options.metrics = argument.value;
    } else if (!haveList) {
      options.listFile = argument.value;
      haveList = true;
    } else {
      options.exitNow =
          line.Refuse(Msg::OptionExtraArgument, Msg::OptionExtraArgumentEn, argument.value, err);
      return options;
    }
  }
  if (!haveList) {
    options.exitNow = line.Refuse(Msg::OptionListMissing, Msg::OptionListMissingEn, {}, err);
  } else if (options.mode == Mode::Once && options.metrics) {
    options.exitNow =
        line.Refuse(Msg::OptionOnceWithMetrics, Msg::OptionOnceWithMetricsEn, {}, err);
  }
  return options;
}

}  // namespace tarnwick
