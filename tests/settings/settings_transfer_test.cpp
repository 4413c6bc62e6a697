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

  settings::SettingsTransfer Transfer(bool service = false, bool answer = false) {
    settings::TransferHooks hooks;
    hooks.fillControls = [this] { ++fills; };
    hooks.gatherControls = [this] { ++gathers; };
    hooks.askInitSystemData = [this, answer] {
      ++questions;
      return answer;
    };
    hooks.today = [] { return settings::LocalDate{2006, 3, 7}; };
    (void)service;
    return settings::SettingsTransfer(*link, timing, image, hooks);
  }

  std::vector<std::pair<unsigned, unsigned>> Reads() const {
    std::vector<std::pair<unsigned, unsigned>> out;
    for (const auto& f : device.Frames(CMD_READ_SETTINGS)) out.emplace_back(f.Value(), f.Index());
    return out;
  }

  RecordingDevice device;
  std::unique_ptr<CDeviceLink> link = MakeLinkTo(device);
  VirtualTiming timing;
  SettingsImage image;
  int fills = 0;
  int gathers = 0;
  int questions = 0;
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
    EXPECT_TRUE(Transfer().ReadSettings(length));
    EXPECT_EQ(Reads(), expected);
    EXPECT_TRUE(device.Frames(CMD_READ_SETTINGS).front().replyAsked);
  }
  EXPECT_EQ(image.Bytes()[255], 0) << "never past the buffer";
  EXPECT_EQ(image.Bytes()[237], 238);
}

TEST_F(SettingsTransferTest, ReadOrderIsBusyWaitChunksFillThenEqualization) {
  image.SetPanelDefaults();
  device.On(CMD_READ_SETTINGS, [](const RecordedFrame&, std::uint8_t*) { return true; });
  // An image of zeros selects slot 0, whose curve is zero too.
  EXPECT_TRUE(Transfer().ReadSettings(52));
  const auto frames = device.Frames();
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(frames[0].Command(), CMD_GET_BUSY);
  EXPECT_EQ(frames[1].Command(), CMD_READ_SETTINGS);
  EXPECT_EQ(frames[2].Command(), CMD_READ_SETTINGS);
  EXPECT_EQ(frames[3].Command(), CMD_SET_EQUALIZATION);
  EXPECT_EQ(fills, 1);
  EXPECT_EQ(timing.TotalSleptMs(), 200u);
}

TEST_F(SettingsTransferTest, AFailingChunkStopsTheReadButNotTheFill) {
  image.Bytes().fill(0xEE);
  int chunk = 0;
  device.On(CMD_READ_SETTINGS, [&](const RecordedFrame& f, std::uint8_t* reply) {
    if (++chunk == 3) return false;
    for (unsigned i = 0; i < (f.Index() & 0xFF); ++i) reply[6 + i] = 0x11;
    return true;
  });
  EXPECT_FALSE(Transfer().ReadSettings(238));
  EXPECT_EQ(chunk, 3);
  EXPECT_EQ(image.Bytes()[51], 0x11);
  EXPECT_EQ(image.Bytes()[52], 0xEE);
  EXPECT_EQ(fills, 1);
  EXPECT_EQ(device.Frames(CMD_SET_EQUALIZATION).size(), 1u);
}

TEST_F(SettingsTransferTest, LengthZeroMovesNoImageBytes) {
  EXPECT_TRUE(Transfer().ReadSettings(0));
  EXPECT_EQ(device.Frames(CMD_GET_BUSY).size(), 1u);
  EXPECT_EQ(device.Frames(CMD_READ_SETTINGS).size(), 0u);
  EXPECT_EQ(device.Frames(CMD_SET_EQUALIZATION).size(), 1u);
  EXPECT_EQ(fills, 1);

  device.ClearFrames();
  Transfer().WriteSettings(0);
  Transfer(true, true).RestoreDefaults(0, true);
  EXPECT_TRUE(device.Frames().empty());
  EXPECT_EQ(gathers, 0);
  EXPECT_EQ(questions, 0);
}

TEST_F(SettingsTransferTest, WriteSendsChunksThenTheCommit) {
  for (std::size_t i = 0; i < 256; ++i) image.Bytes()[i] = static_cast<std::uint8_t>(i);
  device.FailCommand(CMD_WRITE_SETTINGS);
  EXPECT_FALSE(Transfer().WriteSettings(238));
  EXPECT_EQ(gathers, 1);
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
  const SystemData held = image.GetSystemData();

  struct Case {
    const char* what;
    bool service;
    bool answer;
    std::array<std::uint8_t, 12> expected;
    int questions;
  };
  const std::vector<Case> cases = {
      {"normal mode", false, true, held.Encode(), 0},
      {"service mode, No", true, false, held.Encode(), 1},
      {"service mode, Yes on 7 March 2006",
       true,
       true,
       {0x00, 0x06, 0x03, 0x07, 0x64, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00},
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    device.ClearFrames();
    questions = 0;
    device.On(CMD_READ_SETTINGS, [](const RecordedFrame&, std::uint8_t*) { return false; });
    EXPECT_TRUE(Transfer(c.service, c.answer).RestoreDefaults(238, c.service));
    const auto restores = device.Frames(CMD_RESTORE_DEFAULTS);
    ASSERT_EQ(restores.size(), 1u);
    const auto data = restores[0].Data();
    EXPECT_EQ(std::vector<std::uint8_t>(c.expected.begin(), c.expected.end()), data);
    EXPECT_EQ(questions, c.questions);
    EXPECT_EQ(device.Frames(CMD_READ_SETTINGS).size(), 1u) << "the restore ends with a read";
  }
}

}  // namespace
