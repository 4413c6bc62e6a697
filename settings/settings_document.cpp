#include "settings/settings_document.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>

#include "device/wire.h"
#include "settings/latin1_text.h"

namespace settings {

namespace {

enum class Kind {
  kInteger,  // JSON integer
  kTenths,   // JSON number in 0.1 steps; stored as the step count
  kBool,     // JSON boolean; stored as 0 or 1
  kRate,     // 48, 96 or 192 kHz; stored as code 1..3; null for a code without a rate
  kDate,     // "YYYY-MM-DD" from year-2000, month, day bytes; null when the bytes are no date
  kName,     // a curve name, Latin-1 on the device
};

struct Field {
  std::string key;
  Kind kind;
  long long min = 0, max = 0;         // range, in stored steps
  long long lowest = 0, highest = 0;  // what the stored bytes can hold
  std::function<long long(const SettingsImage&)> get;
  std::function<void(SettingsImage&, long long)> set;
  std::size_t slot = 0;  // curve slot of a name
};

using Speed = SettingsImage::Speed;

constexpr int kRates[] = {48, 96, 192};  // kHz of codes 1..3

bool LeapYear(long long y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// Packs year-2000, month and day as the date kind stores them.
long long PackDate(long long y, long long m, long long d) {
  return y << 16 | m << 8 | d;
}

bool ValidDate(long long packed) {
  const long long y = 2000 + (packed >> 16), m = (packed >> 8) & 0xFF, d = packed & 0xFF;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m < 1 || m > 12 || d < 1) return false;
  return d <= kDays[m - 1] + (m == 2 && LeapYear(y) ? 1 : 0);
}

Field Integer(std::string key, long long min, long long max, long long lowest, long long highest,
              std::function<long long(const SettingsImage&)> get,
              std::function<void(SettingsImage&, long long)> set, Kind kind = Kind::kInteger) {
  Field f;
  f.key = std::move(key);
  f.kind = kind;
  f.min = min;
  f.max = max;
  f.lowest = lowest;
  f.highest = highest;
  f.get = std::move(get);
  f.set = std::move(set);
  return f;
}

Field Flag(std::string key, std::function<bool(const SettingsImage&)> get,
           std::function<void(SettingsImage&, bool)> set) {
  return Integer(
      std::move(key), 0, 1, 0, 1, [get](const SettingsImage& i) { return get(i) ? 1 : 0; },
      [set](SettingsImage& i, long long v) { set(i, v != 0); }, Kind::kBool);
}

std::vector<Field> MakeFields() {
  std::vector<Field> fields;
  fields.push_back(Integer(
      "serial_number", 0, 0xFFFFFFFFll, 0, 0xFFFFFFFFll,
      [](const SettingsImage& i) { return i.SerialNumber(); },
      [](SettingsImage& i, long long v) { i.SetSerialNumber(static_cast<std::uint32_t>(v)); }));
  fields.push_back(Integer(
      "delivery_date", 0, 0, 0, 0xFFFFFF,
      [](const SettingsImage& i) {
        return PackDate(i.DeliveryYear(), i.DeliveryMonth(), i.DeliveryDay());
      },
      [](SettingsImage& i, long long v) {
        i.SetDeliveryYear(static_cast<std::uint8_t>(v >> 16));
        i.SetDeliveryMonth(static_cast<std::uint8_t>(v >> 8));
        i.SetDeliveryDay(static_cast<std::uint8_t>(v));
      },
      Kind::kDate));
  fields.push_back(Integer(
      "system_tag", 0, 255, 0, 255, [](const SettingsImage& i) { return i.SystemTag(); },
      [](SettingsImage& i, long long v) { i.SetSystemTag(static_cast<std::uint8_t>(v)); }));
  fields.push_back(Flag(
      "motor_control_unit", [](const SettingsImage& i) { return i.MotorUnitInstalled(); },
      [](SettingsImage& i, bool v) { i.SetMotorUnitInstalled(v); }));
  fields.push_back(Flag(
      "auto_mute", [](const SettingsImage& i) { return i.AutoMute(); },
      [](SettingsImage& i, bool v) { i.SetAutoMute(v); }));
  fields.push_back(Integer(
      "gain_db", -120, 120, -128, 127, [](const SettingsImage& i) { return i.PhonoGain(); },
      [](SettingsImage& i, long long v) { i.SetPhonoGain(static_cast<std::int8_t>(v)); },
      Kind::kTenths));
  fields.push_back(Flag(
      "polarity_inverted", [](const SettingsImage& i) { return i.PolarityInverted(); },
      [](SettingsImage& i, bool v) { i.SetPolarityInverted(v); }));
  fields.push_back(Integer(
      "output_rate_khz", 1, 3, 0, 255, [](const SettingsImage& i) { return i.OutputRate(); },
      [](SettingsImage& i, long long v) { i.SetOutputRate(static_cast<std::uint8_t>(v)); },
      Kind::kRate));
  fields.push_back(Integer(
      "motor_voltage_v", 60, 240, 0, 65535, [](const SettingsImage& i) { return i.MotorVoltage(); },
      [](SettingsImage& i, long long v) { i.SetMotorVoltage(static_cast<std::uint16_t>(v)); },
      Kind::kTenths));
  fields.push_back(Integer(
      "ramp_speed", 0, 6, 0, 7, [](const SettingsImage& i) { return i.RampSpeed(); },
      [](SettingsImage& i, long long v) { i.SetRampSpeed(static_cast<unsigned>(v)); }));
  fields.push_back(Integer(
      "preset_index", 0, 7, 0, 7, [](const SettingsImage& i) { return i.PresetIndex(); },
      [](SettingsImage& i, long long v) { i.SetPresetIndex(static_cast<unsigned>(v)); }));
  const std::pair<const char*, Speed> speeds[] = {
      {"33", Speed::k33}, {"45", Speed::k45}, {"78", Speed::k78}};
  for (const auto& [name, speed] : speeds) {
    const std::string base = std::string("speed_corrections.") + name;
    const Speed s = speed;
    fields.push_back(Integer(
        base + ".absolute_percent", -500, 500, -32768, 32767,
        [s](const SettingsImage& i) { return i.AbsoluteCorrection(s); },
        [s](SettingsImage& i, long long v) {
          i.SetAbsoluteCorrection(s, static_cast<std::int16_t>(v));
        },
        Kind::kTenths));
    fields.push_back(Integer(
        base + ".relative_percent", -500, 500, -32768, 32767,
        [s](const SettingsImage& i) { return i.RelativeCorrection(s); },
        [s](SettingsImage& i, long long v) {
          i.SetRelativeCorrection(s, static_cast<std::int16_t>(v));
        },
        Kind::kTenths));
  }
  for (std::size_t slot = 0; slot < SettingsImage::kCurveCount; ++slot) {
    const std::string base = "curves." + std::to_string(slot);
    Field name;
    name.key = base + ".name";
    name.kind = Kind::kName;
    name.slot = slot;
    fields.push_back(name);
    auto curveField = [slot](auto read, auto write) {
      return std::make_pair(
          [slot, read](const SettingsImage& i) {
            return static_cast<long long>(read(i.Curve(slot)));
          },
          [slot, write](SettingsImage& i, long long v) {
            EqCurve c = i.Curve(slot);
            write(c, v);
            i.SetCurve(slot, c);
          });
    };
    auto inUse = curveField([](const EqCurve& c) { return c.InUse() ? 1 : 0; },
                            [](EqCurve& c, long long v) { c.SetInUse(v != 0); });
    fields.push_back(Integer(base + ".in_use", 0, 1, 0, 1, inUse.first, inUse.second, Kind::kBool));
    auto mode =
        curveField([](const EqCurve& c) { return c.CurveMode(); },
                   [](EqCurve& c, long long v) { c.SetCurveMode(static_cast<unsigned>(v)); });
    fields.push_back(Integer(base + ".mode", 0, 127, 0, 127, mode.first, mode.second));
    for (int t = 0; t < 4; ++t) {
      auto tc =
          curveField([t](const EqCurve& c) { return c.T(t); },
                     [t](EqCurve& c, long long v) { c.SetT(t, static_cast<std::uint16_t>(v)); });
      fields.push_back(Integer(base + ".t" + std::to_string(t + 1) + "_us", 0, 65535, 0, 65535,
                               tc.first, tc.second));
    }
  }
  return fields;
}

const std::vector<Field>& Fields() {
  static const std::vector<Field> fields = MakeFields();
  return fields;
}

const Field* FindField(const std::string& key) {
  for (const Field& f : Fields()) {
    if (f.key == key) return &f;
  }
  return nullptr;
}

// Steps as the decimal number they stand for: -35 -> -3.5 exactly as written.
Document Tenths(long long steps) {
  return Document(static_cast<double>(steps) / 10.0);
}

std::string DateText(long long packed) {
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", 2000 + (packed >> 16),
                (packed >> 8) & 0xFF, packed & 0xFF);
  return text;
}

std::string TenthsText(long long steps) {
  return Tenths(steps).dump();
}

std::string RangeText(const Field& f) {
  if (f.kind == Kind::kTenths) return TenthsText(f.min) + ".." + TenthsText(f.max);
  return std::to_string(f.min) + ".." + std::to_string(f.max);
}

std::string NameOf(const SettingsImage& image, std::size_t slot) {
  return Latin1ToUtf8(image.Curve(slot).Name());
}

Document Decode(const Field& f, const SettingsImage& image) {
  if (f.kind == Kind::kName) return NameOf(image, f.slot);
  const long long v = f.get(image);
  switch (f.kind) {
    case Kind::kBool:
      return v != 0;
    case Kind::kTenths:
      return Tenths(v);
    case Kind::kRate:
      return v >= 1 && v <= 3 ? Document(kRates[v - 1]) : Document(nullptr);
    case Kind::kDate:
      return ValidDate(v) ? Document(DateText(v)) : Document(nullptr);
    default:
      return v;
  }
}

// A stored value outside its field's range, or nothing.
std::optional<std::string> RangeFault(const Field& f, long long v) {
  switch (f.kind) {
    case Kind::kRate:
      if (v < 1 || v > 3) return "the stored code " + std::to_string(v) + " names no rate";
      return std::nullopt;
    case Kind::kDate:
      if (v != 0 && !ValidDate(v))
        return "the stored date " + DateText(v) + " is not a date of the calendar";
      return std::nullopt;
    case Kind::kName:
      return std::nullopt;
    default:
      if (v < f.min || v > f.max) {
        const std::string shown = f.kind == Kind::kTenths ? TenthsText(v) : std::to_string(v);
        return shown + " is outside " + RangeText(f);
      }
      return std::nullopt;
  }
}

// The stored value a JSON value stands for; a problem when it has the wrong type or cannot be
// held at all. Null (rate, date) keeps the raw bytes and comes back empty without a problem.
std::optional<long long> Encode(const Field& f, const Document& value, const SettingsImage& raw,
                                std::vector<DocumentProblem>& problems) {
  auto fail = [&](const std::string& message) {
    problems.push_back({f.key, message, false});
    return std::nullopt;
  };
  switch (f.kind) {
    case Kind::kBool:
      if (!value.is_boolean()) return fail("wants true or false, got " + value.dump());
      return value.get<bool>() ? 1 : 0;
    case Kind::kInteger: {
      if (!value.is_number_integer()) return fail("wants a whole number, got " + value.dump());
      const long long v = value.is_number_unsigned()
                              ? static_cast<long long>(
                                    std::min<std::uint64_t>(value.get<std::uint64_t>(), 1ull << 62))
                              : value.get<long long>();
      if (v < f.lowest || v > f.highest) return fail(value.dump() + " is outside " + RangeText(f));
      return v;
    }
    case Kind::kTenths: {
      if (!value.is_number()) return fail("wants a number, got " + value.dump());
      const double tenfold = value.get<double>() * 10.0;
      if (!std::isfinite(tenfold) || std::fabs(tenfold) > 1e9)
        return fail(value.dump() + " is outside " + RangeText(f));
      const double steps = std::round(tenfold);
      if (std::fabs(tenfold - steps) > 1e-6)
        return fail(value.dump() + " is not a multiple of 0.1");
      const auto v = static_cast<long long>(steps);
      if (v < f.lowest || v > f.highest) return fail(value.dump() + " is outside " + RangeText(f));
      return v;
    }
    case Kind::kRate:
      if (value.is_null()) return std::nullopt;
      for (int code = 1; code <= 3; ++code) {
        if (value.is_number_integer() && value.get<long long>() == kRates[code - 1]) return code;
      }
      return fail("wants 48, 96 or 192, got " + value.dump());
    case Kind::kDate: {
      if (value.is_null()) return std::nullopt;
      const std::string text = value.is_string() ? value.get<std::string>() : std::string();
      int y = 0, m = 0, d = 0;
      char end = 0;
      if (!value.is_string() || text.size() != 10 ||
          std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &end) != 3 || text[4] != '-' ||
          text[7] != '-')
        return fail("wants a date YYYY-MM-DD, got " + value.dump());
      if (y < 2000 || y > 2255) return fail(text + " is outside the years 2000..2255");
      const long long packed = PackDate(y - 2000, m, d);
      if (!ValidDate(packed)) return fail(text + " is not a date of the calendar");
      return packed;
    }
    case Kind::kName:
      break;
  }
  (void)raw;
  return std::nullopt;
}

