#pragma once
// What a plot keeps between paints: the geometry and pixel points that the last paint left on
// screen, and the point the pointer readout marks. One pointer rule serves plots of any size.

#include <array>
#include <cstddef>
#include <span>

namespace eq {

struct PlotPoint {
  int x = 0;  // pixels in the plot bitmap
  int y = 0;
};

// The plot area in bitmap pixels, as the last paint laid it out. Before the first paint it is
// empty (right of left), so no pointer position lies inside it.
struct PlotFrame {
  int plotLeft = 21;   // x of the vertical axis
  int plotRight = 0;   // right edge of the plot area: bitmap width - 10
  int plotTop = 10;    // top of the plot area
  int plotBottom = 0;  // y of the horizontal axis: bitmap height - 15

  bool Contains(int x, int y) const {
    return x >= plotLeft && x <= plotRight && y >= plotTop && y <= plotBottom;
  }
};

// The state of one plot of N points, owned by whoever shows the plot.
template <std::size_t N>
struct PlotState {
  PlotFrame frame;
  std::array<PlotPoint, N> points{};
  int cursorIndex = -1;  // point marked for the readout, 0..N-1; -1 for none
};

// A handle on any plot's state, so that painting and the pointer rule need not know N.
struct PlotStateRef {
  template <std::size_t N>
  PlotStateRef(PlotState<N>& state)  // NOLINT(google-explicit-constructor): a view, like span
      : frame(state.frame), points(state.points), cursorIndex(state.cursorIndex) {}

  PlotFrame& frame;
  std::span<PlotPoint> points;
  int& cursorIndex;
};

// The pointer readout. (x, y) is the pointer in the plot bitmap's coordinates, that is in the
// picture control's client area. Outside the plot area the marker goes away; inside, the marker
// moves to the first point painted in the pointer's column, and a column without a point changes
// nothing. Returns whether the plot must be painted again (also when the same point is hit).
// A caller that ignores a disabled plot checks that itself before calling.
bool MovePointer(PlotStateRef plot, int x, int y);

}  // namespace eq
