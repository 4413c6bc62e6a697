#include "hwtest/test_spectrum.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "eq/log_axis.h"
#include "eq/vector_state.h"
#include "hwtest/fft.h"

namespace hwtest {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kSecondsPerMillisecond = 0.001;

}  // namespace

TestSpectrum::TestSpectrum() {
  LayoutAxis();
  AnalyseTestTone();
}

void TestSpectrum::LayoutAxis() {
  eq::LayoutLogAxis(m_frequencies, m_startHz, m_endHz);
  // Each point shows the bin nearest its own frequency, so the tone's peak lies at 1 kHz on the
  // axis and no index runs past the kept half.
  const double hertzPerBin = m_sampleRate / kTransformSize;
  const auto lastBin = static_cast<long>(kBinCount) - 1;
  for (std::size_t i = 0; i < kBinCount; ++i) {
    const long bin = std::lround(m_frequencies[i] / hertzPerBin);
    m_binIndex[i] = static_cast<std::int32_t>(std::clamp(bin, 0L, lastBin));
  }
}

void TestSpectrum::AnalyseTestTone() {
  eq::ClearUpperVectorState();
  // Samples and work space (about 160 kB) live only for this analysis.
  std::vector<double> re(kTransformSize);
  std::vector<double> im(kTransformSize);
  std::vector<double> work(3 * kTransformSize);

  // One period every 48 samples. The phase is advanced by repeated addition, not computed as
  // n * step: the test's reference levels were taken with the small drift that leaves.
  const double step = kTwoPi / (m_sampleRate * kSecondsPerMillisecond);
  double phase = 0.0;
  for (int n = 0; n < kTransformSize; ++n) {
    re[static_cast<std::size_t>(n)] = std::sin(phase);
    im[static_cast<std::size_t>(n)] = std::cos(phase);
    phase += step;
  }

  // The calls cannot fail: the size is a power of two and the work array is prepared first.
  fft(re.data(), im.data(), kTransformSize, 0, work.data());
  fft(re.data(), im.data(), kTransformSize, +1, work.data());

  std::copy_n(re.begin(), kBinCount, m_spectrumRe.begin());
  std::copy_n(im.begin(), kBinCount, m_spectrumIm.begin());
  // The bins never change while the window is open, so their levels are worked out once.
  for (std::size_t k = 0; k < kBinCount; ++k)
    m_levels[k] = LevelOf(m_spectrumRe[k], m_spectrumIm[k]);
}

double TestSpectrum::LevelOf(double re, double im) {
  const double power = re * re + im * im;
  if (!(power > 0.0)) return kZeroPowerDb;
  return std::max(10.0 * std::log10(power), kZeroPowerDb);
}

double TestSpectrum::BinFrequency(std::size_t k) const {
  return static_cast<double>(k) * m_sampleRate / kTransformSize;
}

eq::PlotSeries TestSpectrum::Series() const {
  eq::PlotSeries series;
  series.frequencies = m_frequencies;
  series.levels = m_levels;
  series.levelIndex = m_binIndex;
  series.grid = eq::SpectrumGrid();
  series.fixedLowDb = -100;
  series.fixedHighDb = 10;
  return series;
}

}  // namespace hwtest
