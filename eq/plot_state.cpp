#include "eq/plot_state.h"

namespace eq {

bool MovePointer(PlotStateRef plot, int x, int y) {
  if (!plot.frame.Contains(x, y)) {
    if (plot.cursorIndex < 0) return false;
    plot.cursorIndex = -1;
    return true;
  }
  for (std::size_t i = 0; i < plot.points.size(); ++i) {
    if (plot.points[i].x == x) {
      plot.cursorIndex = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

}  // namespace eq
