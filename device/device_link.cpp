#include "device/device_link.h"

#include <algorithm>
#include <cstring>

CDeviceLink::CDeviceLink() : CDeviceLink(MakePlatformChannel()) {}

CDeviceLink::CDeviceLink(std::unique_ptr<DeviceChannel> channel)
    : m_path(std::make_shared<const std::string>()), m_channel(std::move(channel)) {}

CDeviceLink::~CDeviceLink() = default;

void CDeviceLink::SetDeviceName(const char* path) {
  std::string text = path ? path : "";
  std::lock_guard guard(m_lock);
  if (*m_path.load() != text) m_path.store(std::make_shared<const std::string>(std::move(text)));
}

std::string CDeviceLink::DeviceName() const {
  return *m_path.load();
}

bool CDeviceLink::IsPresent() {
  const auto path = m_path.load();
  if (path->empty()) return false;
  const DeviceChannel::Handle handle = m_channel->Open(*path);
  if (handle == DeviceChannel::kInvalidHandle) return false;
  m_channel->Close(handle);
  return true;
}

CDeviceLink::LastRequest CDeviceLink::Last() const {
  const std::uint16_t last = m_last.load();
  return {static_cast<std::uint8_t>(last), static_cast<Outcome>(last >> 8)};
}

bool CDeviceLink::Request(ControlReply* reply, unsigned command, unsigned value, unsigned indexLow,
                          unsigned indexHigh, unsigned length, const void* data) {
  std::lock_guard guard(m_lock);
  const auto remember = [this, command](Outcome outcome) {
    m_last.store(static_cast<std::uint16_t>((command & 0xFF) |
                                            (unsigned{static_cast<std::uint8_t>(outcome)} << 8)));
  };
  const auto path = m_path.load();
  const DeviceChannel::Handle handle =
      path->empty() ? DeviceChannel::kInvalidHandle : m_channel->Open(*path);
  if (handle == DeviceChannel::kInvalidHandle) {
    remember(Outcome::kAbsent);
    return false;
  }

  const auto asked = static_cast<std::uint8_t>(length);
  const std::uint8_t n = asked > ControlRequest::kMaxData
                             ? static_cast<std::uint8_t>(ControlRequest::kMaxData)
                             : asked;
  auto& b = m_request.bytes;
  b[ControlRequest::kCommand] = static_cast<std::uint8_t>(command);
  b[ControlRequest::kLength] = n;
  wire::PutU16(&b[ControlRequest::kValue], static_cast<std::uint16_t>(value));
  b[ControlRequest::kIndexLow] = static_cast<std::uint8_t>(indexLow);
  b[ControlRequest::kIndexHigh] = static_cast<std::uint8_t>(indexHigh);
  if (data != nullptr && asked != 0) std::memcpy(&b[ControlRequest::kData], data, n);

  std::uint8_t* output = nullptr;
  std::size_t outputSize = 0;
  if (reply != nullptr) {
    reply->bytes.fill(0);
    output = reply->bytes.data();
    outputSize = ControlReply::kSize;
  }
  const bool ok =
      m_channel->Control(handle, b.data(), ControlRequest::kHeaderSize + n, output, outputSize);
  if (ok) {
    remember(Outcome::kCompleted);
  } else {
    switch (m_channel->LastFailure()) {
      case DeviceChannel::Failure::kRefused:
        remember(Outcome::kRefused);
        break;
      case DeviceChannel::Failure::kNoAnswer:
        remember(Outcome::kNoAnswer);
        break;
      case DeviceChannel::Failure::kUnknown:
        remember(Outcome::kFailed);
        break;
    }
  }
  m_channel->Close(handle);
  return ok;
}

bool CDeviceLink::BeginUpdate(std::uint8_t region) {
  return Request(nullptr, CMD_BEGIN_UPDATE, region, 0, 0, 0, nullptr);
}

bool CDeviceLink::StartApplication() {
  return Request(nullptr, CMD_START_APPLICATION, 0, 0, 0, 0, nullptr);
}

bool CDeviceLink::Erase() {
  return Request(nullptr, CMD_ERASE, 0, 0, 0, 0, nullptr);
}

