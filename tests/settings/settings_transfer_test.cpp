#include <gtest/gtest.h>

#include "settings/settings_transfer.h"
#include "tests/support/recording_device.h"
#include "tests/support/virtual_timing.h"

namespace {

class SettingsTransferTest : public ::testing::Test {
 protected:
  SettingsTransferTest() {
    // The device image: byte i holds i + 1.
    device.On(CMD_READ_SETTINGS, [](const RecordedFrame& f, std::uint8_t* reply) {
      for (unsigned i = 0; i < (f.Index() & 0xFF); ++i) {
        reply[6 + i] = static_cast<std::uint8_t>(f.Value() + i + 1);
      }
      return true;
    });
  }

  settings::SettingsTransfer Transfer() { return settings::SettingsTransfer(*link, timing, image); }

  std::vector<std::pair<unsigned, unsigned>> Reads() const {
    std::vector<std::pair<unsigned, unsigned>> out;
    for (const auto& f : device.Frames(CMD_READ_SETTINGS)) out.emplace_back(f.Value(), f.Index());
    return out;
  }

  RecordingDevice device;
  std::unique_ptr<CDeviceLink> link = MakeLinkTo(device);
  VirtualTiming timing;
  SettingsImage image;
};

TEST_F(SettingsTransferTest, ReadsInChunksOfTwentySix) {
  const std::vector<std::pair<std::uint16_t, std::vector<std::pair<unsigned, unsigned>>>> cases = {
      {26, {{0, 26}}},
      {27, {{0, 26}, {26, 1}}},
      {238,
       {{0, 26},
        {26, 26},
        {52, 26},
        {78, 26},
        {104, 26},
        {130, 26},
        {156, 26},
        {182, 26},
        {208, 26},
        {234, 4}}},
      {300,
       {{0, 26},
        {26, 26},
        {52, 26},
        {78, 26},
        {104, 26},
        {130, 26},
        {156, 26},
        {182, 26},
        {208, 26},
        {234, 22}}},
  };
  for (const auto& [length, expected] : cases) {
    SCOPED_TRACE(length);
    device.ClearFrames();
    EXPECT_TRUE(Transfer().ReadImage(length));
    EXPECT_EQ(Reads(), expected);
    EXPECT_TRUE(device.Frames(CMD_READ_SETTINGS).front().replyAsked);
  }
  EXPECT_EQ(image.Bytes()[255], 0) << "never past the buffer";
  EXPECT_EQ(image.Bytes()[237], 238);
}

TEST_F(SettingsTransferTest, ReadIsBusyWaitThenChunksAndNothingElse) {
  image.SetPanelDefaults();
  device.On(CMD_READ_SETTINGS, [](const RecordedFrame&, std::uint8_t*) { return true; });
  EXPECT_TRUE(Transfer().ReadImage(52));
  const auto frames = device.Frames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].Command(), CMD_GET_BUSY);
  EXPECT_EQ(frames[1].Command(), CMD_READ_SETTINGS);
  EXPECT_EQ(frames[2].Command(), CMD_READ_SETTINGS);
  EXPECT_EQ(timing.TotalSleptMs(), 200u);
}

TEST_F(SettingsTransferTest, AFailingChunkStopsTheRead) {
  image.Bytes().fill(0xEE);
  int chunk = 0;
  device.On(CMD_READ_SETTINGS, [&](const RecordedFrame& f, std::uint8_t* reply) {
    if (++chunk == 3) return false;
    for (unsigned i = 0; i < (f.Index() & 0xFF); ++i) reply[6 + i] = 0x11;
    return true;
  });
  EXPECT_FALSE(Transfer().ReadImage(238));
  EXPECT_EQ(chunk, 3);
  EXPECT_EQ(image.Bytes()[51], 0x11);
  EXPECT_EQ(image.Bytes()[52], 0xEE);
}

TEST_F(SettingsTransferTest, LengthZeroMovesNoImageBytes) {
  EXPECT_TRUE(Transfer().ReadImage(0));
  EXPECT_EQ(device.Frames(CMD_GET_BUSY).size(), 1u);
  EXPECT_EQ(device.Frames(CMD_READ_SETTINGS).size(), 0u);

  device.ClearFrames();
  Transfer().WriteImage(0);
  EXPECT_TRUE(device.Frames().empty());
}

TEST_F(SettingsTransferTest, WriteSendsChunksThenTheCommit) {
  for (std::size_t i = 0; i < 256; ++i) image.Bytes()[i] = static_cast<std::uint8_t>(i);
  device.FailCommand(CMD_WRITE_SETTINGS);
  EXPECT_FALSE(Transfer().WriteImage(238));
  const auto writes = device.Frames(CMD_WRITE_SETTINGS);
  ASSERT_EQ(writes.size(), 11u) << "a failed chunk does not stop the loop";
  for (std::size_t k = 0; k < 10; ++k) {
    EXPECT_EQ(writes[k].Value(), 26 * k);
    EXPECT_EQ(writes[k].Index(), 0);
    EXPECT_EQ(writes[k].Data().front(), 26 * k);
  }
  EXPECT_EQ(writes[9].Length(), 4);
  EXPECT_EQ(writes[10].bytes, (std::vector<std::uint8_t>{0x8C, 0, 0, 0, 0x01, 0x00}));
  EXPECT_EQ(device.Frames().back().Command(), CMD_GET_BUSY);
}

TEST_F(SettingsTransferTest, RestoreDefaultsCarriesTheSystemData) {
  image.SetPanelDefaults();
  image.SetSerialNumber(12345);
  image.SetDeliveryYear(5);
  image.SetDeliveryMonth(11);
  image.SetDeliveryDay(30);
  const std::vector<std::pair<SystemData, std::vector<std::uint8_t>>> cases = {
      {image.GetSystemData(), {0x01, 0x05, 0x0B, 0x1E, 0x39, 0x30, 0, 0, 0, 0, 0, 0}},
      {SystemData::Fresh(2006, 3, 7),
       {0x00, 0x06, 0x03, 0x07, 0x64, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00}},
  };
  for (const auto& [system, expected] : cases) {
    device.ClearFrames();
    EXPECT_TRUE(Transfer().RestoreDefaults(system));
    const auto frames = device.Frames();
    ASSERT_EQ(frames.size(), 1u) << "the read back is the caller's";
    EXPECT_EQ(frames[0].Command(), CMD_RESTORE_DEFAULTS);
    EXPECT_EQ(frames[0].Data(), expected);
  }
}

}  // namespace
