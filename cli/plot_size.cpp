#include <charconv>

#include "cli/cli_context.h"
#include "cli/plot_output.h"

namespace cli {
namespace {

constexpr int kMaxPlotSide = 16384;  // pixels

}  // namespace

PlotSize ParsePlotSize(const std::string& text) {
  const auto bad = [&text]() {
    return Failure(kExitUsage, "--size wants WIDTHxHEIGHT in pixels, each 1.." +
                                   std::to_string(kMaxPlotSide) + ", got '" + text + "'");
  };
  const auto cross = text.find('x');
  if (cross == std::string::npos) throw bad();
  int width = 0;
  int height = 0;
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  const auto w = std::from_chars(begin, begin + cross, width);
  const auto h = std::from_chars(begin + cross + 1, end, height);
  if (w.ec != std::errc{} || w.ptr != begin + cross || h.ec != std::errc{} || h.ptr != end) {
    throw bad();
  }
  if (width < 1 || height < 1 || width > kMaxPlotSide || height > kMaxPlotSide) throw bad();
  return {width, height};
}

}  // namespace cli
