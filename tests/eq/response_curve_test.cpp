#include "eq/response_curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <tuple>

#include "eq/log_axis.h"

namespace {

using eq::ResponseCurve;

constexpr double kPi = 3.14159265358979323846;

// 20 log10 |H(j 2 pi f)| straight from the transfer function, in complex arithmetic.
double TransferLevel(double t1, double t2, double t3, double t4, double hz) {
  const std::complex<double> s(0.0, 2.0 * kPi * hz);
  const double a = t1 * 1e-6, b = t2 * 1e-6, c = t3 * 1e-6, d = t4 * 1e-6;
  const auto h = (a / b) * (1.0 + s * b) / (1.0 + s * a) * (s * d) / (1.0 + s * d) / (1.0 + s * c);
  return 20.0 * std::log10(std::abs(h));
}

double Effective(int t) {
  return t == 0 ? 16383.0 : t;
}

TEST(ResponseCurveTest, LevelsFollowTheTransferFunctionAtEveryPoint) {
  const std::tuple<int, int, int, int> cases[] = {
      {3180, 318, 75, 7950}, {3180, 318, 75, 0},       {0, 0, 0, 0},        {3180, 3180, 75, 7950},
      {1, 65535, 1, 1},      {65535, 1, 65535, 65535}, {2500, 500, 100, 0}, {0, 450, 50, 3180},
      {16383, 16383, 0, 0},  {100, 100, 100, 100}};
  ResponseCurve curve;
  for (const auto& [t1, t2, t3, t4] : cases) {
    SCOPED_TRACE(testing::Message() << t1 << "," << t2 << "," << t3 << "," << t4);
    curve.SetTimeConstants(t1, t2, t3, t4);
    EXPECT_EQ(curve.T(0), Effective(t1));
    EXPECT_EQ(curve.T(3), Effective(t4));
    for (std::size_t i = 0; i < ResponseCurve::kPointCount; ++i) {
      const double f = curve.Frequencies()[i];
      ASSERT_EQ(curve.Levels()[i], curve.LevelAt(f)) << i;
      ASSERT_NEAR(curve.Levels()[i],
                  TransferLevel(Effective(t1), Effective(t2), Effective(t3), Effective(t4), f),
                  1e-9)
          << i;
    }
  }
}

TEST(ResponseCurveTest, KnownCurvesReadTheirKnownLevels) {
  ResponseCurve curve;
  curve.SetTimeConstants(3180, 318, 75, 7950);
  EXPECT_NEAR(curve.LevelAt(5), 7.6, 0.05);
  EXPECT_NEAR(curve.LevelAt(20), 16.3, 0.05);
  EXPECT_NEAR(curve.LevelAt(1000), 0.09, 0.05);
  EXPECT_NEAR(curve.LevelAt(20000), -19.5, 0.05);
  EXPECT_NEAR(curve.LevelAt(31000), -23.3, 0.05);
  const ResponseCurve iec = curve;

  curve.SetTimeConstants(3180, 318, 75, 0);
  EXPECT_NEAR(curve.LevelAt(5), 13.2, 0.05);
  EXPECT_NEAR(curve.LevelAt(20), 18.4, 0.05);
  for (std::size_t i = 0; i < ResponseCurve::kPointCount; ++i) {
    if (curve.Frequencies()[i] >= 1000) {
      ASSERT_NEAR(curve.Levels()[i], iec.Levels()[i], 0.01);
    }
  }

  curve.SetTimeConstants(0, 0, 0, 0);
  EXPECT_NEAR(curve.LevelAt(5), -7.8, 0.05);
  EXPECT_NEAR(curve.LevelAt(1000), -40.3, 0.05);
  EXPECT_NEAR(curve.LevelAt(31000), -70.1, 0.05);
}

TEST(ResponseCurveTest, EqualBassConstantsCancelExactly) {
  ResponseCurve curve;
  ResponseCurve noBass;
  curve.SetTimeConstants(500, 500, 75, 7950);
  noBass.SetTimeConstants(1234, 1234, 75, 7950);
  EXPECT_EQ(curve.Levels(), noBass.Levels());
}

TEST(ResponseCurveTest, FrequenciesRunLogarithmicallyFromFiveHertzTo31Kilohertz) {
  ResponseCurve curve;
  curve.SetTimeConstants(3180, 318, 75, 7950);
  const auto& f = curve.Frequencies();
  EXPECT_EQ(f[0], 5.0);
  EXPECT_NEAR(f[1], 5.043, 0.001);
  EXPECT_NEAR(f[1023], 31000.0, 31000.0 * 1e-12);
  const double step = (std::log10(31000.0) - std::log10(5.0)) / 1023;
  for (std::size_t i = 1; i < f.size(); ++i) {
    ASSERT_GT(f[i], f[i - 1]) << i;
    ASSERT_NEAR(f[i], std::pow(10.0, std::log10(5.0) + i * step), f[i] * 1e-12) << i;
  }
}

TEST(ResponseCurveTest, RangeAppliesAtTheNextRecomputeAndRefusesNonsense) {
  ResponseCurve curve;
  EXPECT_TRUE(curve.SetRange(5.0, 31000.0));
  EXPECT_FALSE(curve.SetRange(0.0, 100.0));
  EXPECT_FALSE(curve.SetRange(100.0, 100.0));
  EXPECT_FALSE(curve.SetRange(-5.0, 100.0));
  EXPECT_FALSE(curve.SetRange(5.0, INFINITY));
  EXPECT_EQ(curve.StartHz(), 5.0);
  EXPECT_EQ(curve.EndHz(), 31000.0);

  ASSERT_TRUE(curve.SetRange(20.0, 20000.0));
  curve.SetTimeConstants(3180, 318, 75, 0);
  EXPECT_EQ(curve.Frequencies()[0], 20.0);
  EXPECT_NEAR(curve.Frequencies()[1023], 20000.0, 1e-8);
}

TEST(ResponseCurveTest, CornerFrequencyOfATimeConstant) {
  EXPECT_NEAR(ResponseCurve::CornerFrequency(75), 2122.0659, 1e-4);
  EXPECT_NEAR(ResponseCurve::CornerFrequency(3180), 50.0487, 1e-4);
  EXPECT_NEAR(ResponseCurve::CornerFrequency(16383), 9.7147, 1e-4);
}

TEST(LogAxisTest, LeavesTheValuesAloneForARangeItCannotLayOut) {
  std::array<double, 4> values{1, 2, 3, 4};
  eq::LayoutLogAxis(values, 10.0, 10.0);
  eq::LayoutLogAxis(values, 0.0, 10.0);
  eq::LayoutLogAxis(std::span(values).first(1), 1.0, 10.0);
  EXPECT_EQ(values, (std::array<double, 4>{1, 2, 3, 4}));
  eq::LayoutLogAxis(values, 1.0, 1000.0);
  EXPECT_EQ(values[0], 1.0);
  EXPECT_NEAR(values[1], 10.0, 1e-12);
  EXPECT_NEAR(values[3], 1000.0, 1e-9);
}

}  // namespace
