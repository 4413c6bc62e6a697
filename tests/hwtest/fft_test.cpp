#include "hwtest/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

TEST(FftTest, MatchesTheDefiningSumWithPositiveExponentAndScaling) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  for (int n : {1, 2, 8, 64, 256}) {
    std::vector<double> re(n), im(n), work(3 * n);
    for (int i = 0; i < n; ++i) {
      re[i] = value(random);
      im[i] = value(random);
    }
    const std::vector<double> re0 = re, im0 = im;
    ASSERT_TRUE(hwtest::fft(re.data(), im.data(), n, 0, work.data()));
    EXPECT_EQ(re, re0);
    EXPECT_EQ(im, im0);
    ASSERT_TRUE(hwtest::fft(re.data(), im.data(), n, +1, work.data()));
    for (int k = 0; k < n; ++k) {
      std::complex<double> sum;
      for (int j = 0; j < n; ++j) {
        sum += std::complex<double>(re0[j], im0[j]) * std::polar(1.0, 2.0 * kPi * k * j / n);
      }
      sum /= n;
      EXPECT_NEAR(re[k], sum.real(), 1e-12) << n << " " << k;
      EXPECT_NEAR(im[k], sum.imag(), 1e-12) << n << " " << k;
    }
  }
}

TEST(FftTest, ToneLandsInTheBinOfThePositiveExponent) {
  // e^(-2 pi i 3 n / 16), a tone like the test tone, is all in bin 3 with magnitude 1 after the
  // scaling; with the negative exponent it would land in bin 13.
  const int n = 16;
  std::vector<double> re(n), im(n), work(3 * n);
  for (int j = 0; j < n; ++j) {
    re[j] = std::cos(2.0 * kPi * 3 * j / n);
    im[j] = -std::sin(2.0 * kPi * 3 * j / n);
  }
  ASSERT_TRUE(hwtest::fft(re.data(), im.data(), n, 0, work.data()));
  ASSERT_TRUE(hwtest::fft(re.data(), im.data(), n, +1, work.data()));
  for (int k = 0; k < n; ++k) {
    EXPECT_NEAR(re[k], k == 3 ? 1.0 : 0.0, 1e-12) << k;
    EXPECT_NEAR(im[k], 0.0, 1e-12) << k;
  }
}

TEST(FftTest, RefusesWhatItCannotDoAndLeavesTheDataAlone) {
  std::vector<double> re(12, 1.0), im(12, 2.0), work(36, 0.0);
  EXPECT_FALSE(hwtest::fft(re.data(), im.data(), 12, 0, work.data()));
  EXPECT_FALSE(hwtest::fft(re.data(), im.data(), 0, 0, work.data()));
  EXPECT_FALSE(hwtest::fft(re.data(), im.data(), -4, 0, work.data()));
  EXPECT_FALSE(hwtest::fft(nullptr, im.data(), 8, 0, work.data()));
  EXPECT_FALSE(hwtest::fft(re.data(), im.data(), 8, 0, nullptr));
  // Unprepared, prepared for another size, or an unknown sign.
  EXPECT_FALSE(hwtest::fft(re.data(), im.data(), 8, +1, work.data()));
  ASSERT_TRUE(hwtest::fft(re.data(), im.data(), 4, 0, work.data()));
  EXPECT_FALSE(hwtest::fft(re.data(), im.data(), 8, +1, work.data()));
  ASSERT_TRUE(hwtest::fft(re.data(), im.data(), 8, 0, work.data()));
  EXPECT_FALSE(hwtest::fft(re.data(), im.data(), 8, -1, work.data()));
  EXPECT_FALSE(hwtest::fft(re.data(), im.data(), 8, 2, work.data()));
  EXPECT_EQ(re, std::vector<double>(12, 1.0));
  EXPECT_EQ(im, std::vector<double>(12, 2.0));
}

}  // namespace
