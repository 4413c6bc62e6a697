#include "panel/field_text.h"

#include <algorithm>

#include "eq/response_curve.h"
#include "settings/settings_fields.h"

namespace panel {

namespace {

// Skips leading blanks and one sign, as the C library's number reading does; true for a minus.
bool SkipBlanksAndSign(const QString& text, qsizetype& i) {
  while (i < text.size() && text[i].isSpace()) ++i;
  if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
    return text[i++] == QLatin1Char('-');
  }
  return false;
}

unsigned MinVoltage() {
  return static_cast<unsigned>(settings::kMotorVoltageField.min);
}
unsigned MaxVoltage() {
  return static_cast<unsigned>(settings::kMotorVoltageField.max);
}

}  // namespace

QString SerialText(std::uint32_t serial) {
  return QString::asprintf("%05u", serial);
}

std::uint32_t ParseSerialNumber(const QString& text) {
  qsizetype i = 0;
  const bool negative = SkipBlanksAndSign(text, i);
  std::uint64_t value = 0;
  for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
    value = std::min<std::uint64_t>(value * 10 + (text[i].unicode() - '0'), UINT32_MAX);
  }
  return negative ? 0 : static_cast<std::uint32_t>(value);
}

QString GainText(int gain) {
  return QString::asprintf("Phono gain %4.1fdB", gain * 0.1);
}

unsigned ParseVoltageText(const QString& text) {
  qsizetype i = 0;
  const bool negative = SkipBlanksAndSign(text, i);
  auto isDigit = [&](qsizetype at) {
    return at < text.size() && text[at] >= QLatin1Char('0') && text[at] <= QLatin1Char('9');
  };
  std::uint64_t tenths = 0;
  for (; isDigit(i); ++i) {
    tenths = std::min<std::uint64_t>(tenths * 10 + (text[i].unicode() - '0'), 1000000);
  }
  tenths *= 10;
  if (i < text.size() && text[i] == QLatin1Char('.') && isDigit(i + 1)) {
    tenths += text[i + 1].unicode() - '0';
  }
  if (negative && tenths != 0) return MinVoltage();
  return static_cast<unsigned>(std::clamp<std::uint64_t>(tenths, MinVoltage(), MaxVoltage()));
}

QString VoltageText(unsigned voltage) {
  voltage = std::clamp(voltage, MinVoltage(), MaxVoltage());
  return QString::asprintf("%.1f Volt", voltage * 0.1);
}

QString TimeConstantText(std::uint16_t microseconds) {
  if (microseconds == 0) return QStringLiteral("disabled");
  return QString::asprintf("%uusec/%.1fHz", unsigned{microseconds},
                           eq::ResponseCurve::CornerFrequency(microseconds));
}

QString SpeedCaption(unsigned speed, int absolute, int relative) {
  return QString::asprintf("%u:abs %.1f%%/rel %.1f%%", speed, absolute * 0.1, relative * 0.1);
}

}  // namespace panel
