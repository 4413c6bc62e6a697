#include "device/flash_trailer.h"

#include "device/wire.h"

namespace flash {

void Trailer::Encode(std::uint8_t* out) const {
  wire::PutU16(out + 0, region);
  wire::PutU16(out + 2, major);
  wire::PutU16(out + 4, minor);
  wire::PutU16(out + 6, day);
  wire::PutU16(out + 8, month);
  wire::PutU16(out + 10, year);
  wire::PutU32(out + 12, sum);
}

Trailer Trailer::Decode(const std::uint8_t* in) {
  Trailer t;
  t.region = wire::GetU16(in + 0);
  t.major = wire::GetU16(in + 2);
  t.minor = wire::GetU16(in + 4);
  t.day = wire::GetU16(in + 6);
  t.month = wire::GetU16(in + 8);
  t.year = wire::GetU16(in + 10);
  t.sum = wire::GetU32(in + 12);
  return t;
}

std::uint32_t ApplicationSum(std::span<const std::uint8_t> region) {
  const std::size_t covered = kTrailerAddress + 12 - kApplicationStart;  // through the year field
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < covered && i < region.size(); ++i) sum += region[i];
  return sum;
}

}  // namespace flash
