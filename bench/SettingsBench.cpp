// Loading and saving the whole settings store against a registry file in a
// temporary folder: the start-up read and the exit write of the program.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "BenchSupport.h"
#include "platform/RegistryDocument.h"
#include "platform/RegistryFile.h"
#include "platform/UserPrompt.h"
#include "settings/SettingsStore.h"

namespace tarnwick {
namespace {

using bench::BenchFolder;
using bench::SilentPrompt;

void BM_LoadSettings(benchmark::State& state) {
  BenchFolder folder;
  RegistryFile registry(folder.File("registry.reg"));
  SilentPrompt prompt;
  AppSettings settings;
  LoadSettings(settings, registry);
  SaveSettings(settings, registry, prompt);
  for (auto _ : state) {
    AppSettings loaded;
    LoadSettings(loaded, registry);
    benchmark::DoNotOptimize(loaded);
  }
}
BENCHMARK(BM_LoadSettings)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly();

// Every value changed, so each of the 34 values is written and flushed.
void BM_SaveChangedSettings(benchmark::State& state) {
  BenchFolder folder;
  RegistryFile registry(folder.File("registry.reg"));
  SilentPrompt prompt;
  AppSettings settings;
  LoadSettings(settings, registry);
  for (auto _ : state) {
    ++settings.CheckInterval;
    ++settings.MaxRetry;
    ++settings.PingTimeOut;
    ++settings.UnavailableHour;
    ++settings.UnavailableMinutes;
    ++settings.UnavailableInterval;
    settings.EnableUnavailableSchedule ^= 1;
    settings.AutoStart ^= 1;
    settings.DontShowLogo ^= 1;
    settings.BeepToAlert ^= 1;
    settings.ResolveNameEverytime ^= 1;
    settings.RunningLog ^= 1;
    ++settings.MaxNumOfComputer;
    settings.SendMailByEnglish ^= 1;
    settings.MailAfter30Minutes ^= 1;
    settings.EnableMailDebug ^= 1;
    settings.EnableHtml ^= 1;
    settings.DisableHtmlDetail ^= 1;
    settings.DisableHtmlReload ^= 1;
    const std::string mark = std::to_string(settings.CheckInterval % 10);
    for (std::string* text :
         {&settings.PreloadFile, &settings.SmtpServer, &settings.MailFrom, &settings.MailTo,
          &settings.NetsendTo, &settings.HtmlFile, &settings.HtmlReloadMinutes, &settings.DownMsgJp,
          &settings.DownMsgUs, &settings.RestoreMsgJp, &settings.RestoreMsgUs,
          &settings.DownSubjectJp, &settings.DownSubjectUs, &settings.RestoreSubjectJp,
          &settings.RestoreSubjectUs}) {
      if (text->empty()) text->push_back('x');
      text->back() = mark[0];
    }
    SaveSettings(settings, registry, prompt);
  }
}
BENCHMARK(BM_SaveChangedSettings)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// The usual exit: nothing changed since start-up.
void BM_SaveUnchangedSettings(benchmark::State& state) {
  BenchFolder folder;
  RegistryFile registry(folder.File("registry.reg"));
  SilentPrompt prompt;
  AppSettings settings;
  LoadSettings(settings, registry);
  SaveSettings(settings, registry, prompt);
  for (auto _ : state)
    SaveSettings(settings, registry, prompt);
}
BENCHMARK(BM_SaveUnchangedSettings)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly();

// A file holding one large binary value, written over many continued lines:
// reading it must stay linear in its size.
void BM_ParseLargeValue(benchmark::State& state) {
  RegistryDocument document;
  document.SetValue(
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVALE\\ZNRQ", "Big",
      RegistryValue{kRegBinary, std::string(static_cast<std::size_t>(state.range(0)), 'x')});
  const std::string text = document.Serialize();
  for (auto _ : state)
    benchmark::DoNotOptimize(RegistryDocument::Parse(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ParseLargeValue)->Arg(1 << 14)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

// An 8 MB registry file written by hand or by another tool: many keys, and
// one key with many values, then the settings themselves at its end. The
// start-up load must stay linear in the file's size.
std::string LargeRegistryText(std::size_t sections, std::size_t valuesPerSection) {
  std::string text = "REGEDIT4\r\n\r\n";
  for (std::size_t s = 0; s < sections; ++s) {
    text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other\\Key" + std::to_string(s) + "]\r\n";
    for (std::size_t v = 0; v < valuesPerSection; ++v)
      text += "\"Value" + std::to_string(v) + "\"=\"some text of a value\"\r\n";
    text += "\r\n";
  }
  text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KORVALE\\ZNRQ]\r\n\"CheckInterval\"=dword:00000005\r\n";
  return text;
}

void BM_LoadLargeRegistry(benchmark::State& state) {
  BenchFolder folder;
  const std::string path = folder.File("registry.reg");
  const auto sections = static_cast<std::size_t>(state.range(0));
  const auto values = static_cast<std::size_t>(state.range(1));
  const std::string text = LargeRegistryText(sections, values);
  std::ofstream(path, std::ios::binary) << text;
  for (auto _ : state) {
    RegistryFile registry(path);  // nothing cached from the last round
    AppSettings loaded;
    LoadSettings(loaded, registry);
    benchmark::DoNotOptimize(loaded);
  }
  state.counters["file_MB"] = static_cast<double>(text.size()) / 1e6;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_LoadLargeRegistry)
    ->Args({100000, 1})
    ->Args({1, 200000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
}  // namespace tarnwick
