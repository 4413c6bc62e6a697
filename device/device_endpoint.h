#pragma once
// What sits behind the device object: the simulator, or a test device. The in-process channel
// calls it directly; the simulator's socket server calls it for each connection.

#include <cstdint>
#include <span>

class DeviceEndpoint {
 public:
  virtual ~DeviceEndpoint() = default;

  // Whether the device object exists (plugged in and not restarting).
  virtual bool IsPlugged() = 0;
  // One control request frame (6..32 bytes). `reply` is null or 32 zeroed bytes to fill.
  // True when the request completed.
  virtual bool Control(std::span<const std::uint8_t> frame, std::uint8_t* reply) = 0;
};
