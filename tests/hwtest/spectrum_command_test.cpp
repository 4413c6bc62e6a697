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
  std::string header;
  const std::vector<CsvRow> rows = ReadPlotCsv(run.out, header);
  EXPECT_EQ(header, "bin,frequency_hz,level_db");
  ASSERT_EQ(rows.size(), 2048u);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].index, static_cast<long>(i));
    ASSERT_EQ(rows[i].hz, i * 11.71875) << i;
    ASSERT_EQ(rows[i].db, spectrum.Levels()[i]) << i;
  }
}

TEST_F(SpectrumCommandTest, PngAtTheAskedOrTheWindowsSize) {
  if (!VELMOR_PNG_OUTPUT) GTEST_SKIP() << "no PNG output in this build";
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
