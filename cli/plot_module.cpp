#include "cli/plot_module.h"

#include <string>

#include "cli/binary_stdio.h"
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
constexpr const wchar_t* kModuleName = L"velmorctl-plots.dll";
#else
constexpr const char* kModuleName = "velmorctl-plots.so";
#endif

// The folder of the running executable, with a trailing separator; empty when unknown.
#if defined(_WIN32)
// Wide: a per-user install lies under the user's profile, whose name may be beyond the ANSI code
// page.
std::wstring ExecutableFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n == MAX_PATH) return {};
  std::wstring text(path, n);
  return text.substr(0, text.find_last_of(L"\\/") + 1);
}

std::string Narrow(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string result(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), n,
                        nullptr, nullptr);
  return result;
}
#else
std::string ExecutableFolder() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  std::string text(path, static_cast<std::size_t>(n));
  return text.substr(0, text.find_last_of('/') + 1);
}
#endif

// Beside the executable in a build folder; in the installed layout, where the install put it.
void* Symbol(const char* name) {
  static void* module = nullptr;
  static std::string tried;
  if (module == nullptr) {
#if defined(_WIN32)
    const std::wstring folder = ExecutableFolder();
    const std::string fromBin = VELMORCTL_PLOTS_FROM_BIN;  // ASCII
    const std::wstring from(fromBin.begin(), fromBin.end());
    for (const std::wstring& candidate :
         {folder + kModuleName, folder + from + L"\\" + kModuleName}) {
      module = LoadLibraryW(candidate.c_str());
      if (module != nullptr) break;
      tried += (tried.empty() ? "" : ", ") + Narrow(candidate);
    }
#else
    const std::string folder = ExecutableFolder();
    for (const std::string& candidate :
         {folder + kModuleName, folder + VELMORCTL_PLOTS_FROM_BIN + "/" + kModuleName}) {
      module = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (module != nullptr) break;
      tried += (tried.empty() ? "" : ", ") + candidate;
    }
#endif
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
  if (path == "-") BinaryStdout();
  std::string message;
  if (const int code = write(path, curve, autoscale, size, message)) throw Failure(code, message);
}

void WriteSpectrumPng(const std::string& path, const hwtest::TestSpectrum& spectrum,
                      PlotSize size) {
  const auto write = reinterpret_cast<VelmorctlSpectrumPng>(Symbol("velmorctl_spectrum_png"));
  if (path == "-") BinaryStdout();
  std::string message;
  if (const int code = write(path, spectrum, size, message)) throw Failure(code, message);
}

}  // namespace cli
