#include <gtest/gtest.h>

#include <functional>
#include <vector>

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

// Each field written into an image of other bytes: exactly its own bytes change, to the
// layout's little-endian values, and the getter reads the value back.
TEST(SettingsImage, FieldsRoundTripAtTheirOffsets) {
  using Speed = SettingsImage::Speed;
  struct Case {
    const char* what;
    std::function<void(SettingsImage&)> set;
    std::function<long long(const SettingsImage&)> get;
    long long value;
    std::size_t offset;
    std::vector<std::uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {"system tag",
       [](auto& i) { i.SetSystemTag(7); },
       [](auto& i) { return i.SystemTag(); },
       7,
       0,
       {7}},
      {"delivery year",
       [](auto& i) { i.SetDeliveryYear(26); },
       [](auto& i) { return i.DeliveryYear(); },
       26,
       1,
       {26}},
      {"delivery month",
       [](auto& i) { i.SetDeliveryMonth(12); },
       [](auto& i) { return i.DeliveryMonth(); },
       12,
       2,
       {12}},
      {"delivery day",
       [](auto& i) { i.SetDeliveryDay(31); },
       [](auto& i) { return i.DeliveryDay(); },
       31,
       3,
       {31}},
      {"serial number",
       [](auto& i) { i.SetSerialNumber(0x12345678); },
       [](auto& i) { return i.SerialNumber(); },
       0x12345678,
       4,
       {0x78, 0x56, 0x34, 0x12}},
      {"system flags",
       [](auto& i) { i.SetSystemFlags(0xBEEF); },
       [](auto& i) { return i.SystemFlags(); },
       0xBEEF,
       8,
       {0xEF, 0xBE}},
      {"absolute correction 33",
       [](auto& i) { i.SetAbsoluteCorrection(Speed::k33, 1); },
       [](auto& i) { return i.Abs33(); },
       1,
       12,
       {0x01, 0x00}},
      {"relative correction 33",
       [](auto& i) { i.SetRelativeCorrection(Speed::k33, -1); },
       [](auto& i) { return i.Rel33(); },
       -1,
       14,
       {0xFF, 0xFF}},
      {"absolute correction 45",
       [](auto& i) { i.SetAbsoluteCorrection(Speed::k45, -500); },
       [](auto& i) { return i.Abs45(); },
       -500,
       16,
       {0x0C, 0xFE}},
      {"relative correction 45",
       [](auto& i) { i.SetRelativeCorrection(Speed::k45, 250); },
       [](auto& i) { return i.Rel45(); },
       250,
       18,
       {0xFA, 0x00}},
      {"absolute correction 78",
       [](auto& i) { i.SetAbsoluteCorrection(Speed::k78, -32768); },
       [](auto& i) { return i.Abs78(); },
       -32768,
       20,
       {0x00, 0x80}},
      {"relative correction 78",
       [](auto& i) { i.SetRelativeCorrection(Speed::k78, 500); },
       [](auto& i) { return i.Rel78(); },
       500,
       22,
       {0xF4, 0x01}},
      {"output rate",
       [](auto& i) { i.SetOutputRate(3); },
       [](auto& i) { return i.OutputRate(); },
       3,
       24,
       {3}},
      {"gain",
       [](auto& i) { i.SetPhonoGain(-120); },
       [](auto& i) { return i.PhonoGain(); },
       -120,
       25,
       {0x88}},
      {"motor voltage",
       [](auto& i) { i.SetMotorVoltage(155); },
       [](auto& i) { return i.MotorVoltage(); },
       155,
       26,
       {155, 0}},
      {"mode flags",
       [](auto& i) { i.SetModeFlags(0x1234); },
       [](auto& i) { return i.ModeFlags(); },
       0x1234,
       28,
       {0x34, 0x12}},
      {"a curve's t3 in slot 2",
       [](auto& i) {
         EqCurve curve = i.Curve(2);
         curve.SetT(2, 7950);
         i.SetCurve(2, curve);
       },
       [](auto& i) { return i.Curve(2).T(2); },
       7950,
       30 + 2 * 26 + 6,
       {0x0E, 0x1F}},
      {"a curve's flags in slot 7",
       [](auto& i) {
         EqCurve curve = i.Curve(7);
         curve.SetCurveFlags(0x0105);
         i.SetCurve(7, curve);
       },
       [](auto& i) { return i.Curve(7).CurveFlags(); },
       0x0105,
       30 + 7 * 26,
       {0x05, 0x01}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SettingsImage image;
    for (std::size_t i = 0; i < SettingsImage::kSize; ++i) {
      image.Bytes()[i] = static_cast<std::uint8_t>(0xA0 + i % 7);
    }
    const SettingsImage before = image;
    c.set(image);
    EXPECT_EQ(c.get(image), c.value);
    for (std::size_t i = 0; i < SettingsImage::kSize; ++i) {
      const bool own = i >= c.offset && i < c.offset + c.bytes.size();
      EXPECT_EQ(image.Bytes()[i], own ? c.bytes[i - c.offset] : before.Bytes()[i]) << "byte " << i;
    }
  }
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
