#include "sim/sim_settings.h"

#include <algorithm>
#include <cstdio>

#include "settings/settings_fields.h"
#include "sim/device_defaults.h"
#include "sim/state_folder.h"

namespace {

bool NoParameters(const ReceivedFrame& f) {
  return f.value == 0 && f.index == 0;
}

}  // namespace

SimSettings::SimSettings(SimStateFolder* state, std::uint32_t busyMs)
    : m_state(state), m_busyMs(busyMs) {
  bool loaded = false;
  if (m_state != nullptr) {
    if (auto bytes = m_state->Load(SimStateFolder::kSettingsFile, SettingsImage::kSize)) {
      std::copy(bytes->begin(), bytes->end(), m_stored.Bytes().begin());
      loaded = true;
    }
  }
  if (!loaded) {
    m_stored = sim::DeviceDefaults(sim::FactorySystemData());
    // A failure is reported by the folder and shows in the control `status`.
    if (m_state != nullptr) m_state->Save(SimStateFolder::kSettingsFile, m_stored.Bytes());
  }
  m_staged = m_stored;
  m_live = LiveState::FromImage(m_stored, 33);
}

bool SimSettings::Handles(std::uint8_t command) {
  switch (command) {
    case CMD_GET_BUSY:
    case CMD_READ_SETTINGS:
    case CMD_WRITE_SETTINGS:
    case CMD_RESTORE_DEFAULTS:
    case CMD_GET_SPEED_STATUS:
    case CMD_SET_GAIN:
    case CMD_SET_POLARITY:
    case CMD_SET_OUTPUT_RATE:
    case CMD_SET_EQUALIZATION:
    case CMD_SET_SPEED:
    case CMD_SET_MOTOR_VOLTAGE:
    case CMD_SET_RAMP_SPEED:
      return true;
    default:
      return false;
  }
}

bool SimSettings::Handle(const ReceivedFrame& frame, std::uint8_t* reply, const Context& context) {
  // Forget an old store, so the tick counter's wrap never makes the device busy again.
  if (m_busySinceStore && static_cast<std::uint32_t>(context.now - m_storedAt) >= m_busyMs) {
    m_busySinceStore = false;
  }
  switch (frame.command) {
    case CMD_GET_BUSY:
      if (!NoParameters(frame) || !frame.data.empty()) return false;
      if (reply != nullptr) wire::PutU16(reply + ControlReply::kData, Busy(context) ? 1 : 0);
      return true;
    case CMD_GET_SPEED_STATUS:
      if (!NoParameters(frame) || !frame.data.empty()) return false;
      if (reply != nullptr) {
        wire::PutU16(reply + ControlReply::kData, SpeedStatus());
        m_speedChanged = false;  // reported only when someone could see it
      }
      return true;
    case CMD_READ_SETTINGS:
      return Read(frame, reply, context);
    case CMD_WRITE_SETTINGS:
      return Write(frame, context);
    case CMD_RESTORE_DEFAULTS:
      return Restore(frame, context);
    default:
      return SetLive(frame);
  }
}

bool SimSettings::Read(const ReceivedFrame& frame, std::uint8_t* reply, const Context& context) {
  const std::size_t offset = frame.value;
  const std::size_t count = frame.index & 0xFF;
  if ((frame.index >> 8) != 0 || !frame.data.empty()) return false;
  if (count < 1 || count > ControlRequest::kMaxData || offset + count > context.imageLength) {
    return false;
  }
  if (reply != nullptr) {
    std::copy_n(m_stored.Bytes().begin() + static_cast<std::ptrdiff_t>(offset), count,
                reply + ControlReply::kData);
  }
  return true;
}

bool SimSettings::Write(const ReceivedFrame& frame, const Context& context) {
  if (Busy(context)) return false;  // a store is still running
  if (frame.index == 0x0001) {
    if (frame.value != 0 || !frame.data.empty()) return false;
    return Store(m_staged, context.now);
  }
  const std::size_t offset = frame.value;
  if (frame.index != 0 || frame.data.empty() || offset + frame.data.size() > context.imageLength) {
    return false;
  }
  std::copy(frame.data.begin(), frame.data.end(),
            m_staged.Bytes().begin() + static_cast<std::ptrdiff_t>(offset));
  return true;
}

