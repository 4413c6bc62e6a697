#include "device/wire.h"

#include <algorithm>

const char* CommandName(std::uint8_t command) {
  switch (command) {
    case CMD_GET_IDENTITY:
      return "GET_IDENTITY";
    case CMD_START_APPLICATION:
      return "START_APPLICATION";
    case CMD_GET_ERASE_STATUS:
      return "GET_ERASE_STATUS";
    case CMD_END_DOWNLOAD:
      return "END_DOWNLOAD";
    case CMD_GET_BUSY:
      return "GET_BUSY";
    case CMD_READ_SETTINGS:
      return "READ_SETTINGS";
    case CMD_GET_SPEED_STATUS:
      return "GET_SPEED_STATUS";
    case CMD_BEGIN_UPDATE:
      return "BEGIN_UPDATE";
    case CMD_ERASE:
      return "ERASE";
    case CMD_PROGRAM:
      return "PROGRAM";
    case CMD_RESTORE_DEFAULTS:
      return "RESTORE_DEFAULTS";
    case CMD_WRITE_SETTINGS:
      return "WRITE_SETTINGS";
    case CMD_SET_GAIN:
      return "SET_GAIN";
    case CMD_SET_POLARITY:
      return "SET_POLARITY";
    case CMD_SET_OUTPUT_RATE:
      return "SET_OUTPUT_RATE";
    case CMD_SET_EQUALIZATION:
      return "SET_EQUALIZATION";
    case CMD_SET_SPEED:
      return "SET_SPEED";
    case CMD_SET_MOTOR_VOLTAGE:
      return "SET_MOTOR_VOLTAGE";
    case CMD_SET_RAMP_SPEED:
      return "SET_RAMP_SPEED";
    default:
      return "?";
  }
}

bool ReceivedFrame::Parse(std::span<const std::uint8_t> bytes, ReceivedFrame& out) {
  if (bytes.size() < ControlRequest::kHeaderSize || bytes.size() > ControlRequest::kSize) {
    return false;
  }
  const std::size_t n = bytes[ControlRequest::kLength];
  if (n > ControlRequest::kMaxData || bytes.size() != ControlRequest::kHeaderSize + n) return false;
  out.command = bytes[ControlRequest::kCommand];
  out.value = wire::GetU16(&bytes[ControlRequest::kValue]);
  out.index = wire::GetU16(&bytes[ControlRequest::kIndexLow]);
  out.data = bytes.subspan(ControlRequest::kData, n);
  return true;
}

DeviceIdentity::Firmware DeviceIdentity::GetFirmware(std::size_t at) const {
  Firmware f;
  f.marker = bytes[at];
  f.day = bytes[at + 1];
  f.month = bytes[at + 2];
  f.year = bytes[at + 3];
  f.major = wire::GetU16(&bytes[at + 4]);
  f.minor = wire::GetU16(&bytes[at + 6]);
  return f;
}

void DeviceIdentity::PutFirmware(std::size_t at, const Firmware& f) {
  bytes[at] = f.marker;
  bytes[at + 1] = f.day;
  bytes[at + 2] = f.month;
  bytes[at + 3] = f.year;
  wire::PutU16(&bytes[at + 4], f.major);
  wire::PutU16(&bytes[at + 6], f.minor);
}

ProgramPacket ProgramPacket::Make(std::uint32_t address, std::span<const std::uint8_t> data) {
  ProgramPacket p;
  p.address = address;
  const std::size_t n = std::min(data.size(), kMaxBytes);
  std::copy_n(data.begin(), n, p.bytes.begin());
  std::size_t padded = (n + 3) & ~std::size_t{3};
  std::fill(p.bytes.begin() + static_cast<std::ptrdiff_t>(n),
            p.bytes.begin() + static_cast<std::ptrdiff_t>(padded), kFiller);
  p.count = static_cast<std::uint16_t>(padded);
  return p;
}

std::size_t ProgramPacket::Encode(std::uint8_t* out) const {
  wire::PutU32(out, address);
  wire::PutU16(out + 4, count);
  std::copy_n(bytes.begin(), count, out + kHeaderSize);
  return kHeaderSize + count;
}

bool ProgramPacket::Decode(std::span<const std::uint8_t> payload, ProgramPacket& out) {
  if (payload.size() < kHeaderSize) return false;
  const std::uint16_t count = wire::GetU16(&payload[4]);
  if (count > kMaxBytes || count % 4 != 0 || payload.size() != kHeaderSize + count) return false;
  out.address = wire::GetU32(&payload[0]);
  out.count = count;
  out.bytes.fill(0);
  std::copy_n(payload.begin() + kHeaderSize, count, out.bytes.begin());
  return true;
}

void EqualizationPayload::Encode(std::uint8_t* out) const {
  const auto mode = static_cast<std::uint16_t>(((curveMode & 0x7F) << 1) | (preset ? 0x100 : 0));
  wire::PutU16(out, mode);
  for (std::size_t i = 0; i < 4; ++i) wire::PutU16(out + 2 + 2 * i, t[i]);
}

EqualizationPayload EqualizationPayload::Decode(const std::uint8_t* in) {
  EqualizationPayload p;
  const std::uint16_t mode = wire::GetU16(in);
  p.curveMode = static_cast<std::uint8_t>((mode >> 1) & 0x7F);
  p.preset = (mode & 0x100) != 0;
  for (std::size_t i = 0; i < 4; ++i) p.t[i] = wire::GetU16(in + 2 + 2 * i);
  return p;
}

void SpeedPayload::Encode(std::uint8_t* out) const {
  wire::PutU16(out, speed);
  wire::PutU16(out + 2, static_cast<std::uint16_t>(absolute));
  wire::PutU16(out + 4, static_cast<std::uint16_t>(relative));
}

SpeedPayload SpeedPayload::Decode(const std::uint8_t* in) {
  SpeedPayload p;
  p.speed = wire::GetU16(in);
  p.absolute = wire::GetS16(in + 2);
  p.relative = wire::GetS16(in + 4);
  return p;
}