void ApplyName(const Field& f, const Document& value, SettingsImage& image,
               std::vector<DocumentProblem>& problems) {
  if (!value.is_string()) {
    problems.push_back({f.key, "wants a text, got " + value.dump(), false});
    return;
  }
  const std::string text = value.get<std::string>();
  // Unchanged: the bytes after the name's end stay as they were.
  if (text == NameOf(image, f.slot)) return;
  const std::optional<std::string> latin1 = Utf8ToLatin1(text);
  if (!latin1) {
    problems.push_back({f.key, value.dump() + " holds a character the device cannot store", false});
    return;
  }
  if (latin1->size() > EqCurve::kMaxNameLength || latin1->find('\0') != std::string::npos) {
    problems.push_back({f.key,
                        value.dump() + " is longer than " +
                            std::to_string(EqCurve::kMaxNameLength) + " characters",
                        false});
    return;
  }
  EqCurve curve = image.Curve(f.slot);
  curve.SetName(*latin1);
  image.SetCurve(f.slot, curve);
}

void CollectKeys(const Document& node, const std::string& path, std::vector<std::string>& keys) {
  if (node.is_object() || node.is_array()) {
    std::size_t index = 0;
    for (auto it = node.begin(); it != node.end(); ++it, ++index) {
      const std::string name = node.is_object() ? it.key() : std::to_string(index);
      CollectKeys(*it, path.empty() ? name : path + "." + name, keys);
    }
    return;
  }
  keys.push_back(path);
}

