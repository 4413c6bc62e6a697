#include "settings/settings_document.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "settings/latin1_text.h"
#include "settings/settings_fields.h"

namespace settings {

namespace {

using Kind = FieldKind;

// Steps as the decimal number they stand for: -35 steps of 0.1 -> -3.5 exactly as written.
Document Scaled(const Field& f, long long steps) {
  if (f.scale == 1) return steps;
  return Document(static_cast<double>(steps) / f.scale);
}

std::string NameOf(const SettingsImage& image, std::size_t slot) {
  return Latin1ToUtf8(image.Curve(slot).Name());
}

Document Decode(const BoundField& b, const SettingsImage& image) {
  const Field& f = *b.field;
  if (f.kind == Kind::kName) return NameOf(image, b.index);
  const long long v = b.Get(image);
  switch (f.kind) {
    case Kind::kBool:
      return v != 0;
    case Kind::kRate:
      return f.InRange(v) ? Document(kOutputRateKhz[v - f.min]) : Document(nullptr);
    case Kind::kDate:
      return ValidDate(v) ? Document(DateText(v)) : Document(nullptr);
    default:
      return Scaled(f, v);
  }
}

// "48, 96 or 192"
std::string RateChoices() {
  std::string text;
  for (std::size_t i = 0; i < std::size(kOutputRateKhz); ++i) {
    if (i > 0) text += i + 1 == std::size(kOutputRateKhz) ? " or " : ", ";
    text += std::to_string(kOutputRateKhz[i]);
  }
  return text;
}

// The stored value a JSON value stands for; a problem when it has the wrong type or cannot be
// held at all. Null (rate, date) keeps the raw bytes and comes back empty without a problem.
std::optional<long long> Encode(const BoundField& b, const Document& value,
                                std::vector<DocumentProblem>& problems) {
  const Field& f = *b.field;
  auto fail = [&](const std::string& message) {
    problems.push_back({b.key, message, false});
    return std::nullopt;
  };
  switch (f.kind) {
    case Kind::kBool:
      if (!value.is_boolean()) return fail("wants true or false, got " + value.dump());
      return value.get<bool>() ? 1 : 0;
    case Kind::kNumber: {
      if (f.scale == 1) {
        if (!value.is_number_integer()) return fail("wants a whole number, got " + value.dump());
        const long long v = value.is_number_unsigned()
                                ? static_cast<long long>(std::min<std::uint64_t>(
                                      value.get<std::uint64_t>(), 1ull << 62))
                                : value.get<long long>();
        if (v < f.lowest || v > f.highest)
          return fail(value.dump() + " is outside " + RangeText(f));
        return v;
      }
      if (!value.is_number()) return fail("wants a number, got " + value.dump());
      const double scaled = value.get<double>() * f.scale;
      if (!std::isfinite(scaled) || std::fabs(scaled) > 1e9)
        return fail(value.dump() + " is outside " + RangeText(f));
      const double steps = std::round(scaled);
      if (std::fabs(scaled - steps) > 1e-6)
        return fail(value.dump() + " is not a multiple of " + ValueText(f, 1));
      const auto v = static_cast<long long>(steps);
      if (v < f.lowest || v > f.highest) return fail(value.dump() + " is outside " + RangeText(f));
      return v;
    }
    case Kind::kRate:
      if (value.is_null()) return std::nullopt;
      for (long long code = f.min; code <= f.max; ++code) {
        if (value.is_number_integer() && value.get<long long>() == kOutputRateKhz[code - f.min])
          return code;
      }
      return fail("wants " + RateChoices() + ", got " + value.dump());
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
  return std::nullopt;
}

void ApplyName(const BoundField& b, const Document& value, SettingsImage& image,
               std::vector<DocumentProblem>& problems) {
  if (!value.is_string()) {
    problems.push_back({b.key, "wants a text, got " + value.dump(), false});
    return;
  }
  const std::string text = value.get<std::string>();
  // Unchanged: the bytes after the name's end stay as they were.
  if (text == NameOf(image, b.index)) return;
  const std::optional<std::string> latin1 = Utf8ToLatin1(text);
  if (!latin1) {
    problems.push_back({b.key, value.dump() + " holds a character the device cannot store", false});
    return;
  }
  if (latin1->size() > EqCurve::kMaxNameLength || latin1->find('\0') != std::string::npos) {
    problems.push_back({b.key,
                        value.dump() + " is longer than " +
                            std::to_string(EqCurve::kMaxNameLength) + " characters",
                        false});
    return;
  }
  EqCurve curve = image.Curve(b.index);
  curve.SetName(*latin1);
  image.SetCurve(b.index, curve);
}

void CollectKeys(const Document& node, const std::string& path, std::vector<std::string>& keys) {
  if (node.is_object() || node.is_array()) {
    std::size_t index = 0;
    for (auto it = node.begin(); it != node.end(); ++it, ++index) {
      const std::string name = node.is_object() ? it.key() : std::to_string(index);
      std::string child = path;
      if (!child.empty()) child += '.';
      child += name;
      CollectKeys(*it, child, keys);
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
  for (const BoundField& f : AllFields()) keys.push_back(f.key);
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
  for (const BoundField& f : AllFields()) {
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
  for (const BoundField& f : AllFields()) {
    const auto pointer = KeyPointer(f.key);
    if (!document.contains(pointer)) continue;
    const Document& value = document[pointer];
    if (f.field->kind == Kind::kName) {
      ApplyName(f, value, image, problems);
      continue;
    }
    const std::optional<long long> v = Encode(f, value, problems);
    if (!v) continue;
    // Encode keeps the value within what the bytes hold, so it reads back as it was set.
    f.Set(image, *v);
    if (const auto fault = CheckField(f, image)) problems.push_back({f.key, fault->text, true});
  }
  // Kept raw values (a null rate or date) still have to lie in their ranges.
  for (const BoundField& f : AllFields()) {
    if (f.field->kind != Kind::kRate && f.field->kind != Kind::kDate) continue;
    const auto pointer = KeyPointer(f.key);
    if (document.contains(pointer) && document[pointer].is_null()) {
      if (const auto fault = CheckField(f, image)) problems.push_back({f.key, fault->text, true});
    }
  }
  return problems;
}

std::vector<DocumentProblem> RangeProblems(const SettingsImage& image) {
  std::vector<DocumentProblem> problems;
  for (const BoundField& f : AllFields()) {
    if (const auto fault = CheckField(f, image)) problems.push_back({f.key, fault->text, true});
  }
  return problems;
}

std::optional<Document> ParseValue(const std::string& key, const std::string& text,
                                   std::string& error) {
  const BoundField* bound = FindField(key);
  if (!bound) {
    error = key + ": is not a settings key";
    return std::nullopt;
  }
  switch (bound->field->kind) {
    case Kind::kName:
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
