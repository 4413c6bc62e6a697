#include "sim/state_file_header.h"

#include <array>
#include <cstring>

#include "device/wire.h"

namespace sim {

namespace {

constexpr std::uint8_t kMagic[4] = {'V', 'S', 'I', 'M'};

constexpr std::array<std::uint32_t, 256> CrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

constexpr std::array<std::uint32_t, 256> kCrcTable = CrcTable();

}  // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::uint8_t b : bytes) crc = kCrcTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

std::vector<std::uint8_t> WithStateHeader(std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> file(kStateHeaderSize + payload.size());
  std::memcpy(file.data(), kMagic, sizeof kMagic);
  wire::PutU16(file.data() + 4, kStateFormatVersion);
  wire::PutU32(file.data() + 8, static_cast<std::uint32_t>(payload.size()));
  wire::PutU32(file.data() + 12, Crc32(payload));
  std::copy(payload.begin(), payload.end(), file.begin() + kStateHeaderSize);
  return file;
}

std::optional<std::vector<std::uint8_t>> StatePayload(std::span<const std::uint8_t> file,
                                                      std::size_t size, std::string& problem) {
  if (file.size() < kStateHeaderSize || std::memcmp(file.data(), kMagic, sizeof kMagic) != 0) {
    problem = "is not a state file of velmor-sim (" + std::to_string(file.size()) + " bytes)";
    return std::nullopt;
  }
  const std::uint16_t version = wire::GetU16(file.data() + 4);
  if (version != kStateFormatVersion) {
    problem = "has format version " + std::to_string(version) + "; this velmor-sim reads " +
              std::to_string(kStateFormatVersion);
    return std::nullopt;
  }
  const std::uint32_t length = wire::GetU32(file.data() + 8);
  const std::size_t held = file.size() - kStateHeaderSize;
  if (length != size || held != size) {
    problem = "holds " + std::to_string(held) + " bytes, not " + std::to_string(size);
    return std::nullopt;
  }
  const auto payload = file.subspan(kStateHeaderSize);
  if (Crc32(payload) != wire::GetU32(file.data() + 12)) {
    problem = "fails its checksum";
    return std::nullopt;
  }
  return std::vector<std::uint8_t>(payload.begin(), payload.end());
}

}  // namespace sim
