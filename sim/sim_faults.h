#pragma once
// Faults a simulated device can be told to show, one field per kind. A default-constructed
// value is a healthy device.

#include <cstdint>
#include <optional>
#include <set>

struct SimFaults {
  // The next N requests fail, whatever their command (a presence probe does not count).
  unsigned failNext = 0;
  // Every request of these command codes fails until removed.
  std::set<std::uint8_t> failCommands;
  // CMD_GET_ERASE_STATUS never reports the erase finished.
  bool eraseNeverEnds = false;
  // CMD_GET_BUSY always reports busy.
  bool busyNeverEnds = false;

  // Odd identity values: each replaces only its field of CMD_GET_IDENTITY's block.
  std::optional<std::uint8_t> deviceMode;     // normally 2
  std::optional<std::uint8_t> hardwareFlags;  // normally 0x3A
  std::optional<std::uint16_t> imageLength;   // normally 238; also bounds the settings
                                              // commands (at most 256)
  bool bootLoaderOnly = false;  // the identity shows application marker 0; nothing else changes

  bool operator==(const SimFaults&) const = default;
};
