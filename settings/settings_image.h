#pragma once
// The device's settings and system data as one 256-byte image with a fixed layout.
// Bit-field setters replace only their own bits; bytes the tool does not interpret are carried.

#include <array>
#include <cstdint>
#include <string_view>

#include "settings/eq_curve.h"

// Bytes 0..11 of the image: the part the restore-defaults command carries. Same layout as the
// image's first twelve bytes.
struct SystemData {
  static constexpr std::size_t kSize = 12;

  std::uint8_t systemTag = 0;      // carried, not interpreted
  std::uint8_t deliveryYear = 0;   // year - 2000
  std::uint8_t deliveryMonth = 0;  // from 1 for January
  std::uint8_t deliveryDay = 0;    // of the month, from 1
  std::uint32_t serialNumber = 0;
  std::uint16_t systemFlags = 0;  // bit 0 motorUnitInstalled, bit 1 autoMute, bits 2..15 carried
  std::array<std::uint8_t, 2> reserved{};

  std::array<std::uint8_t, kSize> Encode() const;
  static SystemData Decode(const std::uint8_t* bytes);  // kSize bytes

  // Freshly initialised system data: tag 0, the given delivery date, serial 100, flags 3.
  static SystemData Fresh(int year, int month, int day);

  bool operator==(const SystemData&) const = default;
};

// The eight preset curves the panel's defaults put into slots 0..7.
struct PresetCurve {
  const char* name;
  std::uint16_t t1, t2, t3, t4;
};
extern const std::array<PresetCurve, 8> kPresetCurves;

class SettingsImage {
 public:
  static constexpr std::size_t kSize = 256;
  static constexpr std::size_t kCurveCount = 8;

  // Offsets of the layout.
  static constexpr std::size_t kSystemTag = 0;
  static constexpr std::size_t kDeliveryYear = 1;
  static constexpr std::size_t kDeliveryMonth = 2;
  static constexpr std::size_t kDeliveryDay = 3;
  static constexpr std::size_t kSerialNumber = 4;
  static constexpr std::size_t kSystemFlags = 8;
  static constexpr std::size_t kSystemReserved = 10;
  static constexpr std::size_t kCorrections = 12;  // abs33, rel33, abs45, rel45, abs78, rel78
  static constexpr std::size_t kOutputRate = 24;
  static constexpr std::size_t kPhonoGain = 25;
  static constexpr std::size_t kMotorVoltage = 26;
  static constexpr std::size_t kModeFlags = 28;
  static constexpr std::size_t kCurves = 30;
  static constexpr std::size_t kUserEnd = 238;  // bytes 238..255 are reserved

  enum class Speed { k33 = 0, k45 = 1, k78 = 2 };

  std::array<std::uint8_t, kSize>& Bytes() { return m_bytes; }
  const std::array<std::uint8_t, kSize>& Bytes() const { return m_bytes; }

  std::uint8_t SystemTag() const { return m_bytes[kSystemTag]; }
  void SetSystemTag(std::uint8_t tag) { m_bytes[kSystemTag] = tag; }
  std::uint8_t DeliveryYear() const { return m_bytes[kDeliveryYear]; }  // year - 2000
  void SetDeliveryYear(std::uint8_t y) { m_bytes[kDeliveryYear] = y; }
  std::uint8_t DeliveryMonth() const { return m_bytes[kDeliveryMonth]; }
  void SetDeliveryMonth(std::uint8_t m) { m_bytes[kDeliveryMonth] = m; }
  std::uint8_t DeliveryDay() const { return m_bytes[kDeliveryDay]; }
  void SetDeliveryDay(std::uint8_t d) { m_bytes[kDeliveryDay] = d; }
  std::uint32_t SerialNumber() const;
  void SetSerialNumber(std::uint32_t serial);

  // bit 0 motorUnitInstalled, bit 1 autoMute, bits 2..15 carried
  std::uint16_t SystemFlags() const;
  void SetSystemFlags(std::uint16_t flags);
  bool MotorUnitInstalled() const { return (SystemFlags() & 1) != 0; }
  void SetMotorUnitInstalled(bool on);
  bool AutoMute() const { return (SystemFlags() & 2) != 0; }
  void SetAutoMute(bool on);

  // Speed corrections in 0.1 % steps (ranges: settings_fields.cpp).
  std::int16_t AbsoluteCorrection(Speed s) const;
  void SetAbsoluteCorrection(Speed s, std::int16_t value);
  std::int16_t RelativeCorrection(Speed s) const;
  void SetRelativeCorrection(Speed s, std::int16_t value);
  std::int16_t Abs33() const { return AbsoluteCorrection(Speed::k33); }
  std::int16_t Rel33() const { return RelativeCorrection(Speed::k33); }
  std::int16_t Abs45() const { return AbsoluteCorrection(Speed::k45); }
  std::int16_t Rel45() const { return RelativeCorrection(Speed::k45); }
  std::int16_t Abs78() const { return AbsoluteCorrection(Speed::k78); }
  std::int16_t Rel78() const { return RelativeCorrection(Speed::k78); }

  // 1 = 48 kHz, 2 = 96 kHz, 3 = 192 kHz
  std::uint8_t OutputRate() const { return m_bytes[kOutputRate]; }
  void SetOutputRate(std::uint8_t code) { m_bytes[kOutputRate] = code; }
  // 0.1 dB steps
  std::int8_t PhonoGain() const { return static_cast<std::int8_t>(m_bytes[kPhonoGain]); }
  void SetPhonoGain(std::int8_t gain) { m_bytes[kPhonoGain] = static_cast<std::uint8_t>(gain); }
  // 0.1 V steps
  std::uint16_t MotorVoltage() const;
  void SetMotorVoltage(std::uint16_t voltage);

  // bit 0 polarityInverted, bits 1..3 presetIndex, bits 4..6 rampSpeed, bits 7..15 carried
  std::uint16_t ModeFlags() const;
  void SetModeFlags(std::uint16_t flags);
  bool PolarityInverted() const { return (ModeFlags() & 1) != 0; }
  void SetPolarityInverted(bool inverted);
  unsigned PresetIndex() const { return (ModeFlags() >> 1) & 7; }
  void SetPresetIndex(unsigned index);
  unsigned RampSpeed() const { return (ModeFlags() >> 4) & 7; }
  void SetRampSpeed(unsigned ramp);

  EqCurve Curve(std::size_t slot) const;
  void SetCurve(std::size_t slot, const EqCurve& curve);

  SystemData GetSystemData() const;
  void SetSystemData(const SystemData& data);

  // Puts a curve into the first slot not in use; does nothing when all eight are in use.
  void AddCurve(std::uint16_t t1, std::uint16_t t2, std::uint16_t t3, std::uint16_t t4,
                std::string_view name, unsigned mode);
  // The panel's defaults; sends nothing.
  void SetPanelDefaults();

  bool operator==(const SettingsImage&) const = default;

 private:
  std::array<std::uint8_t, kSize> m_bytes{};
};
