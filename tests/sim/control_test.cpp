// Control commands of a running simulator, and the control socket that carries them.

#include <gtest/gtest.h>

#include "sim/control_client.h"
#include "sim/control_commands.h"
#include "sim/control_server.h"
#include "sim/sim_device.h"
#include "sim/socket_server.h"
#include "tests/sim/sim_test_support.h"

namespace {

class ControlTest : public ::testing::Test {
 protected:
  sim::ControlResult Run(const std::vector<std::string>& words) {
    return sim::ExecuteControl(words, device, &server);
  }

  simtest::TempFolder folder;
  SimDevice device{SimOptions::Instant()};
  SimSocketServer server{device, folder / "VELMORUSBDevice0"};
};

TEST_F(ControlTest, CommandsChangeTheDevice) {
  EXPECT_TRUE(Run({"unplug"}).ok);
  EXPECT_FALSE(device.IsPlugged());
  EXPECT_TRUE(Run({"plug"}).ok);
  EXPECT_TRUE(device.IsPlugged());
  EXPECT_TRUE(Run({"speed", "78"}).ok);
  EXPECT_EQ(device.SpeedStatus(), SPEED_STATUS_78 | SPEED_STATUS_CHANGED);
  EXPECT_TRUE(Run({"fail", "next", "3"}).ok);
  EXPECT_TRUE(Run({"fail", "command", "cmd_read_settings"}).ok);
  EXPECT_TRUE(Run({"fail", "command", "0x8C"}).ok);
  EXPECT_TRUE(Run({"fail", "clear", "140"}).ok);
  EXPECT_TRUE(Run({"hang", "erase"}).ok);
  EXPECT_TRUE(Run({"hang", "busy", "on"}).ok);
  EXPECT_TRUE(Run({"identity", "mode", "1"}).ok);
  EXPECT_TRUE(Run({"identity", "flags", "0x00"}).ok);
  EXPECT_TRUE(Run({"identity", "length", "0"}).ok);
  EXPECT_TRUE(Run({"identity", "boot-only"}).ok);
  EXPECT_TRUE(Run({"wire", "delay", "50"}).ok);

  SimFaults expected;
  expected.failNext = 3;
  expected.failCommands = {CMD_READ_SETTINGS};
  expected.eraseNeverEnds = true;
  expected.busyNeverEnds = true;
  expected.deviceMode = 1;
  expected.hardwareFlags = 0;
  expected.imageLength = 0;
  expected.bootLoaderOnly = true;
  EXPECT_EQ(device.Faults(), expected);
  EXPECT_EQ(server.Faults().delayMs, 50u);

  const std::string status = Run({"status"}).text;
  EXPECT_NE(status.find("READ_SETTINGS fails"), std::string::npos) << status;
  EXPECT_NE(status.find("responses 50 ms late"), std::string::npos) << status;

  EXPECT_TRUE(Run({"hang", "busy", "off"}).ok);
  EXPECT_FALSE(device.Faults().busyNeverEnds);
  EXPECT_TRUE(Run({"reset"}).ok);
  EXPECT_EQ(device.Faults(), SimFaults{});
  EXPECT_EQ(server.Faults(), WireFaults{});
}

TEST_F(ControlTest, BadCommandsAreRefusedAndChangeNothing) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"frobnicate"},
      {"speed"},
      {"speed", "50"},
      {"speed", "fast"},
      {"fail", "next"},
      {"fail", "next", "-1"},
      {"fail", "command", "NO_SUCH"},
      {"fail", "command", "256"},
      {"hang", "motor"},
      {"hang", "busy", "maybe"},
      {"identity", "mode", "256"},
      {"identity", "length", "70000"},
      {"identity", "colour", "1"},
      {"wire", "delay"},
      {"plug", "now"},
  };
  for (const auto& words : bad) {
    const auto result = Run(words);
    EXPECT_FALSE(result.ok) << (words.empty() ? "" : words[0]);
    EXPECT_FALSE(result.text.empty());
  }
  EXPECT_EQ(device.Faults(), SimFaults{});
  EXPECT_EQ(device.SpeedStatus(), SPEED_STATUS_33);
}

TEST_F(ControlTest, ControlSocketCarriesCommandsAndAnswers) {
  const std::string path = folder / "velmor-sim.control";
  SimControlServer control(path, [this](const auto& words) { return Run(words); });
  std::string error, text;
  ASSERT_TRUE(control.Start(error)) << error;

  EXPECT_EQ(sim::SendControl(path, {"speed", "45"}, text), sim::kControlOk);
  EXPECT_EQ(device.Live().speed, 45);
  EXPECT_EQ(sim::SendControl(path, {"status"}, text), sim::kControlOk);
  EXPECT_NE(text.find("program:   application V1.012 of 01.02.2006"), std::string::npos) << text;
  EXPECT_EQ(sim::SendControl(path, {"speed", "50"}, text), sim::kControlRejected);
  EXPECT_NE(text.find("usage"), std::string::npos) << text;

  control.Stop();
  EXPECT_FALSE(simtest::FileExists(path));
  EXPECT_EQ(sim::SendControl(path, {"status"}, text), sim::kControlNotRunning);
  EXPECT_NE(text.find("no simulator is running"), std::string::npos) << text;
}

}  // namespace
