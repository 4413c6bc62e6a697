#include "device/inprocess_channel.h"

DeviceChannel::Handle InProcessChannel::Open(const std::string& /*path*/) {
  return m_endpoint.IsPlugged() ? 1 : kInvalidHandle;
}

bool InProcessChannel::Control(Handle /*handle*/, const std::uint8_t* input, std::size_t inputSize,
                               std::uint8_t* output, std::size_t outputSize) {
  return m_endpoint.Control({input, inputSize}, outputSize == 32 ? output : nullptr);
}

void InProcessChannel::Close(Handle /*handle*/) {}
