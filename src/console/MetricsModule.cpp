#include "console/MetricsModule.h"

#include <dlfcn.h>

#include <stdexcept>

#include "platform/ProgramDirectory.h"

namespace tarnwick {
namespace {

constexpr const char* kModuleFile = "tarnwick-metrics.so";
constexpr const char* kEntryPoint = "tarnwick_metrics_serve";

// The entry point of the first module that loads; failures are added to
// `failure`. The module stays loaded: its server outlives every caller.
MetricsModule::Serve LoadEntryPoint(std::string& failure) {
  for (const std::string& path : {MetricsModule::BesideTheProgram(), MetricsModule::Installed()}) {
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    const void* entry = module != nullptr ? ::dlsym(module, kEntryPoint) : nullptr;
    if (entry != nullptr) return reinterpret_cast<MetricsModule::Serve>(entry);
    const char* reason = ::dlerror();
    failure += (failure.empty() ? "" : "; ") + (reason != nullptr ? std::string(reason) : path);
  }
  return nullptr;
}

}  // namespace

std::string MetricsModule::BesideTheProgram() {
  return ProgramDirectory() + "/" + kModuleFile;
}

std::string MetricsModule::Installed() {
  return ProgramDirectory() + "/" + TARNWICK_MODULE_DIR_FROM_PROGRAM + "/" + kModuleFile;
}

std::unique_ptr<MetricsServer> MetricsModule::Start(
    const std::string& listeningAddress,
    const std::shared_ptr<prometheus::Collectable>& collectable, std::string& failure) {
  static std::string loadFailure;
  static const Serve serve = LoadEntryPoint(loadFailure);
  if (serve == nullptr) {
    failure = loadFailure;
    return nullptr;
  }
  std::unique_ptr<MetricsServer> server(serve(listeningAddress, collectable));
  if (!server) throw std::runtime_error("cannot listen on " + listeningAddress);
  return server;
}

}  // namespace tarnwick
