// velmorctl against velmor-sim: the requests of identity, settings and update, frame by frame,
// and the texts of an update cut short by an unplug. The Windows build checks the same files
// through its driver channel.

#include "tests/cli/sim_fixture.h"
#include "tests/support/frame_scenarios.h"

namespace {

class VelmorctlFrames : public SimFixture<FrameRig> {
 protected:
  void ControlDevice(const std::vector<std::string>& words) override { ControlWords(words); }
  std::string TracePath() override { return TraceFile(); }
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
