// The entry points of velmorctl's PNG module, around the plots' own PNG output.

#include <exception>

#include "cli/cli_context.h"
#include "cli/plot_module.h"

#if defined(_WIN32)
#define VELMORCTL_PLOTS_EXPORT __declspec(dllexport)
#else
#define VELMORCTL_PLOTS_EXPORT __attribute__((visibility("default")))
#endif

namespace {

// Runs `write`, turning what it throws into an exit code and a message.
template <typename Write>
int Guarded(std::string& message, Write&& write) {
  try {
    write();
    return cli::kExitOk;
  } catch (const cli::Failure& e) {
    message = e.what();
    return e.code;
  } catch (const std::exception& e) {
    message = e.what();
    return cli::kExitDevice;
  }
}

}  // namespace

extern "C" VELMORCTL_PLOTS_EXPORT int velmorctl_response_png(const std::string& path,
                                                             eq::ResponseCurve& curve,
                                                             bool autoscale, cli::PlotSize size,
                                                             std::string& message) {
  return Guarded(message, [&] { cli::WriteResponsePng(path, curve, autoscale, size); });
}

extern "C" VELMORCTL_PLOTS_EXPORT int velmorctl_spectrum_png(const std::string& path,
                                                             const hwtest::TestSpectrum& spectrum,
                                                             cli::PlotSize size,
                                                             std::string& message) {
  return Guarded(message, [&] { cli::WriteSpectrumPng(path, spectrum, size); });
}
