#include "settings/eq_curve.h"

#include <algorithm>

#include "device/wire.h"

std::uint16_t EqCurve::CurveFlags() const {
  return wire::GetU16(&bytes[kFlags]);
}
void EqCurve::SetCurveFlags(std::uint16_t flags) {
  wire::PutU16(&bytes[kFlags], flags);
}

void EqCurve::SetInUse(bool inUse) {
  SetCurveFlags(static_cast<std::uint16_t>((CurveFlags() & ~1u) | (inUse ? 1u : 0u)));
}

void EqCurve::SetCurveMode(unsigned mode) {
  SetCurveFlags(static_cast<std::uint16_t>((CurveFlags() & ~0xFEu) | ((mode & 0x7F) << 1)));
}

std::uint16_t EqCurve::T(int i) const {
  return wire::GetU16(&bytes[kTimeConstants + 2 * i]);
}
void EqCurve::SetT(int i, std::uint16_t microseconds) {
  wire::PutU16(&bytes[kTimeConstants + 2 * i], microseconds);
}

std::string EqCurve::Name() const {
  const auto* begin = &bytes[kName];
  const auto* end = std::find(begin, begin + kNameSize, std::uint8_t{0});
  return std::string(begin, end);
}

void EqCurve::SetName(std::string_view name) {
  const std::size_t n = std::min(name.size(), kMaxNameLength);
  std::copy_n(name.begin(), n, &bytes[kName]);
  std::fill(&bytes[kName] + n, &bytes[kName] + kMaxNameLength, std::uint8_t{0});
}
