#pragma once
// Calls a device endpoint directly, for fast tests of everything above the wire.

#include "device/device_channel.h"
#include "device/device_endpoint.h"

class InProcessChannel final : public DeviceChannel {
 public:
  explicit InProcessChannel(DeviceEndpoint& endpoint) : m_endpoint(endpoint) {}

  Handle Open(const std::string& path) override;
  bool Control(Handle handle, const std::uint8_t* input, std::size_t inputSize,
               std::uint8_t* output, std::size_t outputSize) override;
  void Close(Handle handle) override;
  // Nothing lies between the link and the endpoint to lose an answer.
  Failure LastFailure() const override { return Failure::kRefused; }

 private:
  DeviceEndpoint& m_endpoint;
};
