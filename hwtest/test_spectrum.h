#pragma once
// The hardware test's measurement: a synthetic complex 1 kHz tone at 48 kHz, 4096 samples,
// transformed (hwtest/fft.h); the lower 2048 bins kept as levels in dB and shown on 2048 points
// spaced logarithmically from 1 Hz to 24 kHz. Nothing comes from the device.

#include <array>
#include <cstdint>

#include "eq/plot_series.h"

namespace hwtest {

class TestSpectrum {
 public:
  static constexpr int kTransformSize = 4096;
  static constexpr std::size_t kBinCount = 2048;  // the kept half; also the number of points
  static constexpr double kZeroPowerDb = -300.0;  // the level of a bin of no power at all

  // Lays out the axis, then analyses the tone.
  TestSpectrum();

  // Fills frequencies and binIndex from startHz and endHz.
  void LayoutAxis();
  // Synthesises the tone, transforms it and keeps bins 0..2047 and their levels.
  void AnalyseTestTone();

  // 10 log10(re^2 + im^2): 0 dB is a bin of magnitude 1; never below kZeroPowerDb.
  static double LevelOf(double re, double im);
  // The frequency in hertz that bin k stands for: k * sampleRate / 4096.
  double BinFrequency(std::size_t k) const;

  double SampleRate() const { return m_sampleRate; }
  const std::array<double, kBinCount>& SpectrumRe() const { return m_spectrumRe; }
  const std::array<double, kBinCount>& SpectrumIm() const { return m_spectrumIm; }
  const std::array<double, kBinCount>& Levels() const { return m_levels; }
  const std::array<double, kBinCount>& Frequencies() const { return m_frequencies; }
  const std::array<std::int32_t, kBinCount>& BinIndex() const { return m_binIndex; }
  // The level drawn at point i: that of its bin.
  double PointLevel(std::size_t i) const {
    return m_levels[static_cast<std::size_t>(m_binIndex[i])];
  }

  // The spectrum as its plot draws it: -100..+10 dB, the grid from 5 Hz, point i at the level
  // of bin binIndex[i].
  eq::PlotSeries Series() const;

 private:
  double m_sampleRate = 48000.0;                 // hertz
  double m_startHz = 1.0;                        // first axis frequency
  double m_endHz = 24000.0;                      // last axis frequency
  std::array<double, kBinCount> m_spectrumRe{};  // transform bins 0..2047
  std::array<double, kBinCount> m_spectrumIm{};
  std::array<double, kBinCount> m_levels{};       // dB of bin k
  std::array<double, kBinCount> m_frequencies{};  // axis frequency of point i, hertz, ascending
  // The bin point i shows: the one nearest to its axis frequency, 0..2047.
  std::array<std::int32_t, kBinCount> m_binIndex{};
};

}  // namespace hwtest
