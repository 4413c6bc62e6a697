#include "eq/log_axis.h"

#include <cmath>

namespace eq {

void LayoutLogAxis(std::span<double> frequencies, double startHz, double endHz) {
  const std::size_t count = frequencies.size();
  if (count < 2 || !(startHz > 0.0) || !(endHz > startHz) || !std::isfinite(endHz)) return;
  const double first = std::log10(startHz);
  const double step = (std::log10(endHz) - first) * (1.0 / static_cast<double>(count - 1));
  frequencies[0] = startHz;
  double previousPower = std::pow(10.0, first);
  for (std::size_t i = 1; i < count; ++i) {
    const double power = std::pow(10.0, first + static_cast<double>(i) * step);
    frequencies[i] = frequencies[i - 1] + (power - previousPower);
    previousPower = power;
  }
}

}  // namespace eq
