#include "sim/flash_model.h"

#include <algorithm>

namespace {

// Deterministic program bytes, the same on every run, so factory state files compare equal.
std::vector<std::uint8_t> PseudoRandomBytes(std::size_t count, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(count);
  std::uint32_t x = seed;
  for (auto& b : bytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  return bytes;
}

constexpr std::size_t kFactoryProgramSize = 69130;
constexpr std::size_t kFactoryBootSize = 0x4000;

}  // namespace

FlashModel::FlashModel()
    : m_application(FactoryApplication()), m_boot(Size(Region::kBoot), flash::kErased) {
  const auto boot = PseudoRandomBytes(kFactoryBootSize, 0x0B007u);
  std::copy(boot.begin(), boot.end(), m_boot.begin());
}

std::uint32_t FlashModel::Start(Region region) {
  return region == Region::kApplication ? flash::kApplicationStart : flash::kBootStart;
}

std::uint32_t FlashModel::End(Region region) {
  return region == Region::kApplication ? flash::kApplicationEnd : flash::kBootEnd;
}

std::span<const std::uint8_t> FlashModel::Bytes(Region region) const {
  return region == Region::kApplication ? m_application : m_boot;
}

bool FlashModel::Load(Region region, std::span<const std::uint8_t> bytes) {
  if (bytes.size() != Size(region)) return false;
  auto& target = region == Region::kApplication ? m_application : m_boot;
  target.assign(bytes.begin(), bytes.end());
  return true;
}

void FlashModel::Erase(Region region) {
  auto& target = region == Region::kApplication ? m_application : m_boot;
  std::fill(target.begin(), target.end(), flash::kErased);
}

bool FlashModel::Program(Region region, std::uint32_t address,
                         std::span<const std::uint8_t> bytes) {
  // 64-bit arithmetic: an address near 0xFFFFFFFF must not wrap into the region.
  const std::uint64_t first = address;
  const std::uint64_t last = first + bytes.size();
  if (first < Start(region) || last > End(region)) return false;
  auto& target = region == Region::kApplication ? m_application : m_boot;
  const std::size_t at = address - Start(region);
  for (std::size_t i = 0; i < bytes.size(); ++i) target[at + i] &= bytes[i];
  return true;
}

std::optional<flash::Trailer> FlashModel::ValidApplication() const {
  const flash::Trailer trailer =
      flash::Trailer::Decode(&m_application[flash::kTrailerAddress - flash::kApplicationStart]);
  if (trailer.region != 0x0022) return std::nullopt;
  if (trailer.sum != flash::ApplicationSum(m_application)) return std::nullopt;
  return trailer;
}

std::vector<std::uint8_t> FlashModel::FactoryApplication() {
  flash::Trailer trailer;
  trailer.major = 1;
  trailer.minor = 12;
  trailer.day = 1;
  trailer.month = 2;
  trailer.year = 2006;
  return MakeApplication(PseudoRandomBytes(kFactoryProgramSize, 0x1012u), trailer);
}

std::vector<std::uint8_t> FlashModel::MakeApplication(std::span<const std::uint8_t> program,
                                                      flash::Trailer trailer) {
  std::vector<std::uint8_t> region(Size(Region::kApplication), flash::kErased);
  const std::size_t trailerAt = flash::kTrailerAddress - flash::kApplicationStart;
  std::copy_n(program.begin(), std::min(program.size(), trailerAt), region.begin());
  trailer.sum = 0;
  trailer.Encode(&region[trailerAt]);
  trailer.sum = flash::ApplicationSum(region);
  trailer.Encode(&region[trailerAt]);
  return region;
}
