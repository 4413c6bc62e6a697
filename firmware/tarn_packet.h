#pragma once
// The records of the firmware image the tool carries, and the exported function that returns
// the list's head. Plain records with a fixed field order: other programs read them through
// GetTarnBase. On a 32-bit build the packet is 32 bytes and the segment 16; wider pointers move
// the offsets after them but keep the order and the widths of the other fields.

#include <cstddef>
#include <cstdint>

inline constexpr std::uint32_t TARN_KIND_HEAD = 1;    // the record GetTarnBase returns
inline constexpr std::uint32_t TARN_KIND_IMAGE = 10;  // a firmware image with segments
inline constexpr std::int16_t TARN_TARGET_VELMOR = 5;
inline constexpr std::int16_t TARN_REGION_BOOT = 0x21;         // same marker as the identity's
inline constexpr std::int16_t TARN_REGION_APPLICATION = 0x22;  // same marker as the identity's

struct TarnSegment {
  std::uint32_t address;     // device address of the first byte
  std::uint32_t length;      // number of bytes
  const TarnSegment* next;   // next segment of the same image; null ends the chain
  const std::uint8_t* data;  // `length` bytes in device order
};

struct TarnPacket {
  const TarnPacket* next;  // null (or all ones) ends the list
  std::uint32_t kind;      // TARN_KIND_HEAD or TARN_KIND_IMAGE
  std::uint16_t reserved;  // 2 in every record carried; never read
  std::int16_t target;
  std::int16_t region;    // TARN_REGION_BOOT or TARN_REGION_APPLICATION
  std::uint16_t version;  // major in bits 0-5, minor in bits 6-15
  std::uint8_t day;
  std::uint8_t month;
  std::uint16_t year;  // full year
  std::uint8_t hour;
  std::uint8_t minute;
  std::uint8_t second;
  std::uint8_t reserved2[5];    // zero
  const TarnSegment* segments;  // null when the record carries no bytes

  unsigned Major() const { return version & 0x3Fu; }
  unsigned Minor() const { return static_cast<unsigned>(version) >> 6; }
};

static_assert(offsetof(TarnPacket, kind) == sizeof(void*));
static_assert(offsetof(TarnPacket, target) == sizeof(void*) + 6);
static_assert(offsetof(TarnPacket, day) == sizeof(void*) + 12);
static_assert(offsetof(TarnPacket, hour) == sizeof(void*) + 16);
static_assert(offsetof(TarnPacket, segments) == sizeof(void*) + 24);
static_assert(sizeof(void*) != 4 || (sizeof(TarnPacket) == 32 && sizeof(TarnSegment) == 16));

#if defined(_WIN32)
#define VELMOR_TARN_EXPORT __declspec(dllexport)
#else
#define VELMOR_TARN_EXPORT __attribute__((visibility("default")))
#endif

// The head of the carried list (kind TARN_KIND_HEAD). Exported by name from the executables that
// carry the image; the data is constant and lives for the whole run.
extern "C" VELMOR_TARN_EXPORT const TarnPacket* GetTarnBase();