constexpr std::size_t kRawLineBytes = 16;

Document RawLines(const SettingsImage& image, std::size_t length) {
  Document lines = Document::array();
  for (std::size_t at = 0; at < length; at += kRawLineBytes) {
    std::string line;
    char hex[4];
    for (std::size_t i = at; i < std::min(length, at + kRawLineBytes); ++i) {
      std::snprintf(hex, sizeof hex, i == at ? "%02x" : " %02x", image.Bytes()[i]);
      line += hex;
    }
    lines.push_back(line);
  }
  return lines;
}

// The raw bytes of the document's "raw" lines; a problem unless they are hex bytes, `length`
// of them.
bool ReadRaw(const Document& raw, std::size_t length, SettingsImage& image,
             std::vector<DocumentProblem>& problems) {
  std::string digits;
  bool wellFormed = raw.is_array();
  for (const Document& line : raw.is_array() ? raw : Document::array()) {
    if (!line.is_string()) {
      wellFormed = false;
      break;
    }
    for (const char c : line.get<std::string>()) {
      if (c == ' ') continue;
      if (!std::isxdigit(static_cast<unsigned char>(c))) wellFormed = false;
      digits += c;
    }
  }
  if (!wellFormed || digits.size() % 2 != 0) {
    problems.push_back({"raw", "wants lines of hex bytes", false});
    return false;
  }
  if (digits.size() / 2 != length) {
    problems.push_back({"raw",
                        "holds " + std::to_string(digits.size() / 2) +
                            " bytes; the device's settings image has " + std::to_string(length),
                        false});
    return false;
  }
  image = SettingsImage{};
  for (std::size_t i = 0; i < length; ++i) {
    unsigned byte = 0;
    std::from_chars(digits.data() + 2 * i, digits.data() + 2 * i + 2, byte, 16);
    image.Bytes()[i] = static_cast<std::uint8_t>(byte);
  }
  return true;
}

}  // namespace

