#pragma once
// The magnitude response of one equalization curve, defined by its four time constants, at 1024
// frequencies spaced logarithmically from 5 Hz to 31 kHz, and the state of the plot that shows it.
//
// The curve is 20 log10 |H(j 2 pi f)| of
//   H(s) = (t1/t2) (1 + s t2) / (1 + s t1)   bass shelf, 0 dB above 1/(2 pi t2)
//        * s t4 / (1 + s t4)                   high-pass at 1/(2 pi t4)
//        * 1 / (1 + s t3)                      treble roll-off at 1/(2 pi t3)
// It is the equalization alone: gain and output rate play no part.
//
// Use: SetRange once, then SetTimeConstants whenever the curve changes, then paint the plot
// (eq::Paint in eq/plot_painter.h) and follow the pointer with eq::MovePointer(curve.plot, x, y).

#include <array>
#include <cstdint>

#include "eq/plot_series.h"
#include "eq/plot_state.h"

namespace eq {

class ResponseCurve {
 public:
  static constexpr std::size_t kPointCount = 1024;
  // A time constant of 0 means "disabled"; the curve is computed with this value instead, which
  // puts a disabled t1, t2 or t4 below the audio band (about 9.7 Hz).
  static constexpr std::uint16_t kDisabledMicroseconds = 16383;

  // Starts with all four time constants disabled, so the points are never undefined.
  ResponseCurve() { Recompute(); }

  // Stores the frequency range in hertz (default 5 .. 31000); the next SetTimeConstants lays the
  // points out over it. A range with startHz <= 0 or endHz <= startHz is refused (returns false).
  bool SetRange(double startHz, double endHz);
  // Time constants in microseconds, in the order of the curve record; 0 becomes 16383. Recomputes
  // all 1024 points; the caller repaints the plot afterwards.
  void SetTimeConstants(std::uint16_t t1, std::uint16_t t2, std::uint16_t t3, std::uint16_t t4);
  // The level in dB at f hertz (f > 0) for the stored time constants.
  double LevelAt(double hz) const;
  // Lays out the frequencies over the range and computes the level at each.
  void Recompute();
  // The corner frequency in hertz of a time constant in microseconds (t > 0): 1e6 / (2 pi t).
  static double CornerFrequency(double microseconds);

  // The stored time constant i = 0..3 (t1..t4) in microseconds, never 0 after SetTimeConstants.
  std::uint16_t T(int i) const { return m_t[static_cast<std::size_t>(i) & 3]; }
  double StartHz() const { return m_startHz; }
  double EndHz() const { return m_endHz; }
  const std::array<double, kPointCount>& Frequencies() const { return m_frequencies; }
  const std::array<double, kPointCount>& Levels() const { return m_levels; }
  // The curve as the plot draws it: these points on the response grid, -24..+24 dB when fixed.
  PlotSeries Series() const;

  // Written by each paint and by the pointer readout; cursorIndex survives new time constants,
  // so the readout then shows the new level at the same point.
  PlotState<kPointCount> plot;

 private:
  std::array<std::uint16_t, 4> m_t{kDisabledMicroseconds, kDisabledMicroseconds,
                                   kDisabledMicroseconds, kDisabledMicroseconds};
  std::array<double, kPointCount> m_frequencies{};  // hertz, ascending
  std::array<double, kPointCount> m_levels{};       // dB at m_frequencies[i]
  double m_startHz = 5.0;                           // hertz
  double m_endHz = 31000.0;                         // hertz
};

}  // namespace eq
