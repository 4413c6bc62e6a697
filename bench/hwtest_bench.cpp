// Opening the hardware test window: the analysis (tone, transform, axis) and the plot's paint.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>

#include "eq/plot_painter.h"
#include "hwtest/hardware_test.h"
#include "hwtest/test_spectrum.h"
#include "panel/dialog_units.h"

namespace {

void Analysis(benchmark::State& state) {
  for (auto _ : state) {
    hwtest::TestSpectrum spectrum;
    benchmark::DoNotOptimize(spectrum.Levels().data());
  }
}
BENCHMARK(Analysis)->Unit(benchmark::kMicrosecond);

void Paint(benchmark::State& state) {
  const hwtest::TestSpectrum spectrum;
  eq::PlotState<hwtest::TestSpectrum::kBinCount> plot;
  plot.cursorIndex = static_cast<int>(state.range(0));
  // The window's plot bitmap: the client area of a bordered 446 x 288 dialog-unit control.
  const DialogUnits units(DialogUnits::DialogFont());
  QPixmap pixmap(units.X(446) - 2, units.Y(288) - 2);
  for (auto _ : state) eq::PaintPlot(&pixmap, spectrum.Series(), plot, false);
  state.SetLabel(QStringLiteral("%1x%2").arg(pixmap.width()).arg(pixmap.height()).toStdString());
}
BENCHMARK(Paint)->Arg(-1)->Arg(1000)->ArgName("cursor")->Unit(benchmark::kMicrosecond);

// Everything up to the window being ready to show: widgets, analysis, first paint.
void OpenWindow(benchmark::State& state) {
  for (auto _ : state) {
    CHardwareTest dialog;
    benchmark::DoNotOptimize(&dialog);
  }
}
BENCHMARK(OpenWindow)->Unit(benchmark::kMicrosecond);

}  // namespace
