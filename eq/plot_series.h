#pragma once
// What one plot shows, independent of how it is drawn: the response plot and the hardware
// test's spectrum plot differ only in these values.

#include <cstdint>
#include <span>

namespace eq {

// One vertical grid line of the frequency axis.
struct GridMark {
  double hz;          // the line falls on the first point above this frequency
  const char* label;  // written below the axis; nullptr for an unlabelled line
};

// 10 Hz .. 20 kHz: the response plot's grid (24 lines).
std::span<const GridMark> ResponseGrid();
// 5 Hz, then the response plot's 24 lines: the spectrum plot's grid (25 lines).
std::span<const GridMark> SpectrumGrid();

struct PlotSeries {
  // Axis frequency of each point, hertz, ascending; its size is the number of points.
  std::span<const double> frequencies;
  // Levels in dB. The automatic scale spans all of them, shown or not.
  std::span<const double> levels;
  // Empty: point i shows levels[i]. Otherwise point i shows levels[levelIndex[i]].
  std::span<const std::int32_t> levelIndex;
  std::span<const GridMark> grid;
  // The dB range without autoscale.
  int fixedLowDb = -24;
  int fixedHighDb = 24;

  std::size_t PointCount() const { return frequencies.size(); }
  // The level drawn at point i; an index outside `levels` reads the nearest end.
  double PointLevel(std::size_t i) const;
  // Whether the spans fit together: at least two points, and a level for each.
  bool IsValid() const;
};

// The dB range of the axis: lo at the bottom, hi at the top, hi - lo >= 4 with autoscale.
struct DbRange {
  int lowDb;
  int highDb;
};

// Autoscale: even numbers at least 3 dB beyond the lowest level and the highest level (the top
// never below 0 dB). Without: the fixed range. Levels that are not finite are left out.
DbRange ChooseDbRange(const PlotSeries& series, bool autoscale);

}  // namespace eq
