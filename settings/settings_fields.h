#pragma once
// What each field of the settings image means: its document key, how it is read and written,
// its unit, scale, range and the names of its coded values. Everything that shows, checks or
// edits a field reads it here, so a new field is one row of the table in settings_fields.cpp.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_image.h"

namespace settings {

enum class FieldKind {
  kNumber,  // a count of steps of 1/scale units
  kBool,    // 0 or 1
  kRate,    // output rate code, shown as kHz; a code without a rate is out of range
  kDate,    // year-2000, month, day packed as y << 16 | m << 8 | d; out of range unless a date
  kName,    // a curve name; no number, never out of range
};

// Rows repeated for each speed (33, 45, 78) or each curve slot (0..7).
enum class FieldFamily { kSingle, kSpeed, kCurve };

struct Field {
  std::string_view key;  // document key; "{}" stands for the speed or slot of repeated rows
  FieldKind kind;
  FieldFamily family;
  std::string_view unit;      // of the value shown, "" for none
  int scale;                  // stored steps per unit: 10 for a field in 0.1 steps
  long long min, max;         // range, in stored steps
  long long lowest, highest;  // what the stored bytes can hold, in stored steps
  // Names of the coded values min, min + 1, ..., as the panel lists them; empty for none.
  std::span<const std::string_view> names;
  // `index` is the speed (0 for 33, 1 for 45, 2 for 78) or curve slot; 0 for single rows.
  long long (*get)(const SettingsImage&, std::size_t index);
  void (*set)(SettingsImage&, std::size_t index, long long value);

  bool InRange(long long value) const;
  // The name of a coded value, or "unknown" when the list has none for it.
  std::string_view ValueName(long long value) const;
};

// The rows others name directly.
extern const Field& kSerialNumberField;
extern const Field& kDeliveryDateField;
extern const Field& kMotorUnitField;
extern const Field& kAutoMuteField;
extern const Field& kPhonoGainField;
extern const Field& kPolarityField;
extern const Field& kOutputRateField;
extern const Field& kMotorVoltageField;
extern const Field& kRampSpeedField;
extern const Field& kAbsoluteCorrectionField;
extern const Field& kRelativeCorrectionField;

// The output rate of each code min..max, in kHz.
inline constexpr int kOutputRateKhz[] = {48, 96, 192};

// One row for one speed or slot.
struct BoundField {
  const Field* field;
  std::size_t index;
  std::string key;  // with the speed or slot filled in

  long long Get(const SettingsImage& image) const { return field->get(image, index); }
  void Set(SettingsImage& image, long long value) const { field->set(image, index, value); }
};

// Every field of the image in document order: repeated rows speed by speed, slot by slot.
const std::vector<BoundField>& AllFields();
const BoundField* FindField(std::string_view key);

// Packs and checks a delivery date as kDate stores it.
long long PackDate(long long yearSince2000, long long month, long long day);
bool ValidDate(long long packed);
std::string DateText(long long packed);  // YYYY-MM-DD

// A stored value as its field shows it: "-3.5" for -35 steps of 0.1, "2006-03-07".
std::string ValueText(const Field& field, long long value);
// "min..max" as shown.
std::string RangeText(const Field& field);

struct FieldFault {
  const BoundField* field;
  long long value;   // stored
  std::string text;  // "-13.0 is outside -12.0..12.0", without the key
};

// The field's fault when its stored value is out of range.
std::optional<FieldFault> CheckField(const BoundField& field, const SettingsImage& image);
// The first field of the image out of range, in document order.
std::optional<FieldFault> FirstFieldOutOfRange(const SettingsImage& image);

}  // namespace settings
