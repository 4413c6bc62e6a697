#pragma once
// Texts of the panel's fields, and reading numbers back from what the user typed.

#include <QString>
#include <cstdint>

namespace panel {

// "%05u": at least five digits.
QString SerialText(std::uint32_t serial);
// A decimal number after optional blanks and sign; no digits give 0, a negative number gives 0
// and numbers beyond 32 bits give 4294967295.
std::uint32_t ParseSerialNumber(const QString& text);

// "Phono gain %4.1lfdB" of a gain in 0.1 dB steps.
QString GainText(int gain);

// The voltage of a typed text in 0.1 V steps: the decimal number at its start (blanks skipped),
// times ten with the fraction cut toward zero, limited to the field's range. Decimal digits are
// taken as typed, without floating point.
unsigned ParseVoltageText(const QString& text);
// "%.1lf Volt" of a voltage limited to the field's range.
QString VoltageText(unsigned voltage);

// "disabled" for 0, else "%uusec/%.1lfHz".
QString TimeConstantText(std::uint16_t microseconds);

// "33:abs %.1lf%%/rel %.1lf%%" and the like, corrections in 0.1 % steps.
QString SpeedCaption(unsigned speed, int absolute, int relative);

}  // namespace panel
