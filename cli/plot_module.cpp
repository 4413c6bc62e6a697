#include "cli/plot_module.h"

#include <string>

#include "cli/cli_context.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>
#endif

namespace cli {

namespace {

#if defined(_WIN32)
constexpr const char* kModuleName = "velmorctl-plots.dll";
#else
constexpr const char* kModuleName = "velmorctl-plots.so";
#endif

// The folder of the running executable, with a trailing separator; empty when unknown.
std::string ExecutableFolder() {
#if defined(_WIN32)
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n == MAX_PATH) return {};
  std::string text(path, n);
  return text.substr(0, text.find_last_of("\\/") + 1);
#else
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  std::string text(path, static_cast<std::size_t>(n));
  return text.substr(0, text.find_last_of('/') + 1);
#endif
}

// Beside the executable in a build folder; in the installed layout, where the install put it.
void* Symbol(const char* name) {
  static void* module = nullptr;
  static std::string tried;
  if (module == nullptr) {
    const std::string folder = ExecutableFolder();
    for (const std::string& candidate :
         {folder + kModuleName, folder + VELMORCTL_PLOTS_FROM_BIN + "/" + kModuleName}) {
#if defined(_WIN32)
      module = LoadLibraryA(candidate.c_str());
#else
      module = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
      if (module != nullptr) break;
      tried += (tried.empty() ? "" : ", ") + candidate;
    }
  }
  if (module == nullptr) {
    throw Failure(kExitDevice, "the PNG output is not installed (looked for " + tried + ")");
  }
#if defined(_WIN32)
  void* symbol = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
#else
  void* symbol = dlsym(module, name);
#endif
  if (symbol == nullptr) throw Failure(kExitDevice, std::string("the PNG output lacks ") + name);
  return symbol;
}

}  // namespace

bool PngOutputAvailable() {
  return true;
}

void WriteResponsePng(const std::string& path, eq::ResponseCurve& curve, bool autoscale,
                      PlotSize size) {
  const auto write = reinterpret_cast<VelmorctlResponsePng>(Symbol("velmorctl_response_png"));
  std::string message;
  if (const int code = write(path, curve, autoscale, size, message)) throw Failure(code, message);
}

void WriteSpectrumPng(const std::string& path, const hwtest::TestSpectrum& spectrum,
                      PlotSize size) {
  const auto write = reinterpret_cast<VelmorctlSpectrumPng>(Symbol("velmorctl_spectrum_png"));
  std::string message;
  if (const int code = write(path, spectrum, size, message)) throw Failure(code, message);
}

}  // namespace cli
