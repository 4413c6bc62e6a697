#pragma once
// The device's flash memory: the boot region 0x40000000-0x4000FFFF and the application region
// 0x40010000-0x4003FFFF. Erasing sets bytes to 0xFF; programming can only clear bits, as on
// real flash, so 0xFF fillers never spoil bytes already programmed.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "device/flash_trailer.h"

class FlashModel {
 public:
  enum class Region { kApplication, kBoot };

  // Factory contents in both regions.
  FlashModel();

  static std::uint32_t Start(Region region);
  static std::uint32_t End(Region region);  // one past the last byte
  static std::size_t Size(Region region) { return End(region) - Start(region); }

  std::span<const std::uint8_t> Bytes(Region region) const;
  // False (nothing changed) unless `bytes` is exactly the region's size.
  bool Load(Region region, std::span<const std::uint8_t> bytes);

  void Erase(Region region);
  // False (nothing written) unless [address, address + bytes.size()) lies inside `region`.
  bool Program(Region region, std::uint32_t address, std::span<const std::uint8_t> bytes);

  // The application's trailer when its region marker is the application's and its byte sum
  // matches the region; the device starts only such an application.
  std::optional<flash::Trailer> ValidApplication() const;

  // The factory application: V1.012 of 01.02.2006, 69,130 program bytes at 0x40010000,
  // the rest erased, and a trailer with the right sum.
  static std::vector<std::uint8_t> FactoryApplication();
  // Builds a whole application region from a program at 0x40010000 and a trailer whose sum
  // is computed here. For tests that need an image the device accepts.
  static std::vector<std::uint8_t> MakeApplication(std::span<const std::uint8_t> program,
                                                   flash::Trailer trailer);

 private:
  std::vector<std::uint8_t> m_application;  // Size(kApplication) bytes
  std::vector<std::uint8_t> m_boot;         // Size(kBoot) bytes
};
