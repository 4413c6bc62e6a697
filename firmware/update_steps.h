#pragma once
// Steps both downloads share: waiting for the device after it restarts for the update, polling
// the erase, and programming a run of bytes in packets.

#include <cstdint>
#include <span>

#include "firmware/update_run.h"

namespace firmware::steps {

// Up to kPresenceTries pauses, each followed by a presence probe; true once the device is seen.
bool WaitForDevice(UpdateRun& run);

// Up to kErasePolls polls, each after a pause; the last poll may still report finished.
// False when a poll's exchange fails (no text) or the erase never finished, which posts
// "ERROR: Please restart unit!".
bool AwaitErase(UpdateRun& run);

// Sends `bytes` from `address` on in packets of at most 16 bytes. Each refused packet posts
// "ERROR: Can't write to device" and sets `error`; the rest are still sent. `sent(n, accepted)`
// runs after every packet with the number of bytes it took from `bytes`. Sends nothing more once
// the run is stopping.
template <typename Sent>
void SendBytes(UpdateRun& run, std::uint32_t address, std::span<const std::uint8_t> bytes,
               bool& error, Sent&& sent);

// Post a status with a copy of a constant text.
void Post(UpdateRun& run, unsigned percent, const char* text);

}  // namespace firmware::steps

#include "firmware/update_steps_inl.h"
