// velmorctl response, run as a user runs it.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "eq/response_curve.h"

namespace {

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class ResponseCommandTest : public testing::Test {
 protected:
  void SetUp() override {
    m_dir = std::filesystem::temp_directory_path() /
            ("velmor-response-" + std::to_string(::getpid()) + "-" +
             testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(m_dir);
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }

  Outcome Run(const std::string& arguments) {
    const auto out = m_dir / "stdout";
    const auto err = m_dir / "stderr";
    const std::string command =
        std::string(VELMORCTL) + " " + arguments + " >" + out.string() + " 2>" + err.string();
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
  }

  std::filesystem::path m_dir;
};

// Width and height from a PNG's header chunk.
std::pair<int, int> PngSize(const std::string& png) {
  if (png.size() < 24 || png.compare(1, 3, "PNG") != 0) return {0, 0};
  auto word = [&png](std::size_t at) {
    int value = 0;
    for (std::size_t i = 0; i < 4; ++i)
      value = value << 8 | static_cast<unsigned char>(png[at + i]);
    return value;
  };
  return {word(16), word(20)};
}

TEST_F(ResponseCommandTest, CsvCarriesEveryPointExactly) {
  const Outcome run = Run("response 3180 318 75 0");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  eq::ResponseCurve curve;
  curve.SetTimeConstants(3180, 318, 75, 0);
  std::istringstream lines(run.out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "index,frequency_hz,level_db");
  std::size_t rows = 0;
  while (std::getline(lines, line)) {
    char* end = nullptr;
    const long index = std::strtol(line.c_str(), &end, 10);
    const double hz = std::strtod(end + 1, &end);
    const double db = std::strtod(end + 1, &end);
    ASSERT_EQ(index, static_cast<long>(rows));
    ASSERT_EQ(hz, curve.Frequencies()[rows]) << line;
    ASSERT_EQ(db, curve.Levels()[rows]) << line;
    ++rows;
  }
  EXPECT_EQ(rows, 1024u);
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
  const auto png = m_dir / "plot.png";
  Outcome run = Run("response 3180 318 75 7950 --png " + png.string() +
                    " --autoscale --cursor 1023 --size 300x200");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(run.out.empty());
  EXPECT_EQ(PngSize(ReadFile(png)), std::make_pair(300, 200));

  run = Run("response 3180 318 75 7950 --png " + png.string() + " --size 1x1");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(PngSize(ReadFile(png)), std::make_pair(1, 1));

  // By default the size of the panel's plot control: wider than high, a few hundred pixels.
  run = Run("response 3180 318 75 7950 --png " + png.string());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto [width, height] = PngSize(ReadFile(png));
  EXPECT_GT(width, 400);
  EXPECT_GT(height, 200);
  EXPECT_GT(width, height);
}

TEST_F(ResponseCommandTest, PictureOptionsAreChecked) {
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

}  // namespace
