#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "BenchSupport.h"
#include "engine/AlertChannels.h"
#include "engine/AppSettings.h"
#include "engine/HtmlReport.h"
#include "engine/MemoryRows.h"
#include "engine/RunningLog.h"
#include "platform/Clock.h"
#include "platform/CodePage.h"

namespace tarnwick {
namespace {

using bench::SilentPrompt;

std::vector<ComputerEntry> ManyRows(int count) {
  std::vector<ComputerEntry> rows;
  for (int i = 0; i < count; ++i) {
    ComputerEntry row;
    row[Field::ComputerName] = Cp932FromUtf8("サーバ" + std::to_string(i) + " <main>");
    row[Field::IpAddress] = "198.18." + std::to_string(i / 256) + "." + std::to_string(i % 256);
    row[Field::Status] = i % 10 == 0 ? StatusDownText() : StatusUpText();
    row[Field::CheckService] = "WEB";
    row[Field::Port] = "80";
    row[Field::LastUpTime] = "2007/05/01 09:00:00";
    row[Field::ByMail] = FlagText(true);
    row[Field::ByEventlog] = FlagText(true);
    row[Field::DownProgram] = "/usr/local/bin/alarm --host \"web\" & page";
    row[Field::LastCheckTime] = "2007/05/01 10:00:00";
    row[Field::MailAddress] = "ops@example.test;oncall@example.test";
    rows.push_back(std::move(row));
  }
  return rows;
}

// One page of 10,000 computers, built and published: target 50 ms.
void BM_WriteReportPage(benchmark::State& state) {
  std::string folder = (std::filesystem::temp_directory_path() / "tarnwick-bench-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  AppSettings settings;
  settings.HtmlFile = folder + "/status.html";
  settings.HtmlReloadMinutes = "5";
  SystemClock clock;
  SilentPrompt prompt;
  AlertChannels channels(settings, prompt);
  RunningLog log(folder, settings, clock);
  MemoryRows rows;
  rows.ReplaceAll(ManyRows(static_cast<int>(state.range(0))));
  HtmlReport report(settings, rows, channels, log, clock);
  for (auto _ : state)
    report.WriteReportPage();
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(settings.HtmlFile));
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_WriteReportPage)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnwick
