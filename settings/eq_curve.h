#pragma once
// One equalization curve record of the settings image (26 bytes).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

struct EqCurve {
  static constexpr std::size_t kSize = 26;
  static constexpr std::size_t kFlags = 0;
  static constexpr std::size_t kTimeConstants = 2;  // t1..t4, u16 microseconds, 0 = disabled
  static constexpr std::size_t kName = 10;
  static constexpr std::size_t kNameSize = 16;
  static constexpr std::size_t kMaxNameLength = 15;

  std::array<std::uint8_t, kSize> bytes{};

  // bit 0 inUse, bits 1-7 curveMode, bits 8-15 carried
  std::uint16_t CurveFlags() const;
  void SetCurveFlags(std::uint16_t flags);
  bool InUse() const { return (CurveFlags() & 1) != 0; }
  void SetInUse(bool inUse);
  unsigned CurveMode() const { return (CurveFlags() >> 1) & 0x7F; }
  void SetCurveMode(unsigned mode);

  // i = 0..3 for t1..t4
  std::uint16_t T(int i) const;
  void SetT(int i, std::uint16_t microseconds);

  // The name up to its NUL, never past its 16 bytes.
  std::string Name() const;
  // At most 15 characters; the rest of the first 15 bytes become NUL, the 16th is not written.
  void SetName(std::string_view name);

  bool operator==(const EqCurve&) const = default;
};
