#pragma once
// Template part of update_steps.h.

#include <algorithm>

#include "device/wire.h"
#include "firmware/update_texts.h"

namespace firmware::steps {

template <typename Sent>
void SendBytes(UpdateRun& run, std::uint32_t address, std::span<const std::uint8_t> bytes,
               bool& error, Sent&& sent) {
  std::size_t taken = 0;
  while (taken < bytes.size()) {
    if (run.Stopping()) return;
    const std::size_t n = std::min(bytes.size() - taken, ProgramPacket::kMaxBytes);
    const ProgramPacket packet = ProgramPacket::Make(address, bytes.subspan(taken, n));
    address += static_cast<std::uint32_t>(n);
    taken += n;
    const bool accepted = run.link.Program(packet);
    if (!accepted) {
      Post(run, 0, kTextCannotWrite);
      error = true;
    }
    sent(n, accepted);
  }
}

}  // namespace firmware::steps
