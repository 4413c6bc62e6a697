// velmorctl.exe under Wine through the Win32 driver channel, against the stand-in driver:
// the same requests, frame by frame, and the same texts as against velmor-sim on Linux.

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

}  // namespace
