// SimDevice's running state, speed status, faults and trace.

#include <gtest/gtest.h>

#include "sim/trace_format.h"
#include "tests/sim/sim_device_fixture.h"

namespace {

TEST_F(SimDeviceTest, LiveCommandsChangeTheRunningStateOnly) {
  const SettingsImage stored = device.StoredImage();
  EXPECT_TRUE(Live(CMD_SET_GAIN, static_cast<std::uint16_t>(-120)));
  EXPECT_TRUE(Live(CMD_SET_POLARITY, 1));
  EXPECT_TRUE(Live(CMD_SET_OUTPUT_RATE, 3));
  EXPECT_TRUE(link->SetEqualization(5, 1590, 318, 50, 0, true));
  EXPECT_TRUE(link->SetSpeed(78, -500, 500));
  EXPECT_TRUE(link->SetMotorVoltage(60));
  EXPECT_TRUE(link->SetRampSpeed(6));
  const LiveState live = device.Live();
  EXPECT_EQ(live.gain, -120);
  EXPECT_EQ(live.polarity, 1);
  EXPECT_EQ(live.outputRate, 3);
  EXPECT_EQ(live.equalization.curveMode, 5);
  EXPECT_TRUE(live.equalization.preset);
  EXPECT_EQ(live.equalization.t[2], 50);
  EXPECT_EQ(live.speed, 78);
  EXPECT_EQ(live.absoluteCorrection, -500);
  EXPECT_EQ(live.relativeCorrection, 500);
  EXPECT_EQ(live.motorVoltage, 60);
  EXPECT_EQ(live.rampSpeed, 6);
  EXPECT_EQ(device.StoredImage(), stored);
}

TEST_F(SimDeviceTest, LiveValuesOutOfRangeFailAndChangeNothing) {
  const LiveState before = device.Live();
  EXPECT_FALSE(Live(CMD_SET_GAIN, 121));
  EXPECT_FALSE(Live(CMD_SET_POLARITY, 2));
  EXPECT_FALSE(Live(CMD_SET_OUTPUT_RATE, 0));
  EXPECT_FALSE(Live(CMD_SET_OUTPUT_RATE, 4));
  EXPECT_FALSE(link->SetSpeed(50, 0, 0));
  EXPECT_FALSE(link->SetSpeed(33, 501, 0));
  EXPECT_FALSE(link->SetMotorVoltage(59));
  EXPECT_FALSE(link->SetMotorVoltage(241));
  EXPECT_FALSE(link->SetRampSpeed(7));
  const std::uint8_t nine[9] = {};
  EXPECT_FALSE(Live(CMD_SET_EQUALIZATION, 0, nine));
  const LiveState after = device.Live();
  EXPECT_EQ(after.gain, before.gain);
  EXPECT_EQ(after.outputRate, before.outputRate);
  EXPECT_EQ(after.speed, before.speed);
  EXPECT_EQ(after.motorVoltage, before.motorVoltage);
}

TEST_F(SimDeviceTest, SpeedChangeOnTheDeviceIsReportedOnce) {
  EXPECT_EQ(device::ReadSpeedStatus(*link), SPEED_STATUS_33);
  ASSERT_TRUE(device.ChangeSpeedOnDevice(78));
  EXPECT_EQ(device::ReadSpeedStatus(*link), SPEED_STATUS_78 | SPEED_STATUS_CHANGED);
  EXPECT_EQ(device::ReadSpeedStatus(*link), SPEED_STATUS_78);
  ASSERT_TRUE(device.ChangeSpeedOnDevice(0));
  EXPECT_EQ(device::ReadSpeedStatus(*link), SPEED_STATUS_CHANGED);
  EXPECT_FALSE(device.ChangeSpeedOnDevice(50));

  ASSERT_TRUE(link->SetSpeed(45, 10, -10));
  EXPECT_EQ(device::ReadSpeedStatus(*link), SPEED_STATUS_45) << "the tool's own change: no flag";
}

TEST_F(SimDeviceTest, SpeedChangeOnTheDeviceRunsTheStoredCorrections) {
  SettingsImage image = device.StoredImage();
  image.SetAbsoluteCorrection(SettingsImage::Speed::k45, -123);
  image.SetRelativeCorrection(SettingsImage::Speed::k45, 45);
  ASSERT_TRUE(Transfer(image).WriteImage(238));
  ASSERT_TRUE(device.ChangeSpeedOnDevice(45));
  EXPECT_EQ(device.Live().absoluteCorrection, -123);
  EXPECT_EQ(device.Live().relativeCorrection, 45);
}

TEST_F(SimDeviceTest, FailNextCountsRequestsNotProbes) {
  device.FailNext(2);
  EXPECT_TRUE(link->IsPresent());
  EXPECT_FALSE(Read(0, 26));
  EXPECT_FALSE(Read(0, 26));
  EXPECT_TRUE(Read(0, 26));
}

TEST_F(SimDeviceTest, FailCommandFailsOnlyThatCommandUntilCleared) {
  device.FailCommand(CMD_READ_SETTINGS);
  EXPECT_FALSE(Read(0, 26));
  DeviceIdentity id;
  EXPECT_TRUE(device::ReadIdentity(*link, id));
  device.FailCommand(CMD_READ_SETTINGS, false);
  EXPECT_TRUE(Read(0, 26));
}

TEST_F(SimDeviceTest, BusyThatNeverEndsRunsIntoTheToolsLimit) {
  SimFaults faults;
  faults.busyNeverEnds = true;
  device.SetFaults(faults);
  EXPECT_FALSE(device::WaitNotBusy(*link, timing));
  device.ResetFaults();
  EXPECT_TRUE(device::WaitNotBusy(*link, timing));
}

TEST_F(SimDeviceTest, OddIdentityValues) {
  SimFaults faults;
  faults.deviceMode = 1;
  faults.hardwareFlags = 0;
  faults.imageLength = 256;
  faults.bootLoaderOnly = true;
  device.SetFaults(faults);
  DeviceIdentity id;
  ASSERT_TRUE(device::ReadIdentity(*link, id));
  EXPECT_EQ(id.DeviceMode(), 1);
  EXPECT_EQ(id.HardwareFlags(), 0);
  EXPECT_EQ(id.ImageLength(), 256);
  EXPECT_TRUE(id.BootLoaderOnly());
  EXPECT_EQ(id.Boot().minor, 2);
  EXPECT_TRUE(Read(250, 6)) << "the declared length bounds the settings commands";

  faults.imageLength = 300;
  device.SetFaults(faults);
  EXPECT_FALSE(Read(250, 7)) << "never beyond the 256-byte image";
}

TEST_F(SimDeviceTest, UnpluggedDeviceIsAbsent) {
  device.Unplug();
  EXPECT_FALSE(link->IsPresent());
  EXPECT_FALSE(Read(0, 1));
  device.Plug();
  EXPECT_TRUE(link->IsPresent());
}

TEST_F(SimDeviceTest, TraceLineShowsCommandFieldsResultAndReply) {
  std::vector<std::string> lines;
  device.SetTrace([&lines](const SimTraceEntry& e) { lines.push_back(sim::FormatTraceLine(e)); });
  ASSERT_TRUE(Read(234, 4));
  ASSERT_TRUE(link->SetMotorVoltage(155));
  EXPECT_FALSE(Read(235, 4));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0],
            "READ_SETTINGS (0x0A) value=0x00EA index=0x0004 data=- result=ok reply=00 00 00 00 "
            "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
  EXPECT_EQ(lines[1],
            "SET_MOTOR_VOLTAGE (0x96) value=0x0000 index=0x0000 data=9B 00 result=ok reply=-");
  EXPECT_NE(lines[2].find("result=failed"), std::string::npos);
}

}  // namespace
