#include "eq/plot_series.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace eq {
namespace {

constexpr std::array<GridMark, 25> kGridMarks{{
    {5, "5"},        {10, "10"},     {50, "50"},       {100, "100"},     {200, nullptr},
    {300, nullptr},  {400, nullptr}, {500, "500"},     {600, nullptr},   {700, nullptr},
    {800, nullptr},  {900, nullptr}, {1000, "1000"},   {2000, nullptr},  {3000, nullptr},
    {4000, nullptr}, {5000, "5k"},   {6000, nullptr},  {7000, nullptr},  {8000, nullptr},
    {9000, nullptr}, {10000, "10k"}, {11000, nullptr}, {15000, nullptr}, {20000, "20k"},
}};

// Far beyond any real curve; keeps the autoscaled grid to a few thousand lines at worst.
constexpr double kLevelLimitDb = 1.0e4;

}  // namespace

std::span<const GridMark> ResponseGrid() {
  return std::span(kGridMarks).subspan(1);
}
std::span<const GridMark> SpectrumGrid() {
  return kGridMarks;
}

double PlotSeries::PointLevel(std::size_t i) const {
  if (levelIndex.empty()) return levels[i];
  const auto last = static_cast<std::int32_t>(levels.size()) - 1;
  return levels[static_cast<std::size_t>(std::clamp(levelIndex[i], std::int32_t{0}, last))];
}

bool PlotSeries::IsValid() const {
  if (PointCount() < 2 || levels.empty()) return false;
  return levelIndex.empty() ? levels.size() >= PointCount() : levelIndex.size() >= PointCount();
}

DbRange ChooseDbRange(const PlotSeries& series, bool autoscale) {
  if (!autoscale) return {series.fixedLowDb, series.fixedHighDb};
  double lowest = std::numeric_limits<double>::max();
  // The smallest normal double as the starting top keeps 0 dB on an all-negative plot.
  double highest = std::numeric_limits<double>::min();
  for (const double level : series.levels) {
    if (!std::isfinite(level)) continue;
    lowest = std::min(lowest, level);
    highest = std::max(highest, level);
  }
  if (lowest > highest) lowest = 0.0;  // no finite level at all
  lowest = std::clamp(lowest, -kLevelLimitDb, kLevelLimitDb);
  highest = std::clamp(highest, -kLevelLimitDb, kLevelLimitDb);
  return {2 * static_cast<int>(std::trunc((lowest - 3.0) / 2.0)),
          2 * static_cast<int>(std::trunc((highest + 3.0) / 2.0))};
}

}  // namespace eq
