#include "settings/settings_fields.h"

#include <array>
#include <cstdio>
#include <cstdlib>

namespace settings {

namespace {

using Image = SettingsImage;
using Speed = SettingsImage::Speed;
using K = FieldKind;
using F = FieldFamily;

constexpr std::string_view kInstalledNames[] = {"not installed", "installed"};
constexpr std::string_view kOffOn[] = {"off", "on"};
constexpr std::string_view kPolarityNames[] = {"normal", "inverted"};
constexpr std::string_view kRateNames[] = {"48 kHz/24 bit", "96 kHz/24 bit", "192 kHz/24 bit"};
// 7 fits the bits but the list has no entry for it.
constexpr std::string_view kRampNames[] = {"Slowest (0.5x)", "Slow (0.67x)",  "Normal",
                                           "Fast (1.5x)",    "Faster (2.0x)", "Fastest (4.0x)",
                                           "No Ramping"};

constexpr std::string_view kSpeedNames[] = {"33", "45", "78"};
constexpr std::size_t kSpeedCount = std::size(kSpeedNames);

Speed SpeedOf(std::size_t index) {
  return static_cast<Speed>(index);
}

// Reads and writes a field of the curve in `slot`.
template <typename Read>
long long CurveGet(const Image& i, std::size_t slot, Read read) {
  return static_cast<long long>(read(i.Curve(slot)));
}
template <typename Write>
void CurveSet(Image& i, std::size_t slot, Write write) {
  EqCurve c = i.Curve(slot);
  write(c);
  i.SetCurve(slot, c);
}

// The accessors of the rows: index is the speed or curve slot.
template <int T>
constexpr auto kGetT = [](const Image& i, std::size_t s) {
  return CurveGet(i, s, [](const EqCurve& c) { return c.T(T); });
};
template <int T>
constexpr auto kSetT = [](Image& i, std::size_t s, long long v) {
  CurveSet(i, s, [v](EqCurve& c) { c.SetT(T, static_cast<std::uint16_t>(v)); });
};

// clang-format off
constexpr Field kTable[] = {
// key                                    kind       family      unit   scale range (steps)   the bytes hold    value names
{"serial_number",                         K::kNumber, F::kSingle, "",    1,    0, 0xFFFFFFFFll, 0, 0xFFFFFFFFll, {},
  [](const Image& i, std::size_t) -> long long { return i.SerialNumber(); },
  [](Image& i, std::size_t, long long v) { i.SetSerialNumber(static_cast<std::uint32_t>(v)); }},
{"delivery_date",                         K::kDate,   F::kSingle, "",    1,    0, 0xFFFFFF,     0, 0xFFFFFF,     {},
  [](const Image& i, std::size_t) { return PackDate(i.DeliveryYear(), i.DeliveryMonth(), i.DeliveryDay()); },
  [](Image& i, std::size_t, long long v) {
    i.SetDeliveryYear(static_cast<std::uint8_t>(v >> 16));
    i.SetDeliveryMonth(static_cast<std::uint8_t>(v >> 8));
    i.SetDeliveryDay(static_cast<std::uint8_t>(v));
  }},
{"system_tag",                            K::kNumber, F::kSingle, "",    1,    0, 255,          0, 255,          {},
  [](const Image& i, std::size_t) -> long long { return i.SystemTag(); },
  [](Image& i, std::size_t, long long v) { i.SetSystemTag(static_cast<std::uint8_t>(v)); }},
{"motor_control_unit",                    K::kBool,   F::kSingle, "",    1,    0, 1,            0, 1,            kInstalledNames,
  [](const Image& i, std::size_t) -> long long { return i.MotorUnitInstalled() ? 1 : 0; },
  [](Image& i, std::size_t, long long v) { i.SetMotorUnitInstalled(v != 0); }},
{"auto_mute",                             K::kBool,   F::kSingle, "",    1,    0, 1,            0, 1,            kOffOn,
  [](const Image& i, std::size_t) -> long long { return i.AutoMute() ? 1 : 0; },
  [](Image& i, std::size_t, long long v) { i.SetAutoMute(v != 0); }},
{"gain_db",                               K::kNumber, F::kSingle, "dB",  10,   -120, 120,       -128, 127,       {},
  [](const Image& i, std::size_t) -> long long { return i.PhonoGain(); },
  [](Image& i, std::size_t, long long v) { i.SetPhonoGain(static_cast<std::int8_t>(v)); }},
{"polarity_inverted",                     K::kBool,   F::kSingle, "",    1,    0, 1,            0, 1,            kPolarityNames,
  [](const Image& i, std::size_t) -> long long { return i.PolarityInverted() ? 1 : 0; },
  [](Image& i, std::size_t, long long v) { i.SetPolarityInverted(v != 0); }},
{"output_rate_khz",                       K::kRate,   F::kSingle, "kHz", 1,    1, 3,            0, 255,          kRateNames,
  [](const Image& i, std::size_t) -> long long { return i.OutputRate(); },
  [](Image& i, std::size_t, long long v) { i.SetOutputRate(static_cast<std::uint8_t>(v)); }},
{"motor_voltage_v",                       K::kNumber, F::kSingle, "V",   10,   60, 240,         0, 65535,        {},
  [](const Image& i, std::size_t) -> long long { return i.MotorVoltage(); },
  [](Image& i, std::size_t, long long v) { i.SetMotorVoltage(static_cast<std::uint16_t>(v)); }},
{"ramp_speed",                            K::kNumber, F::kSingle, "",    1,    0, 6,            0, 7,            kRampNames,
  [](const Image& i, std::size_t) -> long long { return i.RampSpeed(); },
  [](Image& i, std::size_t, long long v) { i.SetRampSpeed(static_cast<unsigned>(v)); }},
{"preset_index",                          K::kNumber, F::kSingle, "",    1,    0, 7,            0, 7,            {},
  [](const Image& i, std::size_t) -> long long { return i.PresetIndex(); },
  [](Image& i, std::size_t, long long v) { i.SetPresetIndex(static_cast<unsigned>(v)); }},
{"speed_corrections.{}.absolute_percent", K::kNumber, F::kSpeed,  "%",   10,   -500, 500,       -32768, 32767,   {},
  [](const Image& i, std::size_t s) -> long long { return i.AbsoluteCorrection(SpeedOf(s)); },
  [](Image& i, std::size_t s, long long v) { i.SetAbsoluteCorrection(SpeedOf(s), static_cast<std::int16_t>(v)); }},
{"speed_corrections.{}.relative_percent", K::kNumber, F::kSpeed,  "%",   10,   -500, 500,       -32768, 32767,   {},
  [](const Image& i, std::size_t s) -> long long { return i.RelativeCorrection(SpeedOf(s)); },
  [](Image& i, std::size_t s, long long v) { i.SetRelativeCorrection(SpeedOf(s), static_cast<std::int16_t>(v)); }},
{"curves.{}.name",                        K::kName,   F::kCurve,  "",    1,    0, 0,            0, 0,            {},
  nullptr, nullptr},  // text: the document reads and writes it
{"curves.{}.in_use",                      K::kBool,   F::kCurve,  "",    1,    0, 1,            0, 1,            {},
  [](const Image& i, std::size_t s) { return CurveGet(i, s, [](const EqCurve& c) { return c.InUse() ? 1 : 0; }); },
  [](Image& i, std::size_t s, long long v) { CurveSet(i, s, [v](EqCurve& c) { c.SetInUse(v != 0); }); }},
{"curves.{}.mode",                        K::kNumber, F::kCurve,  "",    1,    0, 127,          0, 127,          {},
  [](const Image& i, std::size_t s) { return CurveGet(i, s, [](const EqCurve& c) { return c.CurveMode(); }); },
  [](Image& i, std::size_t s, long long v) { CurveSet(i, s, [v](EqCurve& c) { c.SetCurveMode(static_cast<unsigned>(v)); }); }},
{"curves.{}.t1_us",                       K::kNumber, F::kCurve,  "us",  1,    0, 65535,        0, 65535,        {}, kGetT<0>, kSetT<0>},
{"curves.{}.t2_us",                       K::kNumber, F::kCurve,  "us",  1,    0, 65535,        0, 65535,        {}, kGetT<1>, kSetT<1>},
{"curves.{}.t3_us",                       K::kNumber, F::kCurve,  "us",  1,    0, 65535,        0, 65535,        {}, kGetT<2>, kSetT<2>},
{"curves.{}.t4_us",                       K::kNumber, F::kCurve,  "us",  1,    0, 65535,        0, 65535,        {}, kGetT<3>, kSetT<3>},
};
// clang-format on

constexpr const Field& Row(std::string_view key) {
  for (const Field& f : kTable) {
    if (f.key == key) return f;
  }
  std::abort();  // a row named in this file is missing
}

std::size_t FamilySize(FieldFamily family) {
  switch (family) {
    case F::kSpeed:
      return kSpeedCount;
    case F::kCurve:
      return SettingsImage::kCurveCount;
    default:
      return 1;
  }
}

std::string IndexName(FieldFamily family, std::size_t index) {
  return family == F::kSpeed ? std::string(kSpeedNames[index]) : std::to_string(index);
}

std::vector<BoundField> Bind() {
  std::vector<BoundField> bound;
  // Consecutive rows of one family repeat together: all of speed 33, then all of 45, ...
  for (std::size_t first = 0; first < std::size(kTable);) {
    const FieldFamily family = kTable[first].family;
    std::size_t end = first + 1;
    while (end < std::size(kTable) && kTable[end].family == family && family != F::kSingle) ++end;
    for (std::size_t index = 0; index < FamilySize(family); ++index) {
      for (std::size_t row = first; row < end; ++row) {
        std::string key(kTable[row].key);
        if (const auto at = key.find("{}"); at != std::string::npos)
          key.replace(at, 2, IndexName(family, index));
        bound.push_back({&kTable[row], index, std::move(key)});
      }
    }
    first = end;
  }
  return bound;
}

bool LeapYear(long long y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

}  // namespace

constinit const Field& kSerialNumberField = Row("serial_number");
constinit const Field& kDeliveryDateField = Row("delivery_date");
constinit const Field& kMotorUnitField = Row("motor_control_unit");
constinit const Field& kAutoMuteField = Row("auto_mute");
constinit const Field& kPhonoGainField = Row("gain_db");
constinit const Field& kPolarityField = Row("polarity_inverted");
constinit const Field& kOutputRateField = Row("output_rate_khz");
constinit const Field& kMotorVoltageField = Row("motor_voltage_v");
constinit const Field& kRampSpeedField = Row("ramp_speed");
constinit const Field& kAbsoluteCorrectionField = Row("speed_corrections.{}.absolute_percent");
constinit const Field& kRelativeCorrectionField = Row("speed_corrections.{}.relative_percent");

bool Field::InRange(long long value) const {
  switch (kind) {
    case K::kDate:
      return value == 0 || ValidDate(value);
    case K::kName:
      return true;
    default:
      return value >= min && value <= max;
  }
}

std::string_view Field::ValueName(long long value) const {
  if (value < min || value - min >= static_cast<long long>(names.size())) return "unknown";
  return names[static_cast<std::size_t>(value - min)];
}

const std::vector<BoundField>& AllFields() {
  static const std::vector<BoundField> fields = Bind();
  return fields;
}

const BoundField* FindField(std::string_view key) {
  for (const BoundField& f : AllFields()) {
    if (f.key == key) return &f;
  }
  return nullptr;
}

long long PackDate(long long y, long long m, long long d) {
  return y << 16 | m << 8 | d;
}

bool ValidDate(long long packed) {
  const long long y = 2000 + (packed >> 16), m = (packed >> 8) & 0xFF, d = packed & 0xFF;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m < 1 || m > 12 || d < 1) return false;
  return d <= kDays[m - 1] + (m == 2 && LeapYear(y) ? 1 : 0);
}

std::string DateText(long long packed) {
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", 2000 + (packed >> 16),
                (packed >> 8) & 0xFF, packed & 0xFF);
  return text;
}

