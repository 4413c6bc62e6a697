#pragma once
// The link's multi-exchange helpers: the busy wait, the speed status and the identity read.

#include <cstdint>

#include "device/device_link.h"
#include "device/timing.h"

namespace device {

// The busy wait gives up after this long and the caller goes on as after a failed poll.
inline constexpr std::uint32_t kBusyWaitLimitMs = 10000;
inline constexpr std::uint32_t kBusyWaitPauseMs = 200;

// Pauses 200 ms, then polls CMD_GET_BUSY until it fails or reports idle. True when idle was seen.
bool WaitNotBusy(CDeviceLink& link, Timing& timing);
// The speed status word; a failed exchange reads as 0.
std::uint16_t ReadSpeedStatus(CDeviceLink& link);
// Copies the identity block only when the exchange succeeds.
bool ReadIdentity(CDeviceLink& link, DeviceIdentity& identity);

// What a device that was told to restart showed last.
struct RestartOutcome {
  bool present = false;   // the device object opened
  bool answered = false;  // and its identity read succeeded
  DeviceIdentity identity;
};

inline constexpr std::uint32_t kRestartPollPauseMs = 200;

struct RestartLimits {
  std::uint32_t totalMs = 15000;
  // A boot loader that keeps answering this long has not restarted and will not.
  std::uint32_t bootLoaderMs = 3000;
};

// Polls presence and identity until the application runs or a limit has passed. The device may
// still answer from before its restart at first, so a boot loader is polled again for a while.
RestartOutcome WaitForApplication(CDeviceLink& link, Timing& timing, const RestartLimits& limits);

}  // namespace device
