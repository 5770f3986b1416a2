#include "mail/OpenSslLibrary.h"

#include <dlfcn.h>

namespace tarnwick {
namespace {

// The soname of OpenSSL 3's TLS library; libcrypto comes with it.
constexpr const char* kLibrarySoname = "libssl.so.3";

}  // namespace

// Loaded once, on first use, and kept for the rest of the process.
struct OpenSslLibrary::Loaded {
  Loaded() { ok = library.Load(failure); }
  OpenSslLibrary library;
  std::string failure;
  bool ok = false;
};

const OpenSslLibrary::Loaded& OpenSslLibrary::Instance() {
  static const Loaded loaded;
  return loaded;
}

const OpenSslLibrary* OpenSslLibrary::Get() {
  const Loaded& loaded = Instance();
  return loaded.ok ? &loaded.library : nullptr;
}

const std::string& OpenSslLibrary::Failure() {
  return Instance().failure;
}

bool OpenSslLibrary::Load(std::string& failure) {
  // Never unloaded: OpenSSL keeps thread-local state and exit handlers.
  void* handle = ::dlopen(kLibrarySoname, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    failure = reason != nullptr ? reason : kLibrarySoname;
    return false;
  }
  // dlsym on libssl's handle also finds libcrypto's functions (BIO, ERR,
  // X509): the look-up covers the libraries it loaded.
#define TARNWICK_OPENSSL_RESOLVE(name)                             \
  name = reinterpret_cast<decltype(name)>(::dlsym(handle, #name)); \
  if (name == nullptr) {                                           \
    failure = std::string(kLibrarySoname) + ": no " + #name;       \
    return false;                                                  \
  }
  TARNWICK_OPENSSL_FUNCTIONS(TARNWICK_OPENSSL_RESOLVE)
#undef TARNWICK_OPENSSL_RESOLVE
  return true;
}

}  // namespace tarnwick
