#pragma once
// Which program the device runs (application or boot loader) and the update commands the boot
// loader serves: erase, program, end download, start the application.
// Not locked: SimDevice calls it under its own mutex.

#include <cstdint>
#include <optional>

#include "device/flash_trailer.h"
#include "device/wire.h"
#include "sim/flash_model.h"

class SimStateFolder;

class SimFirmware {
 public:
  enum class EraseState { kNone, kErasing, kErased };

  // Loads both regions from `state` when it holds them, else the factory contents (saved
  // there at once). The device starts in the application when its trailer is valid, else in
  // the boot loader. `state` may be null.
  SimFirmware(SimStateFolder* state, std::uint32_t eraseMs);

  // True when `command` is one of the boot loader's update commands handled here
  // (CMD_BEGIN_UPDATE is not: it restarts the device, which SimDevice does).
  static bool Handles(std::uint8_t command);
  // One request; false when it fails. `reply` is null or 32 zeroed bytes.
  bool Handle(const ReceivedFrame& frame, std::uint8_t* reply, std::uint32_t now,
              bool eraseNeverEnds);

  // CMD_BEGIN_UPDATE: the device runs its boot loader, ready to update `region`.
  void BeginUpdate(FlashModel::Region region);

  bool InBootLoader() const { return !m_application.has_value(); }
  // The running application's trailer; empty in the boot loader.
  const std::optional<flash::Trailer>& Application() const { return m_application; }
  FlashModel::Region UpdateRegion() const { return m_region; }
  EraseState Erase(std::uint32_t now, bool eraseNeverEnds) const;
  const FlashModel& Flash() const { return m_flash; }

  // Saves programmed bytes not saved yet. With `now`, only when the last save is at least a
  // second old (or failed), so that thousands of packets do not each rewrite the region.
  // False when the save failed; the bytes then stay to be saved.
  bool Save();
  bool SaveIfDue(std::uint32_t now);

 private:
  bool Program(const ReceivedFrame& frame, std::uint32_t now, bool eraseNeverEnds);
  bool SaveRegion(FlashModel::Region region);

  SimStateFolder* m_state;  // may be null
  std::uint32_t m_eraseMs;  // time an erase takes
  FlashModel m_flash;
  std::optional<flash::Trailer> m_application;                     // set while the application runs
  FlashModel::Region m_region = FlashModel::Region::kApplication;  // chosen by BEGIN_UPDATE
  bool m_eraseStarted = false;
  std::uint32_t m_eraseStartedAt = 0;  // device tick, ms
  bool m_dirty = false;                // programmed bytes not yet saved
  std::uint32_t m_savedAt = 0;         // device tick of the last save, ms
  bool m_saveFailed = false;           // the last save failed: try again at the next request
};
