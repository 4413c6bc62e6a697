#include "sim/sim_device.h"

#include "sim/state_folder.h"

#include <algorithm>

#include "sim/device_defaults.h"

namespace {

// Identity fields of the boot loader, which no update here replaces.
constexpr std::uint8_t kDeviceMode = 2;
constexpr std::uint8_t kHardwareFlags = FLAG_EEPROM | FLAG_TRANSMITTER | FLAG_FPGA | FLAG_DSP;
constexpr DeviceIdentity::Firmware kBootLoader{kBootMarker, 10, 1, 6, 1, 2};

// Bytes of the settings image the device holds, as the identity declares them.
std::size_t SettingsLength(const SimFaults& faults) {
  return std::min<std::size_t>(faults.imageLength.value_or(sim::kImageLength),
                               SettingsImage::kSize);
}

}  // namespace

SimDevice::SimDevice(SimOptions options)
    : m_options(options),
      m_ownTiming(options.timing ? nullptr : std::make_unique<SystemTiming>()),
      m_timing(options.timing ? options.timing : m_ownTiming.get()),
      m_settings(options.state, options.busyMs),
      m_firmware(options.state, options.eraseMs) {}

SimDevice::~SimDevice() {
  Flush();
}

bool SimDevice::IsPlugged() {
  std::lock_guard guard(m_mutex);
  EndRestartWhenDue(Now());
  return !m_unplugged && !m_restarting;
}

bool SimDevice::Control(std::span<const std::uint8_t> frame, std::uint8_t* reply) {
  if (m_options.requestMs != 0) m_timing->SleepMs(m_options.requestMs);
  std::array<std::uint8_t, ControlReply::kSize> answer{};
  std::lock_guard guard(m_mutex);
  const std::uint32_t now = Now();
  ++m_requests;
  EndRestartWhenDue(now);

  bool completed = false;
  ReceivedFrame parsed;
  if (m_unplugged || m_restarting) {
    completed = false;  // the device went away after the open
  } else if (m_faults.failNext > 0) {
    --m_faults.failNext;
  } else if (ReceivedFrame::Parse(frame, parsed) &&
             !m_faults.failCommands.contains(parsed.command)) {
    completed = Dispatch(parsed, reply != nullptr ? answer.data() : nullptr, now);
  }
  if (!completed) answer.fill(0);
  if (reply != nullptr) std::copy(answer.begin(), answer.end(), reply);
  m_firmware.SaveIfDue(now);

  if (m_trace) {
    SimTraceEntry entry;
    entry.frame.assign(frame.begin(), frame.end());
    entry.replyAsked = reply != nullptr;
    entry.completed = completed;
    if (reply != nullptr) entry.reply = answer;
    m_trace(entry);
  }
  return completed;
}

bool SimDevice::Dispatch(const ReceivedFrame& frame, std::uint8_t* reply, std::uint32_t now) {
  if (frame.command == CMD_GET_IDENTITY) {
    if (frame.value != 0 || frame.index != 0 || !frame.data.empty()) return false;
    if (reply != nullptr) {
      const DeviceIdentity identity = IdentityLocked();
      std::copy(identity.bytes.begin(), identity.bytes.end(), reply + ControlReply::kData);
    }
    return true;
  }
  if (frame.command == CMD_BEGIN_UPDATE) {
    if (frame.value > 1 || frame.index != 0 || !frame.data.empty()) return false;
    const bool fromApplication = !m_firmware.InBootLoader();
    m_firmware.BeginUpdate(frame.value == 0 ? FlashModel::Region::kApplication
                                            : FlashModel::Region::kBoot);
    if (fromApplication && m_options.restartMs != 0) {
      if (!m_restarting) ++m_absences;
      m_restarting = true;
      m_restartedAt = now;
    }
    return true;
  }
  if (SimFirmware::Handles(frame.command)) {
    const bool completed = m_firmware.Handle(frame, reply, now, m_faults.eraseNeverEnds);
    // A device that starts its application comes back on the bus as a new device, which is
    // what tells a watching tool to connect again.
    if (completed && frame.command == CMD_START_APPLICATION && !m_firmware.InBootLoader() &&
        m_options.restartMs != 0) {
      if (!m_restarting) ++m_absences;
      m_restarting = true;
      m_restartedAt = now;
    }
    return completed;
  }
  if (SimSettings::Handles(frame.command)) {
    const SimSettings::Context context{now, SettingsLength(m_faults), m_faults.busyNeverEnds};
    if (m_firmware.InBootLoader() && frame.command != CMD_GET_BUSY) return false;
    return m_settings.Handle(frame, reply, context);
  }
  return false;
}

void SimDevice::EndRestartWhenDue(std::uint32_t now) {
  // Cleared once over, so the tick counter's wrap never makes the device absent again.
  if (m_restarting && !RestartingLocked(now)) m_restarting = false;
}

bool SimDevice::RestartingLocked(std::uint32_t now) const {
  return m_restarting && static_cast<std::uint32_t>(now - m_restartedAt) < m_options.restartMs;
}

