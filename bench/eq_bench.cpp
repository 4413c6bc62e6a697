// A slider step on the panel: new time constants, the response recomputed, the plot painted
// off-screen and shown by its picture control.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>

#include "eq/picture_control.h"
#include "eq/plot_painter.h"
#include "eq/response_curve.h"
#include "panel/dialog_units.h"

namespace {

// The panel's plot bitmap: the client area of a bordered 333 x 174 dialog-unit control.
QSize PanelPlotSize() {
  const DialogUnits units(DialogUnits::DialogFont());
  return {units.X(333) - 2, units.Y(174) - 2};
}

void SetTimeConstants(benchmark::State& state) {
  eq::ResponseCurve curve;
  std::uint16_t t2 = 318;
  for (auto _ : state) {
    curve.SetTimeConstants(3180, t2, 75, 7950);
    benchmark::DoNotOptimize(curve.Levels().data());
    t2 = t2 == 318 ? 319 : 318;
  }
}
BENCHMARK(SetTimeConstants)->Unit(benchmark::kMicrosecond);

void Paint(benchmark::State& state) {
  eq::ResponseCurve curve;
  curve.SetTimeConstants(3180, 318, 75, 7950);
  curve.plot.cursorIndex = static_cast<int>(state.range(0));
  const bool autoscale = state.range(1) != 0;
  QPixmap pixmap(PanelPlotSize());
  for (auto _ : state) eq::Paint(&pixmap, curve, autoscale);
  state.SetLabel(QStringLiteral("%1x%2").arg(pixmap.width()).arg(pixmap.height()).toStdString());
}
BENCHMARK(Paint)
    ->Args({-1, 0})
    ->Args({512, 0})
    ->Args({512, 1})
    ->ArgNames({"cursor", "autoscale"})
    ->Unit(benchmark::kMicrosecond);

// Everything a slider step does to the plot, up to the control having repainted itself.
void SliderStep(benchmark::State& state) {
  eq::ResponseCurve curve;
  curve.plot.cursorIndex = 512;
  eq::PictureControl control;
  const QSize size = PanelPlotSize();
  control.resize(size + QSize(2, 2));
  control.show();
  QPixmap pixmap(size);
  std::uint16_t t2 = 318;
  for (auto _ : state) {
    curve.SetTimeConstants(3180, t2, 75, 7950);
    eq::Paint(&pixmap, curve, false);
    control.SetPicture(pixmap);
    control.repaint();
    t2 = t2 == 318 ? 319 : 318;
  }
}
BENCHMARK(SliderStep)->Unit(benchmark::kMicrosecond);

}  // namespace
