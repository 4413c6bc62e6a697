#include <gtest/gtest.h>

#include "settings/settings_image.h"

namespace {

TEST(SettingsImage, PanelDefaultsAreByteExact) {
  SettingsImage image;
  image.Bytes().fill(0xAA);
  image.SetPanelDefaults();
  const auto& b = image.Bytes();
  EXPECT_EQ(b[0], 0x01);
  for (int i = 1; i <= 23; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(b[24], 0x02);
  EXPECT_EQ(b[25], 0x00);
  EXPECT_EQ(b[26], 0xF0);
  EXPECT_EQ(b[27], 0x00);
  EXPECT_EQ(b[28], 0x20);
  EXPECT_EQ(b[29], 0x00);
  const std::uint8_t firstSlot[26] = {0x01, 0x00, 0x6C, 0x0C, 0x3E, 0x01, 0x4B, 0x00, 0x0E,
                                      0x1F, 'R',  'I',  'A',  'A',  ' ',  '(',  'I',  'E',
                                      'C',  ')',  0,    0,    0,    0,    0,    0};
  for (int i = 0; i < 26; ++i) EXPECT_EQ(b[30 + i], firstSlot[i]) << i;
  for (std::size_t slot = 0; slot < 8; ++slot) {
    const EqCurve curve = image.Curve(slot);
    EXPECT_EQ(curve.CurveFlags(), 0x0001);
    EXPECT_EQ(curve.Name(), kPresetCurves[slot].name);
    EXPECT_EQ(curve.T(2), kPresetCurves[slot].t3);
  }
  for (int i = 238; i < 256; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(image.PresetIndex(), 0u);
  EXPECT_EQ(image.RampSpeed(), 2u);
}

TEST(SettingsImage, AddCurveFillsTheFirstFreeSlotOnly) {
  SettingsImage image;
  image.SetPanelDefaults();
  const SettingsImage full = image;
  image.AddCurve(1, 2, 3, 4, "extra", 5);
  EXPECT_EQ(image, full) << "eight slots in use: nothing changes";

  EqCurve freed = image.Curve(3);
  freed.SetCurveFlags(0xAB00);  // not in use, carried high byte
  image.SetCurve(3, freed);
  image.AddCurve(1, 2, 3, 4, "A name longer than fifteen", 0x85);
  const EqCurve added = image.Curve(3);
  EXPECT_EQ(added.CurveFlags(), 0xAB00 | (0x05 << 1) | 1);
  EXPECT_EQ(added.Name(), "A name longer t");
  EXPECT_EQ(added.T(3), 4);
  EXPECT_EQ(image.Curve(4), full.Curve(4));
}

TEST(SettingsImage, BitFieldSettersKeepTheirNeighbours) {
  SettingsImage image;
  image.SetModeFlags(0xFF81);
  image.SetPolarityInverted(false);
  image.SetPresetIndex(5);
  image.SetRampSpeed(6);
  EXPECT_EQ(image.ModeFlags() & 0xFF80, 0xFF80);
  EXPECT_EQ(image.PresetIndex(), 5u);
  EXPECT_EQ(image.RampSpeed(), 6u);
  EXPECT_FALSE(image.PolarityInverted());

  image.SetModeFlags(0x0070);  // ramp 7 as read from a device
  image.SetPolarityInverted(true);
  EXPECT_EQ(image.RampSpeed(), 7u) << "a ramp value without a list entry stays";

  image.SetSystemFlags(0xFFFC);
  image.SetMotorUnitInstalled(true);
  image.SetAutoMute(false);
  EXPECT_EQ(image.SystemFlags(), 0xFFFD);

  EqCurve curve;
  curve.SetCurveFlags(0xFF01);
  curve.SetCurveMode(0x7F);
  curve.SetInUse(false);
  EXPECT_EQ(curve.CurveFlags(), 0xFFFE);
}

TEST(SettingsImage, FieldsSitAtTheirOffsets) {
  SettingsImage image;
  image.SetSerialNumber(0x12345678);
  image.SetAbsoluteCorrection(SettingsImage::Speed::k45, -500);
  image.SetRelativeCorrection(SettingsImage::Speed::k78, 500);
  image.SetPhonoGain(-120);
  image.SetMotorVoltage(155);
  const auto& b = image.Bytes();
  EXPECT_EQ(b[4], 0x78);
  EXPECT_EQ(b[7], 0x12);
  EXPECT_EQ(b[16], 0x0C);
  EXPECT_EQ(b[17], 0xFE);
  EXPECT_EQ(b[22], 0xF4);
  EXPECT_EQ(b[23], 0x01);
  EXPECT_EQ(b[25], 0x88);
  EXPECT_EQ(b[26], 155);
  EXPECT_EQ(image.Abs45(), -500);
  EXPECT_EQ(image.Rel78(), 500);
  EXPECT_EQ(image.PhonoGain(), -120);
}

TEST(EqCurve, NamesNeverReadPastTheirField) {
  EqCurve curve;
  for (std::size_t i = 0; i < 16; ++i) curve.bytes[10 + i] = static_cast<std::uint8_t>('a' + i);
  EXPECT_EQ(curve.Name(), "abcdefghijklmnop");
  curve.SetName("xy");
  EXPECT_EQ(curve.Name(), "xy");
  EXPECT_EQ(curve.bytes[25], 'p') << "the 16th byte is not written";
}

TEST(SystemData, FreshBlockIsByteExact) {
  const SystemData fresh = SystemData::Fresh(2006, 3, 7);
  const std::array<std::uint8_t, 12> expected = {0x00, 0x06, 0x03, 0x07, 0x64, 0x00,
                                                 0x00, 0x00, 0x03, 0x00, 0x00, 0x00};
  EXPECT_EQ(fresh.Encode(), expected);
}

}  // namespace