std::string ValueText(const Field& field, long long value) {
  if (field.kind == K::kDate) return DateText(value);
  if (field.scale == 1) return std::to_string(value);
  // Scales are powers of ten: one decimal per factor of ten.
  int decimals = 0;
  for (int s = field.scale; s > 1; s /= 10) ++decimals;
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(value) / field.scale);
  return text;
}

std::string RangeText(const Field& field) {
  return ValueText(field, field.min) + ".." + ValueText(field, field.max);
}

std::optional<FieldFault> CheckField(const BoundField& bound, const SettingsImage& image) {
  const Field& f = *bound.field;
  if (f.kind == K::kName) return std::nullopt;
  const long long v = bound.Get(image);
  if (f.InRange(v)) return std::nullopt;
  switch (f.kind) {
    case K::kRate:
      return FieldFault{&bound, v, "the stored code " + std::to_string(v) + " names no rate"};
    case K::kDate:
      return FieldFault{&bound, v,
                        "the stored date " + DateText(v) + " is not a date of the calendar"};
    default:
      return FieldFault{&bound, v, ValueText(f, v) + " is outside " + RangeText(f)};
  }
}

std::optional<FieldFault> FirstFieldOutOfRange(const SettingsImage& image) {
  for (const BoundField& f : AllFields()) {
    if (auto fault = CheckField(f, image)) return fault;
  }
  return std::nullopt;
}

}  // namespace settings
