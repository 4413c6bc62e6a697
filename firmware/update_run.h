#pragma once
// One firmware update as the worker runs it, with no thread and no toolkit: the device link, the
// clock and the report sink come from outside, so velmorctl drives it directly and tests run its
// fixed waits in virtual time.

#include <functional>
#include <string>

#include "device/device_link.h"
#include "device/timing.h"
#include "firmware/tarn_packet.h"
#include "firmware/update_sink.h"

namespace firmware {

struct UpdateRun {
  UpdateRun(CDeviceLink& link_, Timing& timing_, UpdateSink& sink_)
      : link(link_), timing(timing_), sink(sink_) {}

  CDeviceLink& link;
  Timing& timing;
  UpdateSink& sink;
  bool boot = false;                       // false: application region; true: boot region
  std::string fileName;                    // S-record file; empty selects the carried image
  const TarnPacket* base = GetTarnBase();  // the list DownloadImage looks in
  // Asked before each packet; true ends the download there, with no end-of-download commands,
  // leaving the device in its boot loader. Empty: never.
  std::function<bool()> stopRequested;

  bool Stopping() const { return stopRequested && stopRequested(); }
};

// Fixed waits of the device sequence.
inline constexpr unsigned kPresenceTries = 5;
inline constexpr std::uint32_t kPresencePauseMs = 1000;
inline constexpr unsigned kErasePolls = 100;
inline constexpr std::uint32_t kErasePollPauseMs = 100;
inline constexpr std::uint32_t kProgressIntervalMs = 100;  // at most one progress text per this
inline constexpr std::uint32_t kImageEndPauseMs = 1000;

// Start, the download the run asks for, end. True when every packet was accepted.
bool RunUpdate(UpdateRun& run);
// The carried image for the run's region.
bool DownloadImage(UpdateRun& run);
// The run's S-record file, checked whole before the device is touched.
bool DownloadFile(UpdateRun& run);

}  // namespace firmware
