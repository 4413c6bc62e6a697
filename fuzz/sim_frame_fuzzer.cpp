// Any sequence of request frames to the simulated device: each input byte string is cut into
// frames, each led by its length byte, and sent with and without a reply buffer.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "device/wire.h"
#include "sim/sim_device.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SimDevice device(SimOptions::Instant());
  std::size_t at = 0;
  while (at < size) {
    const std::size_t length = data[at] % 64;
    const bool replyAsked = (data[at] & 0x80) != 0;
    ++at;
    const std::size_t take = length < size - at ? length : size - at;
    std::array<std::uint8_t, ControlReply::kSize + 1> reply{};
    reply.back() = 0x5A;  // a guard: the device writes at most the reply
    device.Control(std::span(data + at, take), replyAsked ? reply.data() : nullptr);
    if (reply.back() != 0x5A) std::abort();
    at += take;
  }
  // Whatever happened, the device still reads out whole.
  const SettingsImage stored = device.StoredImage();
  (void)stored;
  (void)device.Identity();
  return 0;
}