DeviceIdentity SimDevice::IdentityLocked() const {
  DeviceIdentity identity;
  identity.SetDeviceMode(m_faults.deviceMode.value_or(kDeviceMode));
  identity.SetImageLength(m_faults.imageLength.value_or(sim::kImageLength));
  identity.SetHardwareFlags(m_faults.hardwareFlags.value_or(kHardwareFlags));
  identity.SetBoot(kBootLoader);
  if (const auto& trailer = m_firmware.Application(); trailer && !m_faults.bootLoaderOnly) {
    DeviceIdentity::Firmware application;
    application.marker = kApplicationMarker;
    application.day = static_cast<std::uint8_t>(trailer->day);
    application.month = static_cast<std::uint8_t>(trailer->month);
    application.year = static_cast<std::uint8_t>(trailer->year - 2000);
    application.major = trailer->major;
    application.minor = trailer->minor;
    identity.SetApplication(application);
  }
  return identity;
}

void SimDevice::Plug() {
  std::lock_guard guard(m_mutex);
  m_unplugged = false;
}

void SimDevice::Unplug() {
  std::lock_guard guard(m_mutex);
  if (!m_unplugged) ++m_absences;
  m_unplugged = true;
}

std::uint64_t SimDevice::Absences() const {
  std::lock_guard guard(m_mutex);
  return m_absences;
}

bool SimDevice::ChangeSpeedOnDevice(std::uint16_t speed) {
  std::lock_guard guard(m_mutex);
  return m_settings.ChangeSpeedOnDevice(speed);
}

SimFaults SimDevice::Faults() const {
  std::lock_guard guard(m_mutex);
  return m_faults;
}

void SimDevice::SetFaults(const SimFaults& faults) {
  std::lock_guard guard(m_mutex);
  m_faults = faults;
}

void SimDevice::FailNext(unsigned count) {
  std::lock_guard guard(m_mutex);
  m_faults.failNext = count;
}

void SimDevice::FailCommand(std::uint8_t command, bool fail) {
  std::lock_guard guard(m_mutex);
  if (fail) {
    m_faults.failCommands.insert(command);
  } else {
    m_faults.failCommands.erase(command);
  }
}

void SimDevice::ResetFaults() {
  SetFaults({});
}

bool SimDevice::Unplugged() const {
  std::lock_guard guard(m_mutex);
  return m_unplugged;
}

bool SimDevice::Restarting() const {
  std::lock_guard guard(m_mutex);
  return RestartingLocked(Now());
}

bool SimDevice::InBootLoader() const {
  std::lock_guard guard(m_mutex);
  return m_firmware.InBootLoader();
}

FlashModel::Region SimDevice::UpdateRegion() const {
  std::lock_guard guard(m_mutex);
  return m_firmware.UpdateRegion();
}

SimFirmware::EraseState SimDevice::EraseState() const {
  std::lock_guard guard(m_mutex);
  return m_firmware.Erase(Now(), m_faults.eraseNeverEnds);
}

bool SimDevice::Busy() const {
  std::lock_guard guard(m_mutex);
  return m_settings.Busy({Now(), SettingsLength(m_faults), m_faults.busyNeverEnds});
}

DeviceIdentity SimDevice::Identity() const {
  std::lock_guard guard(m_mutex);
  return IdentityLocked();
}

SettingsImage SimDevice::StoredImage() const {
  std::lock_guard guard(m_mutex);
  return m_settings.Stored();
}

SettingsImage SimDevice::StagedImage() const {
  std::lock_guard guard(m_mutex);
  return m_settings.Staged();
}

LiveState SimDevice::Live() const {
  std::lock_guard guard(m_mutex);
  return m_settings.Live();
}

std::uint16_t SimDevice::SpeedStatus() const {
  std::lock_guard guard(m_mutex);
  return m_settings.SpeedStatus();
}

std::vector<std::uint8_t> SimDevice::Flash(FlashModel::Region region) const {
  std::lock_guard guard(m_mutex);
  const auto bytes = m_firmware.Flash().Bytes(region);
  return {bytes.begin(), bytes.end()};
}

std::uint64_t SimDevice::RequestCount() const {
  std::lock_guard guard(m_mutex);
  return m_requests;
}

void SimDevice::SetTrace(std::function<void(const SimTraceEntry&)> trace) {
  std::lock_guard guard(m_mutex);
  m_trace = std::move(trace);
}

std::string SimDevice::StorageText() const {
  std::lock_guard lock(m_mutex);
  const SimStateFolder* state = m_options.state;
  if (state == nullptr) return "not kept";
  if (state->FailedSaves() == 0) return "kept in " + state->Folder();
  return "kept in " + state->Folder() + ", " + std::to_string(state->FailedSaves()) +
         " saves FAILED (last: " + state->LastFailure() + ")";
}

void SimDevice::Flush() {
  std::lock_guard guard(m_mutex);
  m_firmware.Save();
}
