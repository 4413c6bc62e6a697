// velmorctl spectrum, run as a user runs it.

#include <sstream>
#include <string>

#include "hwtest/test_spectrum.h"
#include "tests/support/command_runner.h"

namespace {

using SpectrumCommandTest = CommandTest;
using Outcome = CommandOutcome;

TEST_F(SpectrumCommandTest, CsvCarriesEveryBinExactly) {
  const Outcome run = Run("spectrum");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const hwtest::TestSpectrum spectrum;
  std::istringstream lines(run.out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "bin,frequency_hz,level_db");
  std::size_t rows = 0;
  while (std::getline(lines, line)) {
    char* end = nullptr;
    const long bin = std::strtol(line.c_str(), &end, 10);
    const double hz = std::strtod(end + 1, &end);
    const double db = std::strtod(end + 1, &end);
    ASSERT_EQ(bin, static_cast<long>(rows));
    ASSERT_EQ(hz, rows * 11.71875) << line;
    ASSERT_EQ(db, spectrum.Levels()[rows]) << line;
    ++rows;
  }
  EXPECT_EQ(rows, 2048u);
}

TEST_F(SpectrumCommandTest, PngAtTheAskedOrTheWindowsSize) {
  const auto png = m_dir / "spectrum.png";
  Outcome run = Run("spectrum --png " + png.string() + " --size 640x360");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(PngSize(ReadWholeFile(png)), std::make_pair(640, 360));

  run = Run("spectrum --png " + png.string());
  ASSERT_EQ(run.exitCode, 0) << run.err;

  EXPECT_EQ(Run("spectrum --size 640x360").exitCode, 2);
  EXPECT_EQ(Run("spectrum --png " + png.string() + " --size 640").exitCode, 2);
  EXPECT_EQ(Run("spectrum --png " + (m_dir / "none" / "x.png").string()).exitCode, 2);
}

}  // namespace
