#include "hwtest/test_spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using hwtest::TestSpectrum;

double Rounded(double level) {
  return std::round(level * 100.0) / 100.0;
}

TEST(TestSpectrumTest, BinsReadTheirKnownLevels) {
  const TestSpectrum spectrum;
  EXPECT_EQ(Rounded(spectrum.Levels()[85]), -1.65);
  EXPECT_EQ(Rounded(spectrum.Levels()[86]), -7.67);
  EXPECT_EQ(Rounded(spectrum.Levels()[84]), -13.69);
  EXPECT_EQ(Rounded(spectrum.Levels()[0]), -49.81);
  EXPECT_EQ(Rounded(spectrum.Levels()[1000]), -69.69);
  EXPECT_EQ(Rounded(spectrum.Levels()[2047]), -73.48);
  EXPECT_EQ(std::max_element(spectrum.Levels().begin(), spectrum.Levels().end()) -
                spectrum.Levels().begin(),
            85);
  for (std::size_t k = 0; k < TestSpectrum::kBinCount; ++k) {
    ASSERT_EQ(spectrum.Levels()[k], 10.0 * std::log10(std::pow(spectrum.SpectrumRe()[k], 2) +
                                                      std::pow(spectrum.SpectrumIm()[k], 2)))
        << k;
  }
  EXPECT_NEAR(spectrum.BinFrequency(85), 996.09375, 1e-9);
}

TEST(TestSpectrumTest, AxisRunsLogarithmicallyFromOneHertzTo24Kilohertz) {
  const TestSpectrum spectrum;
  const auto& f = spectrum.Frequencies();
  EXPECT_EQ(f[0], 1.0);
  EXPECT_NEAR(f[1], 1.00494, 1e-5);
  EXPECT_NEAR(f[2047], 24000.0, 24000.0 * 1e-12);
  for (std::size_t i = 1; i < f.size(); ++i) ASSERT_GT(f[i], f[i - 1]) << i;
}

TEST(TestSpectrumTest, EachPointShowsTheBinNearestItsFrequency) {
  const TestSpectrum spectrum;
  const double hertzPerBin = spectrum.SampleRate() / 4096;
  for (std::size_t i = 0; i < TestSpectrum::kBinCount; ++i) {
    const int bin = spectrum.BinIndex()[i];
    ASSERT_GE(bin, 0) << i;
    ASSERT_LE(bin, 2047) << i;
    if (bin < 2047) {
      ASSERT_LE(std::abs(spectrum.Frequencies()[i] - bin * hertzPerBin), hertzPerBin / 2) << i;
    }
  }
  EXPECT_EQ(spectrum.BinIndex()[0], 0);
  EXPECT_EQ(spectrum.BinIndex()[2047], 2047);  // 24 kHz lies past the last bin
}

TEST(TestSpectrumTest, ThePeakIsTheHighestPointAndSitsNearOneKilohertz) {
  const TestSpectrum spectrum;
  std::size_t highest = 0;
  for (std::size_t i = 1; i < TestSpectrum::kBinCount; ++i) {
    if (spectrum.PointLevel(i) > spectrum.PointLevel(highest)) highest = i;
  }
  EXPECT_EQ(spectrum.BinIndex()[highest], 85);
  EXPECT_NEAR(spectrum.Frequencies()[highest], 1000.0, 10.0);
  EXPECT_EQ(Rounded(spectrum.PointLevel(highest)), -1.65);
}

TEST(TestSpectrumTest, EveryAnalysisGivesTheSameSpectrum) {
  const TestSpectrum first;
  TestSpectrum second;
  second.AnalyseTestTone();
  second.LayoutAxis();
  EXPECT_EQ(first.SpectrumRe(), second.SpectrumRe());
  EXPECT_EQ(first.SpectrumIm(), second.SpectrumIm());
  EXPECT_EQ(first.Levels(), second.Levels());
  EXPECT_EQ(first.BinIndex(), second.BinIndex());
}

TEST(TestSpectrumTest, ABinWithoutPowerReadsTheFloor) {
  EXPECT_EQ(TestSpectrum::LevelOf(0.0, 0.0), -300.0);
  EXPECT_EQ(TestSpectrum::LevelOf(-0.0, 0.0), -300.0);
  EXPECT_EQ(TestSpectrum::LevelOf(1e-200, 0.0), -300.0);
  EXPECT_EQ(TestSpectrum::LevelOf(NAN, 0.0), -300.0);
  EXPECT_EQ(TestSpectrum::LevelOf(1.0, 0.0), 0.0);
  EXPECT_NEAR(TestSpectrum::LevelOf(0.1, 0.0), -20.0, 1e-12);
}

TEST(TestSpectrumTest, ThePlotSpansMinus100ToPlus10AndShowsEachPointsBin) {
  const TestSpectrum spectrum;
  const eq::PlotSeries series = spectrum.Series();
  ASSERT_TRUE(series.IsValid());
  EXPECT_EQ(series.PointCount(), 2048u);
  const eq::DbRange range = eq::ChooseDbRange(series, false);
  EXPECT_EQ(range.lowDb, -100);
  EXPECT_EQ(range.highDb, 10);
  EXPECT_EQ(series.grid.size(), 25u);
  EXPECT_EQ(series.grid.front().hz, 5.0);
  for (std::size_t i = 0; i < 2048; i += 97)
    EXPECT_EQ(series.PointLevel(i), spectrum.PointLevel(i));
}

}  // namespace
