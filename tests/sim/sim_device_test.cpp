// SimDevice's identity and settings commands, driven by the tool's own settings transfer.

#include <gtest/gtest.h>

#include "sim/device_defaults.h"
#include "tests/sim/sim_device_fixture.h"

namespace {

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
  ASSERT_TRUE(Transfer(image).ReadImage(238));
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
  ASSERT_TRUE(transfer.ReadImage(238));
  image.SetPhonoGain(-120);
  image.SetSerialNumber(4711);
  image.SetRampSpeed(5);
  ASSERT_TRUE(transfer.WriteImage(238));
  EXPECT_EQ(device.StoredImage(), image);
  EXPECT_EQ(device.Live().gain, -120) << "the device runs what it stored";
  EXPECT_EQ(device.Live().rampSpeed, 5);

  const SystemData kept = image.GetSystemData();
  ASSERT_TRUE(transfer.RestoreDefaults(kept));
  ASSERT_TRUE(transfer.ReadImage(238));
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
  EXPECT_EQ(device.StoredImage(), sim::DeviceDefaults(SystemData::Decode(system)));
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

}  // namespace
