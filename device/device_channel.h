#pragma once
// How the link reaches the device object: open a path, one control request, close.
// Channels are equals behind this interface: the Win32 driver, the local socket, in-process.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class DeviceChannel {
 public:
  using Handle = std::intptr_t;
  static constexpr Handle kInvalidHandle = -1;

  virtual ~DeviceChannel() = default;

  // kInvalidHandle when the device object does not open.
  virtual Handle Open(const std::string& path) = 0;
  // One device-control request. `output` is null (outputSize 0) or a 32-byte buffer.
  // True when the request completed.
  virtual bool Control(Handle handle, const std::uint8_t* input, std::size_t inputSize,
                       std::uint8_t* output, std::size_t outputSize) = 0;
  virtual void Close(Handle handle) = 0;
  // Why the last Control returned false, where the channel can tell.
  enum class Failure { kUnknown, kRefused, kNoAnswer };
  virtual Failure LastFailure() const { return Failure::kUnknown; }
};

// The channel of this platform: the driver on Windows, the local socket elsewhere.
std::unique_ptr<DeviceChannel> MakePlatformChannel();
