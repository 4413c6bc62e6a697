#include "settings/settings_image.h"

#include <algorithm>

#include "device/wire.h"

const std::array<PresetCurve, 8> kPresetCurves = {{
    {"RIAA (IEC)", 3180, 318, 75, 7950},
    {"RIAA", 3180, 318, 75, 0},
    {"TELDEC", 3180, 318, 50, 0},
    {"AES", 0, 398, 64, 0},
    {"Columbia LP M33", 1590, 318, 100, 0},
    {"NAB", 0, 318, 100, 0},
    {"NARTB", 2720, 318, 100, 0},
    {"London M33&M45", 1590, 318, 57, 0},
}};

std::array<std::uint8_t, SystemData::kSize> SystemData::Encode() const {
  std::array<std::uint8_t, kSize> bytes{};
  bytes[SettingsImage::kSystemTag] = systemTag;
  bytes[SettingsImage::kDeliveryYear] = deliveryYear;
  bytes[SettingsImage::kDeliveryMonth] = deliveryMonth;
  bytes[SettingsImage::kDeliveryDay] = deliveryDay;
  wire::PutU32(&bytes[SettingsImage::kSerialNumber], serialNumber);
  wire::PutU16(&bytes[SettingsImage::kSystemFlags], systemFlags);
  std::copy(reserved.begin(), reserved.end(), &bytes[SettingsImage::kSystemReserved]);
  return bytes;
}

SystemData SystemData::Decode(const std::uint8_t* bytes) {
  SystemData data;
  data.systemTag = bytes[SettingsImage::kSystemTag];
  data.deliveryYear = bytes[SettingsImage::kDeliveryYear];
  data.deliveryMonth = bytes[SettingsImage::kDeliveryMonth];
  data.deliveryDay = bytes[SettingsImage::kDeliveryDay];
  data.serialNumber = wire::GetU32(&bytes[SettingsImage::kSerialNumber]);
  data.systemFlags = wire::GetU16(&bytes[SettingsImage::kSystemFlags]);
  std::copy_n(&bytes[SettingsImage::kSystemReserved], data.reserved.size(), data.reserved.begin());
  return data;
}

SystemData SystemData::Fresh(int year, int month, int day) {
  SystemData data;
  data.deliveryYear = static_cast<std::uint8_t>(year - 2000);
  data.deliveryMonth = static_cast<std::uint8_t>(month);
  data.deliveryDay = static_cast<std::uint8_t>(day);
  data.serialNumber = 100;
  data.systemFlags = 3;  // motor control unit fitted, automatic muting on
  return data;
}

std::uint32_t SettingsImage::SerialNumber() const {
  return wire::GetU32(&m_bytes[kSerialNumber]);
}
void SettingsImage::SetSerialNumber(std::uint32_t serial) {
  wire::PutU32(&m_bytes[kSerialNumber], serial);
}

std::uint16_t SettingsImage::SystemFlags() const {
  return wire::GetU16(&m_bytes[kSystemFlags]);
}
void SettingsImage::SetSystemFlags(std::uint16_t flags) {
  wire::PutU16(&m_bytes[kSystemFlags], flags);
}

void SettingsImage::SetMotorUnitInstalled(bool on) {
  SetSystemFlags(static_cast<std::uint16_t>((SystemFlags() & ~1u) | (on ? 1u : 0u)));
}

void SettingsImage::SetAutoMute(bool on) {
  SetSystemFlags(static_cast<std::uint16_t>((SystemFlags() & ~2u) | (on ? 2u : 0u)));
}

std::int16_t SettingsImage::AbsoluteCorrection(Speed s) const {
  return wire::GetS16(&m_bytes[kCorrections + 4 * static_cast<std::size_t>(s)]);
}
void SettingsImage::SetAbsoluteCorrection(Speed s, std::int16_t value) {
  wire::PutU16(&m_bytes[kCorrections + 4 * static_cast<std::size_t>(s)],
               static_cast<std::uint16_t>(value));
}
std::int16_t SettingsImage::RelativeCorrection(Speed s) const {
  return wire::GetS16(&m_bytes[kCorrections + 4 * static_cast<std::size_t>(s) + 2]);
}
void SettingsImage::SetRelativeCorrection(Speed s, std::int16_t value) {
  wire::PutU16(&m_bytes[kCorrections + 4 * static_cast<std::size_t>(s) + 2],
               static_cast<std::uint16_t>(value));
}

std::uint16_t SettingsImage::MotorVoltage() const {
  return wire::GetU16(&m_bytes[kMotorVoltage]);
}
void SettingsImage::SetMotorVoltage(std::uint16_t voltage) {
  wire::PutU16(&m_bytes[kMotorVoltage], voltage);
}

std::uint16_t SettingsImage::ModeFlags() const {
  return wire::GetU16(&m_bytes[kModeFlags]);
}
void SettingsImage::SetModeFlags(std::uint16_t flags) {
  wire::PutU16(&m_bytes[kModeFlags], flags);
}

void SettingsImage::SetPolarityInverted(bool inverted) {
  SetModeFlags(static_cast<std::uint16_t>((ModeFlags() & ~1u) | (inverted ? 1u : 0u)));
}

void SettingsImage::SetPresetIndex(unsigned index) {
  SetModeFlags(static_cast<std::uint16_t>((ModeFlags() & ~0x000Eu) | ((index & 7u) << 1)));
}

void SettingsImage::SetRampSpeed(unsigned ramp) {
  SetModeFlags(static_cast<std::uint16_t>((ModeFlags() & ~0x0070u) | ((ramp & 7u) << 4)));
}

EqCurve SettingsImage::Curve(std::size_t slot) const {
  EqCurve curve;
  std::copy_n(&m_bytes[kCurves + EqCurve::kSize * slot], EqCurve::kSize, curve.bytes.begin());
  return curve;
}

void SettingsImage::SetCurve(std::size_t slot, const EqCurve& curve) {
  std::copy(curve.bytes.begin(), curve.bytes.end(), &m_bytes[kCurves + EqCurve::kSize * slot]);
}

SystemData SettingsImage::GetSystemData() const {
  return SystemData::Decode(m_bytes.data());
}

void SettingsImage::SetSystemData(const SystemData& data) {
  const auto bytes = data.Encode();
  std::copy(bytes.begin(), bytes.end(), m_bytes.begin());
}

void SettingsImage::AddCurve(std::uint16_t t1, std::uint16_t t2, std::uint16_t t3, std::uint16_t t4,
                             std::string_view name, unsigned mode) {
  for (std::size_t slot = 0; slot < kCurveCount; ++slot) {
    EqCurve curve = Curve(slot);
    if (curve.InUse()) continue;
    curve.SetT(0, t1);
    curve.SetT(1, t2);
    curve.SetT(2, t3);
    curve.SetT(3, t4);
    curve.SetCurveFlags(
        static_cast<std::uint16_t>((curve.CurveFlags() & 0xFF00u) | ((mode & 0x7Fu) << 1) | 1u));
    curve.SetName(name);
    SetCurve(slot, curve);
    return;
  }
}

void SettingsImage::SetPanelDefaults() {
  m_bytes.fill(0);
  SetSystemTag(1);
  SetPhonoGain(0);
  SetMotorVoltage(240);
  SetOutputRate(2);
  SetModeFlags(0x0020);
  for (const PresetCurve& p : kPresetCurves) AddCurve(p.t1, p.t2, p.t3, p.t4, p.name, 0);
}
