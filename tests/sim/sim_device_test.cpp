// SimDevice behind a real CDeviceLink over the in-process channel, in virtual time.

#include <gtest/gtest.h>

#include "device/device_operations.h"
#include "settings/settings_transfer.h"
#include "sim/device_defaults.h"
#include "sim/sim_device.h"
#include "sim/trace_format.h"
#include "tests/support/recording_device.h"
#include "tests/support/virtual_timing.h"

namespace {

class SimDeviceTest : public ::testing::Test {
 protected:
  static SimOptions Options(VirtualTiming& timing) {
    SimOptions o;
    o.timing = &timing;
    o.requestMs = 1;
    return o;
  }

  bool Read(unsigned offset, unsigned count, ControlReply* reply = nullptr) {
    ControlReply scratch;
    return link->Request(reply ? reply : &scratch, CMD_READ_SETTINGS, offset, count, 0, 0, nullptr);
  }
  bool WriteChunk(unsigned offset, std::span<const std::uint8_t> data) {
    return link->Request(nullptr, CMD_WRITE_SETTINGS, offset, 0, 0,
                         static_cast<unsigned>(data.size()), data.data());
  }
  bool Commit() { return link->Request(nullptr, CMD_WRITE_SETTINGS, 0, 1, 0, 0, nullptr); }
  bool Live(std::uint8_t command, unsigned value, std::span<const std::uint8_t> data = {}) {
    return link->Request(nullptr, command, value, 0, 0, static_cast<unsigned>(data.size()),
                         data.empty() ? nullptr : data.data());
  }
  std::uint16_t BusyWord() {
    ControlReply reply;
    EXPECT_TRUE(link->Request(&reply, CMD_GET_BUSY, 0, 0, 0, 0, nullptr));
    return reply.Word();
  }
  settings::SettingsTransfer Transfer(SettingsImage& image) {
    settings::TransferHooks hooks;
    hooks.today = [] { return settings::LocalDate{2006, 3, 7}; };
    return settings::SettingsTransfer(*link, timing, image, hooks);
  }

