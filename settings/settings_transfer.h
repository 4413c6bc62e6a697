#pragma once
// Moves the settings image between the tool and the device: reads in 26-byte chunks after the
// busy wait, writes in 26-byte chunks with a commit, and restores the device's defaults.

#include <cstdint>
#include <functional>

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

// What the panel supplies; every hook may be left empty.
struct TransferHooks {
  // Shows the image in every control and selects the curve of presetIndex.
  std::function<void()> fillControls;
  // The curve sent after a read; empty: the image's slot presetIndex.
  std::function<EqCurve()> currentCurve;
  // Copies every control into the image before a write.
  std::function<void()> gatherControls;
  // "Initialize system data, too?" in service mode; true for yes. Empty: no.
  std::function<bool()> askInitSystemData;
  // Today's local date; empty: the system's.
  std::function<LocalDate()> today;
};

LocalDate TodayLocal();

class SettingsTransfer {
 public:
  SettingsTransfer(CDeviceLink& link, Timing& timing, SettingsImage& image, TransferHooks hooks)
      : m_link(link), m_timing(timing), m_image(image), m_hooks(std::move(hooks)) {}

  // Reads `length` bytes (at most 256), fills the controls and sends the selected curve.
  // True when every chunk was read.
  bool ReadSettings(std::uint16_t length);
  // The reading alone: waits for the device and reads the chunks, sending nothing that changes
  // what the device plays. True when every chunk was read.
  bool ReadImage(std::uint16_t length);
  // Gathers the controls and writes `length` bytes, commits and waits. Nothing at all for 0.
  // True when every chunk and the commit went through.
  bool WriteSettings(std::uint16_t length);
  // Sends the system data (kept, or fresh when the service question is answered yes) with
  // CMD_RESTORE_DEFAULTS, then reads. Nothing at all for length 0. True when the command went.
  bool RestoreDefaults(std::uint16_t length, bool serviceMode);
  bool WaitNotBusy();

 private:
  CDeviceLink& m_link;
  Timing& m_timing;
  SettingsImage& m_image;
  TransferHooks m_hooks;
};

}  // namespace settings