bool CDeviceLink::GetEraseStatus(bool& done) {
  ControlReply reply;
  if (!Request(&reply, CMD_GET_ERASE_STATUS, 0, 0, 0, 0, nullptr)) return false;
  done = reply.Word() != 0;
  return true;
}

bool CDeviceLink::EndDownload() {
  return Request(nullptr, CMD_END_DOWNLOAD, 0, 0, 0, 0, nullptr);
}

bool CDeviceLink::Program(const ProgramPacket& packet) {
  std::uint8_t payload[ProgramPacket::kHeaderSize + ProgramPacket::kMaxBytes];
  const std::size_t size = packet.Encode(payload);
  return Request(nullptr, CMD_PROGRAM, 0, 0, 0, static_cast<unsigned>(size), payload);
}

bool CDeviceLink::ReadSettingsChunk(std::uint16_t offset, std::uint8_t count, std::uint8_t* bytes) {
  ControlReply reply;
  if (!Request(&reply, CMD_READ_SETTINGS, offset, count, 0, 0, nullptr)) return false;
  std::copy_n(reply.bytes.begin() + ControlReply::kData, count, bytes);
  return true;
}

bool CDeviceLink::WriteSettingsChunk(std::uint16_t offset, std::uint8_t count,
                                     const std::uint8_t* bytes) {
  return Request(nullptr, CMD_WRITE_SETTINGS, offset, 0, 0, count, bytes);
}

bool CDeviceLink::CommitSettings() {
  // The commit is the write command with index 1 and no data.
  return Request(nullptr, CMD_WRITE_SETTINGS, 0, 1, 0, 0, nullptr);
}

bool CDeviceLink::RestoreDefaults(std::span<const std::uint8_t, kSystemDataSize> systemData) {
  return Request(nullptr, CMD_RESTORE_DEFAULTS, 0, 0, 0, kSystemDataSize, systemData.data());
}

bool CDeviceLink::SetGain(std::int16_t gain) {
  return Request(nullptr, CMD_SET_GAIN, static_cast<std::uint16_t>(gain), 0, 0, 0, nullptr);
}

bool CDeviceLink::SetPolarity(unsigned polarity) {
  return Request(nullptr, CMD_SET_POLARITY, polarity, 0, 0, 0, nullptr);
}

bool CDeviceLink::SetOutputRate(unsigned code) {
  return Request(nullptr, CMD_SET_OUTPUT_RATE, code, 0, 0, 0, nullptr);
}

bool CDeviceLink::SetEqualization(unsigned curveMode, std::uint16_t t1, std::uint16_t t2,
                                  std::uint16_t t3, std::uint16_t t4, bool preset) {
  EqualizationPayload p;
  p.curveMode = static_cast<std::uint8_t>(curveMode & 0x7F);
  p.preset = preset;
  p.t = {t1, t2, t3, t4};
  std::uint8_t payload[EqualizationPayload::kSize];
  p.Encode(payload);
  return Request(nullptr, CMD_SET_EQUALIZATION, 0, 0, 0, sizeof payload, payload);
}

bool CDeviceLink::SetSpeed(std::uint16_t speed, std::int16_t absolute, std::int16_t relative) {
  const SpeedPayload p{speed, absolute, relative};
  std::uint8_t payload[SpeedPayload::kSize];
  p.Encode(payload);
  return Request(nullptr, CMD_SET_SPEED, 0, 0, 0, sizeof payload, payload);
}

bool CDeviceLink::SetRampSpeed(std::uint16_t ramp) {
  std::uint8_t payload[2];
  wire::PutU16(payload, ramp);
  return Request(nullptr, CMD_SET_RAMP_SPEED, 0, 0, 0, sizeof payload, payload);
}

bool CDeviceLink::SetMotorVoltage(std::uint16_t voltage) {
  std::uint8_t payload[2];
  wire::PutU16(payload, voltage);
  return Request(nullptr, CMD_SET_MOTOR_VOLTAGE, 0, 0, 0, sizeof payload, payload);
}
