// The entry points of velmorctl's PNG module: the plots painted as the panel and the test window
// paint them, on Qt GUI's offscreen platform.

#include <cstdio>
#include <exception>

#include "cli/cli_context.h"
#include "cli/plot_module.h"
#include "cli/plot_output.h"
#include "eq/plot_painter.h"
#include "eq/response_curve.h"
#include "hwtest/test_spectrum.h"

#if defined(_WIN32)
#define VELMORCTL_PLOTS_EXPORT __declspec(dllexport)
#else
#define VELMORCTL_PLOTS_EXPORT __attribute__((visibility("default")))
#endif

namespace {

// The panel's plot control and the test window's, in dialog units, with a border.
constexpr int kResponseWidthDlu = 333;
constexpr int kResponseHeightDlu = 174;
constexpr int kSpectrumWidthDlu = 446;
constexpr int kSpectrumHeightDlu = 288;

// Runs `write`, turning what it throws into an exit code and a message.
template <typename Write>
int Guarded(char* message, std::size_t capacity, Write&& write) {
  try {
    write();
    return cli::kExitOk;
  } catch (const cli::Failure& e) {
    std::snprintf(message, capacity, "%s", e.what());
    return e.code;
  } catch (const std::exception& e) {
    std::snprintf(message, capacity, "%s", e.what());
    return cli::kExitDevice;
  }
}

}  // namespace

extern "C" VELMORCTL_PLOTS_EXPORT int velmorctl_response_png(const char* path, const char* size,
                                                             const std::uint16_t* t, int cursor,
                                                             int autoscale, char* message,
                                                             std::size_t capacity) {
  return Guarded(message, capacity, [&] {
    const bool sized = *size != '\0';
    const QSize pixels = sized ? cli::ParsePlotSize(size) : QSize();
    eq::ResponseCurve curve;
    curve.SetTimeConstants(t[0], t[1], t[2], t[3]);
    cli::OffscreenGui gui;
    curve.plot.cursorIndex = cursor;
    cli::WritePlotPng(
        path, sized ? pixels : cli::PictureClientSize(kResponseWidthDlu, kResponseHeightDlu),
        [&](QImage& image) { eq::Paint(&image, curve, autoscale != 0); });
  });
}

extern "C" VELMORCTL_PLOTS_EXPORT int velmorctl_spectrum_png(const char* path, const char* size,
                                                             char* message, std::size_t capacity) {
  return Guarded(message, capacity, [&] {
    const bool sized = *size != '\0';
    const QSize pixels = sized ? cli::ParsePlotSize(size) : QSize();
    const hwtest::TestSpectrum spectrum;
    cli::OffscreenGui gui;
    eq::PlotState<hwtest::TestSpectrum::kBinCount> plot;
    cli::WritePlotPng(
        path, sized ? pixels : cli::PictureClientSize(kSpectrumWidthDlu, kSpectrumHeightDlu),
        [&](QImage& image) { eq::PaintPlot(&image, spectrum.Series(), plot, false); });
  });
}
