// The panel's own costs on the simulated device in-process, with the device's waits taken out
// (virtual time): start-up with its two settings reads, one "&Read Settings", one slider step.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <QTemporaryDir>

#include "panel/control_ids.h"
#include "panel/property_velmor.h"
#include "sim/sim_device.h"
#include "tests/support/recording_device.h"
#include "tests/support/virtual_timing.h"

namespace {

struct Rig {
  VirtualTiming timing;
  SimOptions options = [this] {
    SimOptions o = SimOptions::Instant();
    o.timing = &timing;
    return o;
  }();
  SimDevice device{options};
  std::unique_ptr<CDeviceLink> link = MakeLinkTo(device);
};

void StartUp(benchmark::State& state) {
  Rig rig;
  for (auto _ : state) {
    CPropertyVELMOR panel(*rig.link, rig.timing, DesktopServices());
    panel.OnInitDialog();
    benchmark::DoNotOptimize(panel.Image().Bytes().data());
  }
}
BENCHMARK(StartUp)->Unit(benchmark::kMillisecond);

void ReadSettingsButton(benchmark::State& state) {
  Rig rig;
  CPropertyVELMOR panel(*rig.link, rig.timing, DesktopServices());
  panel.OnInitDialog();
  for (auto _ : state) panel.OnReadSettings();
}
BENCHMARK(ReadSettingsButton)->Unit(benchmark::kMillisecond);

void TimeConstantStep(benchmark::State& state) {
  Rig rig;
  CPropertyVELMOR panel(*rig.link, rig.timing, DesktopServices());
  panel.OnInitDialog();
  auto* t2 = panel.ControlAs<QScrollBar>(IDC_T2);
  bool up = true;
  for (auto _ : state) {
    t2->triggerAction(up ? QAbstractSlider::SliderSingleStepAdd
                         : QAbstractSlider::SliderSingleStepSub);
    up = !up;
  }
}
BENCHMARK(TimeConstantStep)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir deviceFolder;
  qputenv("VELMOR_DEVICE_DIR", deviceFolder.path().toLocal8Bit());
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
