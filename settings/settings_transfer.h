#pragma once
// Moves the settings image between the tool and the device: reads in 26-byte chunks after the
// busy wait, writes in 26-byte chunks with a commit, and restores the device's defaults. What
// runs around these (filling controls, sending the curve, asking about the system data) is the
// caller's.

#include <cstdint>

#include "device/device_link.h"
#include "device/timing.h"
#include "settings/settings_image.h"

namespace settings {

inline constexpr std::size_t kChunkSize = 26;

struct LocalDate {
  int year = 2000;  // full year
  int month = 1;    // 1..12
  int day = 1;      // 1..31
};

LocalDate TodayLocal();

class SettingsTransfer {
 public:
  SettingsTransfer(CDeviceLink& link, Timing& timing, SettingsImage& image)
      : m_link(link), m_timing(timing), m_image(image) {}

  // Waits for the device, then reads `length` bytes (at most 256) into the image; a failed
  // chunk ends the read and leaves the bytes from it on as they were. Sends nothing that
  // changes what the device plays. True when every chunk was read.
  bool ReadImage(std::uint16_t length);
  // Writes `length` bytes of the image in chunks, commits and waits for the device. Nothing at
  // all for 0. A failed chunk does not stop the others. True when every chunk and the commit
  // went through.
  bool WriteImage(std::uint16_t length);
  // Sends CMD_RESTORE_DEFAULTS with the system data the device is to hold afterwards. True when
  // the command went through; the image is not read back.
  bool RestoreDefaults(const SystemData& system);
  bool WaitNotBusy();

 private:
  CDeviceLink& m_link;
  Timing& m_timing;
  SettingsImage& m_image;
};

}  // namespace settings
