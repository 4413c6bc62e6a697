#pragma once
// The simulated device: everything the tool sees of the device behind its driver.
//
// Put it behind a link in-process for tests:
//
//   VirtualTiming timing;
//   SimOptions options;            // or SimOptions::Instant() for no waits at all
//   options.timing = &timing;
//   options.requestMs = 1;         // lets a busy wait on virtual time run out
//   SimDevice device(options);
//   auto link = MakeLinkTo(device);  // tests/support/recording_device.h
//   DeviceIdentity identity;
//   device::ReadIdentity(*link, identity);  // V1.012 application, V1.002 boot loader
//
// or serve it on the device path with SimSocketServer (sim/socket_server.h).
//
// What it does, per command (any other code, a malformed frame, a field out of range or a
// data length that does not fit the command makes the request fail):
// - CMD_GET_IDENTITY: mode 2, image length 238, hardware flags 0x3A, boot loader V1.002 of
//   10.01.2006; application marker 0x22 with version and date from the application's flash
//   trailer while the application runs, all zero in the boot loader.
// - Application only (they fail in the boot loader): CMD_READ_SETTINGS (value = offset,
//   index low = 1..26 bytes, within the image length) returns stored bytes;
//   CMD_WRITE_SETTINGS chunks (index 0) stage bytes and its commit (value 0, index 1, no data)
//   stores the staged image; CMD_RESTORE_DEFAULTS (12 system bytes) stores DeviceDefaults
//   (sim/device_defaults.h). Both stores make the device busy for busyMs and make it run the
//   stored values; writes and restores fail while it is busy. The live commands change only
//   Live(). CMD_GET_SPEED_STATUS reports the active speed and the change flag, then clears it.
// - CMD_GET_BUSY works in both programs.
// - CMD_BEGIN_UPDATE (value 0 application region, 1 boot region): from the application the
//   device restarts into its boot loader and is absent (IsPlugged false) for restartMs; in the
//   boot loader it only chooses the region. Then, boot loader only: CMD_ERASE fills the region
//   with 0xFF and runs eraseMs, CMD_GET_ERASE_STATUS answers non-zero once finished,
//   CMD_PROGRAM writes a ProgramPacket inside the region after the erase finished,
//   CMD_END_DOWNLOAD saves, CMD_START_APPLICATION runs the application when its trailer's sum
//   is right, restarting into it (absent for restartMs, as after CMD_BEGIN_UPDATE), and
//   otherwise stays in the boot loader (the request completes either way).
//
// Thread-safe: every member takes one mutex, so a socket server thread, a control thread and
// a test can use the device at once. Time comes from SimOptions::timing.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "device/device_endpoint.h"
#include "device/timing.h"
#include "device/wire.h"
#include "settings/settings_image.h"
#include "sim/flash_model.h"
#include "sim/live_state.h"
#include "sim/sim_faults.h"
#include "sim/sim_firmware.h"
#include "sim/sim_options.h"
#include "sim/sim_settings.h"

// One request as the device saw it, for the trace.
struct SimTraceEntry {
  std::vector<std::uint8_t> frame;  // exactly as received, header and data
  bool replyAsked = false;
  bool completed = false;
  std::array<std::uint8_t, ControlReply::kSize> reply{};  // as returned; zero when failed
};

class SimDevice final : public DeviceEndpoint {
 public:
  // Factory state, or the state folder's when SimOptions::state is set.
  explicit SimDevice(SimOptions options = {});
  // Saves flash bytes not saved yet.
  ~SimDevice() override;

  SimDevice(const SimDevice&) = delete;
  SimDevice& operator=(const SimDevice&) = delete;

  // DeviceEndpoint: present unless unplugged or restarting; one request.
  bool IsPlugged() override;
  bool Control(std::span<const std::uint8_t> frame, std::uint8_t* reply) override;

  // Control of the device from outside, as `velmor-sim --control` does.
  void Plug();
  void Unplug();
  // A speed change made on the device (33, 45, 78, or 0 for motor off): the speed status
  // shows it with the change flag until reported. False for any other speed.
  bool ChangeSpeedOnDevice(std::uint16_t speed);
  SimFaults Faults() const;
  void SetFaults(const SimFaults& faults);
  // Convenience edits of the faults.
  void FailNext(unsigned count);
  void FailCommand(std::uint8_t command, bool fail = true);
  void ResetFaults();

  // Observation, for tests and the control `status`.
  bool Unplugged() const;   // unplugged by control (not counting a restart)
  bool Restarting() const;  // absent for a moment after CMD_BEGIN_UPDATE
  // Times the device went away, by unplug or restart: a watcher that looks now and then
  // learns of an absence shorter than its period.
  std::uint64_t Absences() const;
  bool InBootLoader() const;
  FlashModel::Region UpdateRegion() const;
  SimFirmware::EraseState EraseState() const;
  bool Busy() const;
  // The block CMD_GET_IDENTITY returns now, faults included.
  DeviceIdentity Identity() const;
  SettingsImage StoredImage() const;
  SettingsImage StagedImage() const;
  LiveState Live() const;
  // The speed status word as it would be reported now; does not clear the change flag.
  std::uint16_t SpeedStatus() const;
  std::vector<std::uint8_t> Flash(FlashModel::Region region) const;
  std::uint64_t RequestCount() const;  // requests seen, failed ones included
  // "kept in <folder>", with the saves that failed and the last cause; "not kept" without one.
  std::string StorageText() const;

  // Called for every request, under the device's lock and in request order; it must not call
  // back into the device. Empty: no trace.
  void SetTrace(std::function<void(const SimTraceEntry&)> trace);
  // Saves flash bytes programmed but not saved yet (they are saved at the end of a download,
  // on start of the application and at least once a second while programming).
  void Flush();

 private:
  bool Dispatch(const ReceivedFrame& frame, std::uint8_t* reply, std::uint32_t now);
  bool RestartingLocked(std::uint32_t now) const;
  void EndRestartWhenDue(std::uint32_t now);
  DeviceIdentity IdentityLocked() const;
  std::uint32_t Now() const { return m_timing->TickMs(); }

  SimOptions m_options;
  std::unique_ptr<Timing> m_ownTiming;  // the system clock when no timing was given
  Timing* m_timing;

  mutable std::mutex m_mutex;  // guards every member below
  SimSettings m_settings;
  SimFirmware m_firmware;
  SimFaults m_faults;
  bool m_unplugged = false;
  bool m_restarting = false;
  std::uint32_t m_restartedAt = 0;  // device tick of CMD_BEGIN_UPDATE, ms
  std::uint64_t m_absences = 0;
  std::uint64_t m_requests = 0;
  std::function<void(const SimTraceEntry&)> m_trace;
};
