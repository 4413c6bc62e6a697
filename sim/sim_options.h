#pragma once
// How a simulated device behaves in time, and where it keeps its memory.

#include <cstdint>

class Timing;
class SimStateFolder;

struct SimOptions {
  // The device object is absent this long after CMD_BEGIN_UPDATE while the device restarts
  // into its boot loader. 0: never absent.
  std::uint32_t restartMs = 1200;
  // CMD_ERASE runs this long before CMD_GET_ERASE_STATUS reports it finished.
  std::uint32_t eraseMs = 1500;
  // CMD_GET_BUSY reports busy this long after a commit or a restore of the defaults.
  std::uint32_t busyMs = 300;
  // Device time one exchange costs: the device sleeps this long on `timing` per request.
  // Leave 0 with the system clock. With a virtual clock set it to 1 or more, so that a
  // caller polling without sleeps (the busy wait) still sees time pass and ends.
  std::uint32_t requestMs = 0;

  // The clock: null uses the system clock. Not owned; must outlive the device.
  Timing* timing = nullptr;
  // Settings and flash memory are loaded from here at construction and every change is
  // saved back. Null: the device starts from its factory state and keeps nothing.
  // Not owned; must outlive the device.
  SimStateFolder* state = nullptr;

  // No waits at all: no restart absence, instant erase, never busy.
  static SimOptions Instant() {
    SimOptions o;
    o.restartMs = 0;
    o.eraseMs = 0;
    o.busyMs = 0;
    return o;
  }
};