  VirtualTiming timing;
  SimDevice device{Options(timing)};
  std::unique_ptr<CDeviceLink> link = MakeLinkTo(device);
};

TEST_F(SimDeviceTest, IdentityOfTheFactoryDevice) {
  DeviceIdentity id;
  ASSERT_TRUE(device::ReadIdentity(*link, id));
  EXPECT_EQ(id.DeviceMode(), 2);
  EXPECT_EQ(id.ImageLength(), 238);
  EXPECT_EQ(id.HardwareFlags(), 0x3A);
  const auto boot = id.Boot();
  EXPECT_EQ(boot.marker, 0x21);
  EXPECT_EQ((std::array<unsigned, 5>{boot.day, boot.month, boot.year, boot.major, boot.minor}),
            (std::array<unsigned, 5>{10, 1, 6, 1, 2}));
  const auto app = id.Application();
  EXPECT_EQ(app.marker, 0x22);
  EXPECT_EQ((std::array<unsigned, 5>{app.day, app.month, app.year, app.major, app.minor}),
            (std::array<unsigned, 5>{1, 2, 6, 1, 12}));
  EXPECT_TRUE(id.ApplicationRunning());
  EXPECT_FALSE(id.BootLoaderOnly());
}

TEST_F(SimDeviceTest, ToolReadsTheDeviceDefaultsWhichDifferFromThePanels) {
  SettingsImage image;
  ASSERT_TRUE(Transfer(image).ReadSettings(238));
  EXPECT_EQ(image, device.StoredImage());
  EXPECT_EQ(image.SerialNumber(), 12345u);
  EXPECT_EQ(image.PhonoGain(), 30);
  EXPECT_EQ(image.OutputRate(), 1);
  EXPECT_EQ(image.MotorVoltage(), 155);
  EXPECT_EQ(image.RampSpeed(), 3u);
  EXPECT_EQ(image.PresetIndex(), 1u);
  SettingsImage panel;
  panel.SetPanelDefaults();
  for (std::size_t slot = 0; slot < 8; ++slot) {
    EXPECT_TRUE(image.Curve(slot).InUse());
    EXPECT_NE(image.Curve(slot).Name(), panel.Curve(slot).Name()) << slot;
  }
}

TEST_F(SimDeviceTest, ChunksAreStagedAndOnlyACommitStoresThem) {
  const std::uint8_t chunk[3] = {0x11, 0x22, 0x33};
  ASSERT_TRUE(WriteChunk(100, chunk));
  EXPECT_EQ(device.StagedImage().Bytes()[101], 0x22);
  ControlReply reply;
  ASSERT_TRUE(Read(100, 3, &reply));
  EXPECT_NE(reply.bytes[7], 0x22) << "reads show the stored image until the commit";
  const SettingsImage before = device.StoredImage();

  ASSERT_TRUE(Commit());
  SettingsImage expected = before;
  std::copy(std::begin(chunk), std::end(chunk), expected.Bytes().begin() + 100);
  EXPECT_EQ(device.StoredImage(), expected);
  ASSERT_TRUE(Read(100, 3, &reply));
  EXPECT_EQ(reply.bytes[6], 0x11);
  EXPECT_EQ(reply.bytes[8], 0x33);
}

TEST_F(SimDeviceTest, BusyForAWhileAfterACommitAndWritesWaitForIt) {
  ASSERT_TRUE(Commit());
  EXPECT_TRUE(device.Busy());
  EXPECT_NE(BusyWord(), 0);
  const std::uint8_t chunk[1] = {7};
  EXPECT_FALSE(WriteChunk(0, chunk)) << "a new store while one runs";
  EXPECT_TRUE(Read(0, 26)) << "reads are served while busy";
  timing.Advance(300);
  EXPECT_EQ(BusyWord(), 0);
  EXPECT_TRUE(WriteChunk(0, chunk));
}

TEST_F(SimDeviceTest, ToolWriteAndRestoreRoundTrip) {
  SettingsImage image;
  auto transfer = Transfer(image);
  ASSERT_TRUE(transfer.ReadSettings(238));
  image.SetPhonoGain(-120);
  image.SetSerialNumber(4711);
  image.SetRampSpeed(5);
  ASSERT_TRUE(transfer.WriteSettings(238));
  EXPECT_EQ(device.StoredImage(), image);
  EXPECT_EQ(device.Live().gain, -120) << "the device runs what it stored";
  EXPECT_EQ(device.Live().rampSpeed, 5);

  ASSERT_TRUE(transfer.RestoreDefaults(238, false));
  SystemData kept = image.GetSystemData();
  EXPECT_EQ(device.StoredImage(), sim::DeviceDefaults(kept));
  EXPECT_EQ(image, device.StoredImage());
  EXPECT_EQ(image.SerialNumber(), 4711u);
  EXPECT_EQ(image.PhonoGain(), 30);
}

TEST_F(SimDeviceTest, RestoreTakesExactlyTwelveSystemBytesAndMakesTheDeviceBusy) {
  const std::uint8_t system[12] = {0, 6, 3, 7, 0x64, 0, 0, 0, 3, 0, 0, 0};
  EXPECT_FALSE(Live(CMD_RESTORE_DEFAULTS, 0, std::span(system, 11)));
  ASSERT_TRUE(Live(CMD_RESTORE_DEFAULTS, 0, system));
  EXPECT_TRUE(device.Busy());
  SystemData expected;
  std::copy(std::begin(system), std::end(system), expected.bytes.begin());
  EXPECT_EQ(device.StoredImage(), sim::DeviceDefaults(expected));
  EXPECT_EQ(device.StoredImage().DeliveryDay(), 7);
}

TEST_F(SimDeviceTest, RequestsOutsideTheImageOrOfBadSizeFail) {
  EXPECT_TRUE(Read(212, 26));
  EXPECT_FALSE(Read(213, 26)) << "beyond 238";
  EXPECT_TRUE(Read(234, 4));
  EXPECT_FALSE(Read(234, 5));
  EXPECT_FALSE(Read(0, 0));
  EXPECT_FALSE(Read(0, 27));
  EXPECT_FALSE(link->Request(nullptr, CMD_READ_SETTINGS, 0, 4, 1, 0, nullptr)) << "index high";
  const std::uint8_t four[4] = {1, 2, 3, 4};
  EXPECT_FALSE(WriteChunk(235, four));
  EXPECT_FALSE(link->Request(nullptr, CMD_WRITE_SETTINGS, 0, 1, 0, 4, four)) << "commit + data";
  EXPECT_FALSE(link->Request(nullptr, CMD_WRITE_SETTINGS, 0, 2, 0, 4, four)) << "index 2";
  EXPECT_FALSE(link->Request(nullptr, CMD_WRITE_SETTINGS, 4, 1, 0, 0, nullptr)) << "commit value";
  EXPECT_FALSE(link->Request(nullptr, CMD_GET_IDENTITY, 0, 0, 0, 4, four)) << "data not asked";
  EXPECT_FALSE(link->Request(nullptr, 0x42, 0, 0, 0, 0, nullptr)) << "unknown command";
  const std::uint8_t lying[7] = {CMD_GET_BUSY, 2, 0, 0, 0, 0, 0};  // length byte says 2
  EXPECT_FALSE(device.Control(lying, nullptr));
}

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
  ASSERT_TRUE(Transfer(image).WriteSettings(238));
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
