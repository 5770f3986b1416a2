#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "platform/CodePage.h"
#include "platform/UserPrompt.h"
#include "settings/ListFile.h"

namespace tarnwick {
namespace {

using bench::BenchFolder;
using bench::SilentPrompt;

constexpr int kRows = 10000;

// Rows like the ones users keep: a Japanese name, an address, the check,
// the flags, a program and a mail address list on some.
std::vector<ComputerEntry> TypicalRows() {
  const std::string name = Cp932FromUtf8("ファイルサーバー");
  const std::string on = Cp932FromUtf8("○");
  std::vector<ComputerEntry> rows(kRows);
  for (int i = 0; i < kRows; ++i) {
    ComputerEntry& row = rows[static_cast<std::size_t>(i)];
    row[Field::ComputerName] = name + std::to_string(i);
    row[Field::IpAddress] = "10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256);
    row[Field::CheckService] = i % 2 == 0 ? "PING" : "WEB";
    row[Field::Port] = i % 2 == 0 ? "" : "80";
    row[Field::ByMail] = on;
    row[Field::ByEventlog] = on;
    row[Field::DownProgram] = i % 4 == 0 ? "/usr/local/bin/page-oncall --host server" : "";
    row[Field::NoDefaultMail] = i % 3 == 0 ? on : "";
    row[Field::MailAddress] = i % 3 == 0 ? "admin@example.com;ops@example.com" : "";
  }
  return rows;
}

void BM_WriteListFile(benchmark::State& state) {
  BenchFolder dir;
  const auto rows = TypicalRows();
  SilentPrompt prompt;
  for (auto _ : state) {
    if (!WriteListFile(dir.File("bench.ls2"), rows, prompt)) state.SkipWithError("write failed");
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_WriteListFile)->Unit(benchmark::kMillisecond);

void BM_ReadListFile(benchmark::State& state) {
  BenchFolder dir;
  SilentPrompt prompt;
  WriteListFile(dir.File("bench.ls2"), TypicalRows(), prompt);
  for (auto _ : state) {
    auto rows = ReadListFile(dir.File("bench.ls2"), prompt);
    if (!rows.ok() || rows.rows.size() != kRows) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(rows);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ReadListFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnwick
