#include "panel/curve_name_validator.h"

#include "settings/eq_curve.h"

namespace panel {

bool CurveNameValidator::Storable(QChar c) {
  const char16_t code = c.unicode();
  return (code >= 0x20 && code <= 0x7E) || (code >= 0xA0 && code <= 0xFF);
}

QValidator::State CurveNameValidator::validate(QString& input, int& /*position*/) const {
  if (input.size() > static_cast<qsizetype>(EqCurve::kMaxNameLength)) return Invalid;
  for (QChar c : input) {
    if (!Storable(c)) return Invalid;
  }
  return Acceptable;
}

}  // namespace panel
