#pragma once
// A scripted VELMOR for the panel's tests: a RecordingDevice that keeps a settings image,
// answers the identity and speed status, and records every frame.

#include <array>
#include <cstdint>
#include <memory>

#include "device/device_link.h"
#include "tests/support/recording_device.h"

struct FakeVelmor {
  FakeVelmor();

  // Application V1.012 of 01.02.2006, boot loader V1.002 of 10.01.2006, mode 2, 238 bytes,
  // every hardware part found (0x3A).
  static DeviceIdentity DefaultIdentity();

  RecordingDevice device;
  DeviceIdentity identity = DefaultIdentity();
  std::array<std::uint8_t, 256> stored{};  // the device's settings image
  std::array<std::uint8_t, 256> staged{};  // written chunks until the commit
  std::uint16_t speedStatus = 0;           // the change flag clears once reported
  std::array<std::uint8_t, 12> restoredWith{};
  int restoreCount = 0;
};

// Frames of one command, newest last.
inline std::vector<RecordedFrame> FramesOf(const FakeVelmor& fake, std::uint8_t command) {
  return fake.device.Frames(command);
}
