// velmorctl against velmor-sim: the requests of identity, settings and update, frame by frame,
// and the texts of an update cut short by an unplug. The Windows build checks the same files
// through its driver channel.

#include <sstream>

#include "tests/sim/sim_process.h"
#include "tests/sim/sim_test_support.h"
#include "tests/support/frame_scenarios.h"

namespace {

using namespace std::chrono_literals;

class VelmorctlFrames : public FrameRig {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    m_deviceFolder = deviceFolder.Path();
    // The stand-in driver's device waits.
    sim = std::make_unique<simtest::SimProcess>(
        deviceFolder.Path(),
        std::vector<std::string>{"--state", state.Path(), "--restart-ms", "300", "--erase-ms",
                                 "300", "--busy-ms", "50", "--trace", TracePath()},
        state / "sim.log");
    auto link = simtest::MakeSocketLink(deviceFolder / "VELMORUSBDevice0");
    ASSERT_TRUE(simtest::WaitFor([&] { return link->IsPresent(); }, 5000ms));
  }

  void Control(const std::vector<std::string>& words) override {
    std::vector<std::string> args = {"--control"};
    args.insert(args.end(), words.begin(), words.end());
    std::string output;
    ASSERT_EQ(simtest::RunSim(deviceFolder.Path(), args, output), 0) << output;
  }

  std::string TracePath() override { return state / "trace.txt"; }

  simtest::TempFolder deviceFolder;
  simtest::TempFolder state;
  std::unique_ptr<simtest::SimProcess> sim;
};

TEST_F(VelmorctlFrames, Identity) {
  IdentityFrames();
}

TEST_F(VelmorctlFrames, SettingsSaveLoadAndDefaults) {
  SettingsFrames();
}

TEST_F(VelmorctlFrames, Update) {
  UpdateFrames();
}

TEST_F(VelmorctlFrames, UnplugDuringUpdate) {
  UnplugDuringUpdate();
}

}  // namespace
