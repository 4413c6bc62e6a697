// velmorctl built without Qt: the commands still give their CSV, but no pictures.

#include "cli/cli_context.h"
#include "cli/plot_output.h"

namespace cli {
namespace {

[[noreturn]] void Unavailable() {
  throw Failure(kExitUsage, "PNG output is not available in this build");
}

}  // namespace

bool PngOutputAvailable() {
  return false;
}

void WriteResponsePng(const std::string&, eq::ResponseCurve&, bool, PlotSize) {
  Unavailable();
}

void WriteSpectrumPng(const std::string&, const hwtest::TestSpectrum&, PlotSize) {
  Unavailable();
}

}  // namespace cli
