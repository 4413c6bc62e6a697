#pragma once
// The application's settings commands: the stored image, the image being staged by write
// chunks, the busy time after a store, the running (live) state and the speed status.
// Not locked: SimDevice calls it under its own mutex.

#include <cstdint>

#include "device/wire.h"
#include "settings/settings_image.h"
#include "sim/live_state.h"

class SimStateFolder;

class SimSettings {
 public:
  // What one request may see of the device beyond the frame.
  struct Context {
    std::uint32_t now = 0;          // device tick, ms
    std::size_t imageLength = 238;  // bytes the settings commands may touch, <= 256
    bool busyNeverEnds = false;
  };

  // Loads the stored image from `state` when it holds one, else the device's defaults with
  // the factory system data (saved there at once). `state` may be null.
  SimSettings(SimStateFolder* state, std::uint32_t busyMs);

  // True when `command` is one of the commands handled here.
  static bool Handles(std::uint8_t command);
  // One request; false when it fails. `reply` is null or 32 zeroed bytes.
  bool Handle(const ReceivedFrame& frame, std::uint8_t* reply, const Context& context);

  // A speed change made on the device: the motor runs at `speed` (33, 45, 78, or 0 for off)
  // with its stored corrections, and the change flag is raised. False for any other speed.
  bool ChangeSpeedOnDevice(std::uint16_t speed);

  bool Busy(const Context& context) const;
  const SettingsImage& Stored() const { return m_stored; }
  const SettingsImage& Staged() const { return m_staged; }
  const LiveState& Live() const { return m_live; }
  // The word CMD_GET_SPEED_STATUS would report now, without clearing the change flag.
  std::uint16_t SpeedStatus() const;

 private:
  bool Read(const ReceivedFrame& frame, std::uint8_t* reply, const Context& context);
  bool Write(const ReceivedFrame& frame, const Context& context);
  bool Restore(const ReceivedFrame& frame, const Context& context);
  bool SetLive(const ReceivedFrame& frame);
  // Saves `image`, then makes it the stored one and runs it; the device is busy for a while.
  // False, with nothing changed, when it could not be saved.
  bool Store(const SettingsImage& image, std::uint32_t now);

  SimStateFolder* m_state;  // may be null
  std::uint32_t m_busyMs;   // busy time after a store
  SettingsImage m_stored;   // what the device keeps and reads return
  SettingsImage m_staged;   // write chunks land here; a commit stores it whole
  LiveState m_live;
  bool m_speedChanged = false;  // change flag: raised on the device, cleared once reported
  bool m_busySinceStore = false;
  std::uint32_t m_storedAt = 0;  // device tick of the last store, ms
};
