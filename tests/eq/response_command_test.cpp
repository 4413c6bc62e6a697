// velmorctl response, run as a user runs it.

#include <sstream>
#include <string>

#include "eq/response_curve.h"
#include "tests/support/command_runner.h"

namespace {

using ResponseCommandTest = CommandTest;
using Outcome = CommandOutcome;

TEST_F(ResponseCommandTest, CsvCarriesEveryPointExactly) {
  const Outcome run = Run("response 3180 318 75 0");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  eq::ResponseCurve curve;
  curve.SetTimeConstants(3180, 318, 75, 0);
  std::string header;
  const std::vector<CsvRow> rows = ReadPlotCsv(run.out, header);
  EXPECT_EQ(header, "index,frequency_hz,level_db");
  ASSERT_EQ(rows.size(), 1024u);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].index, static_cast<long>(i));
    ASSERT_EQ(rows[i].hz, curve.Frequencies()[i]) << i;
    ASSERT_EQ(rows[i].db, curve.Levels()[i]) << i;
  }
}

TEST_F(ResponseCommandTest, TimeConstantsOutsideTheirRangeAreRefused) {
  for (const char* bad : {"x", "70000", "65536", "1.5", "-1", "''", "12ab"}) {
    const Outcome run = Run(std::string("response 3180 318 75 ") + bad);
    EXPECT_EQ(run.exitCode, 2) << bad;
    EXPECT_TRUE(run.out.empty()) << bad;
    EXPECT_NE(run.err.find("velmorctl: "), std::string::npos) << bad;
  }
  const Outcome run = Run("response 3180 x 75 7950");
  EXPECT_NE(run.err.find("T2 must be a time constant of 0..65535 microseconds, got 'x'"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(Run("response 3180 318 75").exitCode, 2);
  EXPECT_EQ(Run("response 0 0 0 65535").exitCode, 0);
}

TEST_F(ResponseCommandTest, PngIsWrittenAtTheAskedSize) {
  if (!VELMOR_PNG_OUTPUT) GTEST_SKIP() << "no PNG output in this build";
  const auto png = m_dir / "plot.png";
  Outcome run = Run("response 3180 318 75 7950 --png " + png.string() +
                    " --autoscale --cursor 1023 --size 300x200");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(run.out.empty());
  EXPECT_EQ(PngSize(ReadWholeFile(png)), std::make_pair(300, 200));

  run = Run("response 3180 318 75 7950 --png " + png.string() + " --size 1x1");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(PngSize(ReadWholeFile(png)), std::make_pair(1, 1));

  // By default the size of the panel's plot control: wider than high, a few hundred pixels.
  run = Run("response 3180 318 75 7950 --png " + png.string());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto [width, height] = PngSize(ReadWholeFile(png));
  EXPECT_GT(width, 400);
  EXPECT_GT(height, 200);
  EXPECT_GT(width, height);
}

TEST_F(ResponseCommandTest, PictureOptionsAreChecked) {
  if (!VELMOR_PNG_OUTPUT) GTEST_SKIP() << "no PNG output in this build";
  const std::string png = " --png " + (m_dir / "plot.png").string();
  for (const std::string& bad :
       {png + " --size 0x10", png + " --size 300", png + " --size 30x-4", png + " --size 20000x100",
        png + " --size 30x40x", png + " --cursor 1024", png + " --cursor -2",
        std::string(" --autoscale"), std::string(" --cursor 3"), std::string(" --size 30x40")}) {
    EXPECT_EQ(Run("response 3180 318 75 7950" + bad).exitCode, 2) << bad;
  }
  EXPECT_FALSE(std::filesystem::exists(m_dir / "plot.png"));
  const Outcome run =
      Run("response 3180 318 75 7950 --png " + (m_dir / "no/such/dir.png").string());
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
}

TEST_F(ResponseCommandTest, BuildWithoutPngSaysSoInHelpAndRefusesPictures) {
  if (VELMOR_PNG_OUTPUT) GTEST_SKIP() << "this build writes PNG";
  EXPECT_NE(Run("response --help").out.find("not available in this build"), std::string::npos);
  const Outcome run = Run("response 3180 318 75 7950 --png " + (m_dir / "plot.png").string());
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, "velmorctl: PNG output is not available in this build\n");
  EXPECT_FALSE(std::filesystem::exists(m_dir / "plot.png"));
  EXPECT_EQ(Run("response 3180 318 75 7950 --png x.png --size 0x10").exitCode, 2);
}

}  // namespace
