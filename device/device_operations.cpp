#include "device/device_operations.h"

#include <algorithm>

namespace device {

bool WaitNotBusy(CDeviceLink& link, Timing& timing) {
  timing.SleepMs(kBusyWaitPauseMs);
  const std::uint32_t start = timing.TickMs();
  for (;;) {
    ControlReply reply;
    if (!link.Request(&reply, CMD_GET_BUSY, 0, 0, 0, 0, nullptr)) return false;
    if (reply.Word() == 0) return true;
    if (static_cast<std::uint32_t>(timing.TickMs() - start) >= kBusyWaitLimitMs) return false;
  }
}

std::uint16_t ReadSpeedStatus(CDeviceLink& link) {
  ControlReply reply;  // zeroed, so a failed exchange reads as 0
  link.Request(&reply, CMD_GET_SPEED_STATUS, 0, 0, 0, 0, nullptr);
  return reply.Word();
}

bool ReadIdentity(CDeviceLink& link, DeviceIdentity& identity) {
  ControlReply reply;
  if (!link.Request(&reply, CMD_GET_IDENTITY, 0, 0, 0, 0, nullptr)) return false;
  std::copy_n(reply.bytes.begin() + ControlReply::kData, DeviceIdentity::kSize,
              identity.bytes.begin());
  return true;
}

RestartOutcome WaitForApplication(CDeviceLink& link, Timing& timing, const RestartLimits& limits) {
  const std::uint32_t start = timing.TickMs();
  std::uint32_t bootLoaderSince = start;
  bool inBootLoader = false;
  for (;;) {
    RestartOutcome seen;
    seen.present = link.IsPresent();
    seen.answered = seen.present && ReadIdentity(link, seen.identity);
    if (seen.answered && seen.identity.ApplicationRunning()) return seen;
    const std::uint32_t now = timing.TickMs();
    const bool bootLoaderOnly = seen.answered && seen.identity.BootLoaderOnly();
    if (bootLoaderOnly && !inBootLoader) bootLoaderSince = now;
    inBootLoader = bootLoaderOnly;
    if (inBootLoader && static_cast<std::uint32_t>(now - bootLoaderSince) >= limits.bootLoaderMs)
      return seen;
    if (static_cast<std::uint32_t>(now - start) >= limits.totalMs) return seen;
    timing.SleepMs(kRestartPollPauseMs);
  }
}

}  // namespace device
