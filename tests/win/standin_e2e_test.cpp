// velmorctl.exe under Wine through the Win32 driver channel, against the stand-in driver:
// the same requests, frame by frame, and the same texts as against velmor-sim on Linux.

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "device/device_link.h"
#include "tests/support/frame_scenarios.h"
#include "tests/win/standin_client.h"

namespace {

// Installs the driver once; this test program stays running while the tests use it, which
// keeps Wine from unloading it.
class StandinEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(standin::Install(VELMOR_STANDIN_SYS, error)) << error;
  }
};

const auto* const kEnvironment = testing::AddGlobalTestEnvironment(new StandinEnvironment);

class StandinFrames : public FrameRig {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    // A fresh device with the device waits of the Linux run.
    ControlDevice({"factory", "300", "300", "50"});
    ControlDevice({"trace", TracePath()});
  }

  void TearDown() override {
    // Absent again for the tests that expect no device.
    ControlDevice({"trace", "off"});
    ControlDevice({"unplug"});
    CommandTest::TearDown();
  }

  void ControlDevice(const std::vector<std::string>& words) override {
    std::string answer;
    ASSERT_TRUE(standin::Command(words, answer)) << answer;
  }

  std::string TracePath() override { return (m_dir / "trace.txt").string(); }
};

TEST_F(StandinFrames, Identity) {
  IdentityFrames();
}

TEST_F(StandinFrames, SettingsSaveLoadAndDefaults) {
  SettingsFrames();
}

TEST_F(StandinFrames, Update) {
  UpdateFrames();
}

TEST_F(StandinFrames, UnplugDuringUpdate) {
  UnplugDuringUpdate();
}

TEST_F(StandinFrames, AbsentDeviceAndFaultsReachTheTool) {
  ControlDevice({"unplug"});
  CommandOutcome r = Run("identity");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("device not present (\\\\.\\VELMORUSBDevice0)"), std::string::npos) << r.err;
  ControlDevice({"plug"});
  EXPECT_EQ(Run("identity").exitCode, 0);
  ControlDevice({"fail", "next", "1"});
  EXPECT_EQ(Run("identity").exitCode, 1);
  EXPECT_EQ(Run("identity").exitCode, 0);
}

// Away for a moment in the middle of programming: velmorctl waits for the device object to come
// back and runs the update again from its first step.
TEST_F(StandinFrames, UpdateSurvivesAShortUnplug) {
  MarkTrace();
  Start("update");
  ASSERT_TRUE(WaitForPrograms(200));
  ControlDevice({"unplug"});
  std::this_thread::sleep_for(std::chrono::seconds(1));  // the person's replug
  ControlDevice({"plug"});
  const CommandOutcome r = Finish();
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("The device is back"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("The device runs application V1.013"), std::string::npos) << r.out;
}

// A driver that holds a request must not hold the tool: the request is given up after the
// link's limit and reported as unanswered, and the next one on the same link goes through.
TEST_F(StandinFrames, HeldRequestIsGivenUpAndTheLinkGoesOn) {
  // Generous: the limit is 5 s; a request that is never given up ends the run's timeout.
  constexpr auto kBound = std::chrono::seconds(30);
  CDeviceLink link;
  link.SetDeviceName("\\\\.\\VELMORUSBDevice0");
  const auto readChunk = [&link] {
    std::uint8_t bytes[4] = {};
    return link.ReadSettingsChunk(0, sizeof bytes, bytes);
  };
  // The device object appears a moment after the fresh device is plugged.
  for (int i = 0; i < 500 && !link.IsPresent(); ++i) Sleep(10);
  ASSERT_TRUE(readChunk()) << static_cast<int>(link.Last().outcome);
  for (const auto& fault :
       std::vector<std::vector<std::string>>{{"wire", "drop", "1"}, {"wire", "delay", "60000"}}) {
    SCOPED_TRACE(fault[1]);
    ControlDevice(fault);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(readChunk());
    EXPECT_LT(std::chrono::steady_clock::now() - start, kBound);
    EXPECT_EQ(link.Last().outcome, CDeviceLink::Outcome::kNoAnswer);
    ControlDevice({"wire", "delay", "0"});
    EXPECT_TRUE(readChunk());
    EXPECT_EQ(link.Last().outcome, CDeviceLink::Outcome::kCompleted);
  }

  // The same through velmorctl, as a user meets it.
  ControlDevice({"wire", "drop", "1"});
  const auto start = std::chrono::steady_clock::now();
  CommandOutcome r = Run("identity");
  EXPECT_LT(std::chrono::steady_clock::now() - start, kBound);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("did not answer"), std::string::npos) << r.err;
  r = Run("identity");
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

// Files as a Windows user names them, and bytes through pipes.
class StandinFiles : public StandinFrames {
 protected:
  static std::filesystem::path Utf8Path(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
  }
  // A path as velmorctl's command line takes it: UTF-8, quoted for the blank.
  static std::string Argument(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return "\"" + std::string(text.begin(), text.end()) + "\"";
  }
};

TEST_F(StandinFiles, ExportSaveAndImportUnderNamesWithUmlauts) {
  const auto folder = m_dir / Utf8Path("Geräte Übersicht");
  std::filesystem::create_directories(folder);
  const auto document = folder / "unit-4711.json";
  const auto image = folder / Utf8Path("Einstellungen äöü.bin");

  CommandOutcome r = Run("settings export " + Argument(document));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // Again over the file that is there now: the temporary file must replace it.
  r = Run("settings export " + Argument(document));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = Run("settings save " + Argument(image));
  ASSERT_EQ(r.exitCode, 0) << r.err;

  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::u8string name = entry.path().filename().u8string();
    names.emplace_back(name.begin(), name.end());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Einstellungen äöü.bin", "unit-4711.json"}));
  EXPECT_EQ(std::filesystem::file_size(image), 238u);

  r = Run("settings import " + Argument(document));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  r = Run("settings load " + Argument(image));
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("loaded 238 bytes"), std::string::npos) << r.out;
}

TEST_F(StandinFiles, ImageThroughStandardInputAndOutputKeepsEveryByte) {
  const auto file = m_dir / "unit.bin";
  ASSERT_EQ(Run("settings save " + file.string()).exitCode, 0);
  std::string bytes = ReadWholeFile(file);
  ASSERT_EQ(bytes.size(), 238u);
  // CR, SUB (the end of a text file) and LF in the serial number, which takes any value.
  bytes.replace(4, 4, std::string("\x0D\x1A\x0A\x0D", 4));
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  CommandOutcome r = Run("settings load -", file);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("loaded 238 bytes from -"), std::string::npos) << r.out;

  r = Run("settings save -");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadWholeFile(m_dir / "stdout"), bytes);
}

#if VELMOR_PNG_OUTPUT
TEST_F(StandinFiles, PngToStandardOutputIsAPng) {
  const CommandOutcome r = Run("response 3180 318 75 0 --png -");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string png = ReadWholeFile(m_dir / "stdout");
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
  EXPECT_GT(PngSize(png).first, 0);
  // The last chunk, IEND, and its checksum end the file.
  ASSERT_GE(png.size(), 12u);
  EXPECT_EQ(png.substr(png.size() - 8, 4), "IEND");
}
#endif

}  // namespace
