#pragma once
// The device object as a Unix-domain SOCK_SEQPACKET socket served by velmor-sim.
// One connection per exchange: request message [output size, frame...], response message
// [completed, 32 reply bytes when asked]. Opening without sending is a presence probe.

#include <chrono>

#include "device/device_channel.h"

class SocketChannel final : public DeviceChannel {
 public:
  static constexpr std::chrono::milliseconds kDefaultTimeout{5000};

  explicit SocketChannel(std::chrono::milliseconds timeout = kDefaultTimeout)
      : m_timeout(timeout) {}

  Handle Open(const std::string& path) override;
  bool Control(Handle handle, const std::uint8_t* input, std::size_t inputSize,
               std::uint8_t* output, std::size_t outputSize) override;
  void Close(Handle handle) override;
  Failure LastFailure() const override { return m_failure; }

 private:
  std::chrono::milliseconds m_timeout;    // a response missing this long fails the request
  Failure m_failure = Failure::kUnknown;  // of the last Control; the link's lock guards it
};
