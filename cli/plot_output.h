#pragma once
// The plots' PNG output for velmorctl. The Qt build paints them with the plots' own painting on
// the offscreen platform (Qt GUI, never Qt Widgets); a build without Qt has no PNG output and
// says so.

#include <string>

#include "eq/response_curve.h"
#include "hwtest/test_spectrum.h"

namespace cli {

// A picture size in pixels; {0, 0} means the size of the plot control the program shows.
struct PlotSize {
  int width = 0;
  int height = 0;
};

// False in a build without Qt: the PNG writers then throw Failure(kExitUsage).
bool PngOutputAvailable();

// "WxH" in pixels, each 1..16384; throws Failure(kExitUsage) for anything else.
PlotSize ParsePlotSize(const std::string& text);

// The response plot as the panel shows it, written to `path`. Throws Failure(kExitUsage) when
// the file cannot be written.
void WriteResponsePng(const std::string& path, eq::ResponseCurve& curve, bool autoscale,
                      PlotSize size);
// The spectrum plot as the hardware test window shows it.
void WriteSpectrumPng(const std::string& path, const hwtest::TestSpectrum& spectrum, PlotSize size);

}  // namespace cli