bool SimSettings::Restore(const ReceivedFrame& frame, const Context& context) {
  if (!NoParameters(frame) || frame.data.size() != SystemData::kSize || Busy(context)) {
    return false;
  }
  return Store(sim::DeviceDefaults(SystemData::Decode(frame.data.data())), context.now);
}

bool SimSettings::SetLive(const ReceivedFrame& frame) {
  if (frame.index != 0) return false;
  const auto value = static_cast<std::int16_t>(frame.value);
  const std::uint8_t* data = frame.data.data();
  const std::size_t n = frame.data.size();
  switch (frame.command) {
    case CMD_SET_GAIN:
      if (n != 0 || !settings::kPhonoGainField.InRange(value)) return false;
      m_live.gain = value;
      return true;
    case CMD_SET_POLARITY:
      if (n != 0 || !settings::kPolarityField.InRange(frame.value)) return false;
      m_live.polarity = static_cast<std::uint8_t>(frame.value);
      return true;
    case CMD_SET_OUTPUT_RATE:
      if (n != 0 || !settings::kOutputRateField.InRange(frame.value)) return false;
      m_live.outputRate = static_cast<std::uint8_t>(frame.value);
      return true;
    case CMD_SET_EQUALIZATION:
      if (frame.value != 0 || n != EqualizationPayload::kSize) return false;
      m_live.equalization = EqualizationPayload::Decode(data);
      return true;
    case CMD_SET_SPEED: {
      if (frame.value != 0 || n != SpeedPayload::kSize) return false;
      const SpeedPayload p = SpeedPayload::Decode(data);
      if (p.speed != 0 && p.speed != 33 && p.speed != 45 && p.speed != 78) return false;
      if (!settings::kAbsoluteCorrectionField.InRange(p.absolute) ||
          !settings::kRelativeCorrectionField.InRange(p.relative))
        return false;
      m_live.speed = p.speed;
      m_live.absoluteCorrection = p.absolute;
      m_live.relativeCorrection = p.relative;
      return true;
    }
    case CMD_SET_MOTOR_VOLTAGE: {
      if (frame.value != 0 || n != 2) return false;
      const std::uint16_t voltage = wire::GetU16(data);
      if (!settings::kMotorVoltageField.InRange(voltage)) return false;
      m_live.motorVoltage = voltage;
      return true;
    }
    case CMD_SET_RAMP_SPEED: {
      if (frame.value != 0 || n != 2) return false;
      const std::uint16_t ramp = wire::GetU16(data);
      if (!settings::kRampSpeedField.InRange(ramp)) return false;
      m_live.rampSpeed = ramp;
      return true;
    }
    default:
      return false;
  }
}

bool SimSettings::Store(const SettingsImage& image, std::uint32_t now) {
  // Like a device whose memory write fails: a store that is not kept is not acknowledged, and
  // the device goes on with what it had.
  if (m_state != nullptr && !m_state->Save(SimStateFolder::kSettingsFile, image.Bytes())) {
    return false;
  }
  m_stored = image;
  m_staged = image;
  m_live = LiveState::FromImage(m_stored, m_live.speed);
  m_busySinceStore = true;
  m_storedAt = now;
  return true;
}

bool SimSettings::ChangeSpeedOnDevice(std::uint16_t speed) {
  if (speed != 0 && speed != 33 && speed != 45 && speed != 78) return false;
  m_live.SelectSpeed(m_stored, speed);
  m_speedChanged = true;
  return true;
}

bool SimSettings::Busy(const Context& context) const {
  if (context.busyNeverEnds) return true;
  return m_busySinceStore && static_cast<std::uint32_t>(context.now - m_storedAt) < m_busyMs;
}

std::uint16_t SimSettings::SpeedStatus() const {
  return static_cast<std::uint16_t>(m_live.SpeedBits() |
                                    (m_speedChanged ? SPEED_STATUS_CHANGED : 0));
}
