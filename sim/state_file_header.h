#pragma once
// The header in front of every state file: "VSIM", format version (u16), 2 spare bytes, the
// payload's length (u32) and its CRC-32 (u32), little-endian.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim {

inline constexpr std::size_t kStateHeaderSize = 16;
inline constexpr std::uint16_t kStateFormatVersion = 1;

// CRC-32 (IEEE 802.3, reflected, as zlib computes it).
std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

// The header followed by `payload`.
std::vector<std::uint8_t> WithStateHeader(std::span<const std::uint8_t> payload);

// The payload of `file` when its header is sound and it holds `size` bytes; otherwise what
// is wrong, for people ("is not a state file of velmor-sim", "fails its checksum", ...).
std::optional<std::vector<std::uint8_t>> StatePayload(std::span<const std::uint8_t> file,
                                                      std::size_t size, std::string& problem);

}  // namespace sim
