// velmorctl.exe under Wine through the Win32 driver channel, against the stand-in driver:
// the same requests, frame by frame, and the same texts as against velmor-sim on Linux.

#include <chrono>

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
    Control({"factory", "300", "300", "50"});
    Control({"trace", TracePath()});
  }

  void TearDown() override {
    // Absent again for the tests that expect no device.
    Control({"trace", "off"});
    Control({"unplug"});
    CommandTest::TearDown();
  }

  void Control(const std::vector<std::string>& words) override {
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
  Control({"unplug"});
  CommandOutcome r = Run("identity");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("device not present (\\\\.\\VELMORUSBDevice0)"), std::string::npos) << r.err;
  Control({"plug"});
  EXPECT_EQ(Run("identity").exitCode, 0);
  Control({"fail", "next", "1"});
  EXPECT_EQ(Run("identity").exitCode, 1);
  EXPECT_EQ(Run("identity").exitCode, 0);
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
    Control(fault);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(readChunk());
    EXPECT_LT(std::chrono::steady_clock::now() - start, kBound);
    EXPECT_EQ(link.Last().outcome, CDeviceLink::Outcome::kNoAnswer);
    Control({"wire", "delay", "0"});
    EXPECT_TRUE(readChunk());
    EXPECT_EQ(link.Last().outcome, CDeviceLink::Outcome::kCompleted);
  }

  // The same through velmorctl, as a user meets it.
  Control({"wire", "drop", "1"});
  const auto start = std::chrono::steady_clock::now();
  CommandOutcome r = Run("identity");
  EXPECT_LT(std::chrono::steady_clock::now() - start, kBound);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("did not answer"), std::string::npos) << r.err;
  r = Run("identity");
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

}  // namespace
