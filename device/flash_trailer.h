#pragma once
// The identity trailer at the top of the device's application region, and the regions themselves.
// The firmware build writes the trailer; the device checks its byte sum before it starts the
// application. The tool only carries it.

#include <cstdint>
#include <span>

namespace flash {

inline constexpr std::uint32_t kApplicationStart = 0x40010000;
inline constexpr std::uint32_t kApplicationEnd = 0x40040000;  // one past 0x4003FFFF (192 KiB)
inline constexpr std::uint32_t kBootStart = 0x40000000;
inline constexpr std::uint32_t kBootEnd = 0x40010000;  // one past 0x4000FFFF
inline constexpr std::uint32_t kTrailerAddress = 0x4003FFF0;
inline constexpr std::uint32_t kTrailerSize = 16;
inline constexpr std::uint8_t kErased = 0xFF;

// Trailer layout, all little-endian u16 but the last field.
struct Trailer {
  std::uint16_t region = 0x0022;  // application marker
  std::uint16_t major = 0;
  std::uint16_t minor = 0;
  std::uint16_t day = 0;
  std::uint16_t month = 0;
  std::uint16_t year = 0;  // full year
  std::uint32_t sum = 0;   // byte sum mod 2^32 of 0x40010000..0x4003FFFB, unwritten bytes as 0xFF

  void Encode(std::uint8_t* out) const;  // 16 bytes
  static Trailer Decode(const std::uint8_t* in);
};

// Byte sum of the application region as the device checks it: `region` holds the whole
// 192 KiB image from kApplicationStart, and the sum covers it up to the trailer's year field.
std::uint32_t ApplicationSum(std::span<const std::uint8_t> region);

}  // namespace flash
