#pragma once
// Runs velmorctl as a user runs it, in a scratch folder of its own per test.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct CommandOutcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Width and height from a PNG's header chunk; (0, 0) for anything else.
inline std::pair<int, int> PngSize(const std::string& png) {
  if (png.size() < 24 || png.compare(1, 3, "PNG") != 0) return {0, 0};
  auto word = [&png](std::size_t at) {
    int value = 0;
    for (std::size_t i = 0; i < 4; ++i)
      value = value << 8 | static_cast<unsigned char>(png[at + i]);
    return value;
  };
  return {word(16), word(20)};
}

// One row of velmorctl's plot CSV: index, frequency in Hz, level in dB.
struct CsvRow {
  long index = 0;
  double hz = 0;
  double db = 0;
};

// The rows under the header line, which goes to `header`.
inline std::vector<CsvRow> ReadPlotCsv(const std::string& text, std::string& header) {
  std::istringstream lines(text);
  std::getline(lines, header);
  std::vector<CsvRow> rows;
  for (std::string line; std::getline(lines, line);) {
    char* end = nullptr;
    CsvRow row;
    row.index = std::strtol(line.c_str(), &end, 10);
    row.hz = std::strtod(end + 1, &end);
    row.db = std::strtod(end + 1, &end);
    rows.push_back(row);
  }
  return rows;
}

class CommandTest : public testing::Test {
 protected:
  void SetUp() override {
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    m_dir =
        std::filesystem::temp_directory_path() / ("velmorctl-" + std::to_string(::getpid()) + "-" +
                                                  test->test_suite_name() + "-" + test->name());
    std::filesystem::create_directories(m_dir);
    m_deviceFolder = m_dir / "no-device";
    std::filesystem::create_directories(m_deviceFolder);
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }

  // `arguments` go through the shell as written, with the device folder of m_deviceFolder
  // (an empty folder of its own unless a test names another).
  CommandOutcome Run(const std::string& arguments) {
    const auto out = m_dir / "stdout";
    const auto err = m_dir / "stderr";
    const std::string command = "VELMOR_DEVICE_DIR=" + m_deviceFolder.string() + " " +
                                std::string(VELMORCTL) + " " + arguments + " >" + out.string() +
                                " 2>" + err.string();
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadWholeFile(out), ReadWholeFile(err)};
  }

  std::filesystem::path m_dir;
  std::filesystem::path m_deviceFolder;
};
