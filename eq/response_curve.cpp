#include "eq/response_curve.h"

#include <cmath>

#include "eq/log_axis.h"
#include "eq/vector_state.h"

namespace eq {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kTwoPiSquared = 39.47841760435743;
constexpr double kSecondsPerMicrosecond = 1e-6;

// 10 log10 of a power ratio.
double Decibels(double powerRatio) {
  return 10.0 * std::log10(powerRatio);
}

}  // namespace

bool ResponseCurve::SetRange(double startHz, double endHz) {
  if (!(startHz > 0.0) || !(endHz > startHz) || !std::isfinite(endHz)) return false;
  m_startHz = startHz;
  m_endHz = endHz;
  return true;
}

void ResponseCurve::SetTimeConstants(std::uint16_t t1, std::uint16_t t2, std::uint16_t t3,
                                     std::uint16_t t4) {
  m_t = {t1, t2, t3, t4};
  for (auto& t : m_t) {
    if (t == 0) t = kDisabledMicroseconds;
  }
  Recompute();
}

double ResponseCurve::LevelAt(double hz) const {
  const double tau1 = m_t[0] * kSecondsPerMicrosecond;
  const double tau2 = m_t[1] * kSecondsPerMicrosecond;
  const double tau3 = m_t[2] * kSecondsPerMicrosecond;
  const double tau4 = m_t[3] * kSecondsPerMicrosecond;
  const double w = kTwoPiSquared * hz * hz;  // w * tau^2 = (2 pi f tau)^2
  const double bassPole = Decibels(1.0 + 1.0 / (tau1 * tau1 * w));
  const double bassZero = Decibels(1.0 + 1.0 / (tau2 * tau2 * w));
  const double treble = Decibels(1.0 + tau3 * tau3 * w);
  const double highPass = Decibels(1.0 + 1.0 / (tau4 * tau4 * w));
  return bassZero - bassPole - highPass - treble;
}

void ResponseCurve::Recompute() {
  ClearUpperVectorState();  // the panel recomputes right after painting
  LayoutLogAxis(m_frequencies, m_startHz, m_endHz);
  for (std::size_t i = 0; i < kPointCount; ++i) m_levels[i] = LevelAt(m_frequencies[i]);
}

double ResponseCurve::CornerFrequency(double microseconds) {
  return 1e6 / (microseconds * kTwoPi);
}

PlotSeries ResponseCurve::Series() const {
  PlotSeries series;
  series.frequencies = m_frequencies;
  series.levels = m_levels;
  series.grid = ResponseGrid();
  series.fixedLowDb = -24;
  series.fixedHighDb = 24;
  return series;
}

}  // namespace eq