std::string ProblemText(const DocumentProblem& problem) {
  return problem.key.empty() ? problem.message : problem.key + ": " + problem.message;
}

std::vector<std::string> DocumentKeys() {
  std::vector<std::string> keys;
  for (const Field& f : Fields()) keys.push_back(f.key);
  return keys;
}

bool IsDocumentKey(const std::string& key) {
  return FindField(key) != nullptr;
}

Document::json_pointer KeyPointer(const std::string& key) {
  std::string pointer = "/" + key;
  for (char& c : pointer) {
    if (c == '.') c = '/';
  }
  return Document::json_pointer(pointer);
}

Document ExportDocument(const SettingsImage& image, std::size_t length) {
  Document document;
  document["format"] = kDocumentFormat;
  for (const Field& f : Fields()) {
    // Speeds are object keys, though a pointer would take "33" for an array index.
    if (f.key.starts_with("speed_corrections.") && !document.contains("speed_corrections")) {
      document["speed_corrections"] = {
          {"33", Document::object()}, {"45", Document::object()}, {"78", Document::object()}};
    }
    document[KeyPointer(f.key)] = Decode(f, image);
  }
  document["raw"] = RawLines(image, std::min(length, SettingsImage::kSize));
  return document;
}

std::vector<DocumentProblem> ImportDocument(const Document& document, std::size_t length,
                                            SettingsImage& image) {
  std::vector<DocumentProblem> problems;
  if (!document.is_object()) return {{"", "the document is not a JSON object", false}};
  if (!document.contains("format") || document["format"] != kDocumentFormat) {
    problems.push_back({"format", "wants " + std::to_string(kDocumentFormat), false});
  }
  std::vector<std::string> keys;
  CollectKeys(document, "", keys);
  for (const std::string& key : keys) {
    if (key != "format" && key != "raw" && !key.starts_with("raw.") && !FindField(key))
      problems.push_back({key, "is not a settings key", false});
  }
  if (!document.contains("raw")) {
    problems.push_back({"raw", "is missing", false});
    return problems;
  }
  if (!ReadRaw(document["raw"], std::min(length, SettingsImage::kSize), image, problems))
    return problems;
  for (const Field& f : Fields()) {
    const auto pointer = KeyPointer(f.key);
    if (!document.contains(pointer)) continue;
    const Document& value = document[pointer];
    if (f.kind == Kind::kName) {
      ApplyName(f, value, image, problems);
      continue;
    }
    const std::optional<long long> v = Encode(f, value, image, problems);
    if (!v) continue;
    if (const auto fault = RangeFault(f, *v)) problems.push_back({f.key, *fault, true});
    f.set(image, *v);
  }
  // Kept raw values (a null rate or date) still have to lie in their ranges.
  for (const Field& f : Fields()) {
    if (f.kind != Kind::kRate && f.kind != Kind::kDate) continue;
    const auto pointer = KeyPointer(f.key);
    if (document.contains(pointer) && document[pointer].is_null()) {
      if (const auto fault = RangeFault(f, f.get(image))) problems.push_back({f.key, *fault, true});
    }
  }
  return problems;
}

std::vector<DocumentProblem> RangeProblems(const SettingsImage& image) {
  std::vector<DocumentProblem> problems;
  for (const Field& f : Fields()) {
    if (f.kind == Kind::kName) continue;
    if (const auto fault = RangeFault(f, f.get(image))) problems.push_back({f.key, *fault, true});
  }
  return problems;
}

std::optional<Document> ParseValue(const std::string& key, const std::string& text,
                                   std::string& error) {
  const Field* f = FindField(key);
  if (!f) {
    error = key + ": is not a settings key";
    return std::nullopt;
  }
  switch (f->kind) {
    case Kind::kName:
      return Document(text);
    case Kind::kDate:
      return Document(text);
    case Kind::kBool:
      if (text == "true") return Document(true);
      if (text == "false") return Document(false);
      error = key + ": wants true or false, got '" + text + "'";
      return std::nullopt;
    default: {
      // JSON's own number syntax, so a value reads the same here as in a document.
      const Document number = Document::parse(text, nullptr, false);
      if (number.is_number()) return number;
      error = key + ": wants a number, got '" + text + "'";
      return std::nullopt;
    }
  }
}

}  // namespace settings
