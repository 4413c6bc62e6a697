#pragma once
// The one definition of the device's wire: command codes, the request frame, the reply, the
// identity block, the speed status word and the payloads. The tool, the simulator and velmorctl
// all include this header; no byte offset of the device exists anywhere else.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace wire {

// Every multi-byte field exchanged with the device is little-endian.
inline std::uint16_t GetU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::int16_t GetS16(const std::uint8_t* p) {
  return static_cast<std::int16_t>(GetU16(p));
}
inline std::uint32_t GetU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void PutU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace wire

// Command codes.
inline constexpr std::uint8_t CMD_GET_IDENTITY = 0x01;
inline constexpr std::uint8_t CMD_START_APPLICATION = 0x02;
inline constexpr std::uint8_t CMD_GET_ERASE_STATUS = 0x05;
inline constexpr std::uint8_t CMD_END_DOWNLOAD = 0x07;
inline constexpr std::uint8_t CMD_GET_BUSY = 0x09;
inline constexpr std::uint8_t CMD_READ_SETTINGS = 0x0A;
inline constexpr std::uint8_t CMD_GET_SPEED_STATUS = 0x13;
inline constexpr std::uint8_t CMD_BEGIN_UPDATE = 0x83;
inline constexpr std::uint8_t CMD_ERASE = 0x84;
inline constexpr std::uint8_t CMD_PROGRAM = 0x86;
inline constexpr std::uint8_t CMD_RESTORE_DEFAULTS = 0x8B;
inline constexpr std::uint8_t CMD_WRITE_SETTINGS = 0x8C;
inline constexpr std::uint8_t CMD_SET_GAIN = 0x8F;
inline constexpr std::uint8_t CMD_SET_POLARITY = 0x90;
inline constexpr std::uint8_t CMD_SET_OUTPUT_RATE = 0x91;
inline constexpr std::uint8_t CMD_SET_EQUALIZATION = 0x94;
inline constexpr std::uint8_t CMD_SET_SPEED = 0x95;
inline constexpr std::uint8_t CMD_SET_MOTOR_VOLTAGE = 0x96;
inline constexpr std::uint8_t CMD_SET_RAMP_SPEED = 0x97;

// Name of a command code for traces and messages; "?" for codes the device does not know.
const char* CommandName(std::uint8_t command);

// The driver's device-control code: device type 0x22, function 0x800, buffered, read access.
inline constexpr unsigned long IOCTL_VELMOR_CONTROL = 0x226000;

// Request frame: 6-byte header, then n <= 26 data bytes; exactly 6 + n bytes go on the wire.
struct ControlRequest {
  static constexpr std::size_t kCommand = 0;
  static constexpr std::size_t kLength = 1;
  static constexpr std::size_t kValue = 2;
  static constexpr std::size_t kIndexLow = 4;
  static constexpr std::size_t kIndexHigh = 5;
  static constexpr std::size_t kData = 6;
  static constexpr std::size_t kHeaderSize = 6;
  static constexpr std::size_t kMaxData = 26;
  static constexpr std::size_t kSize = 32;

  std::array<std::uint8_t, kSize> bytes{};

  std::uint8_t Command() const { return bytes[kCommand]; }
  std::uint8_t Length() const { return bytes[kLength]; }
  std::uint16_t Value() const { return wire::GetU16(&bytes[kValue]); }
  std::uint16_t Index() const { return wire::GetU16(&bytes[kIndexLow]); }
  std::size_t WireSize() const { return kHeaderSize + Length(); }
};

// A frame as it arrived on the wire, for whoever receives one (the simulator, test devices).
struct ReceivedFrame {
  std::uint8_t command = 0;
  std::uint16_t value = 0;
  std::uint16_t index = 0;
  std::span<const std::uint8_t> data;  // n bytes, n <= 26

  // False when the bytes are not a frame: shorter than the header, longer than 32, or a length
  // byte that disagrees with the bytes carried.
  static bool Parse(std::span<const std::uint8_t> bytes, ReceivedFrame& out);
};

// Reply buffer: 32 bytes, zeroed before each exchange; the tool reads from byte 6 on only.
struct ControlReply {
  static constexpr std::size_t kSize = 32;
  static constexpr std::size_t kData = 6;

  std::array<std::uint8_t, kSize> bytes{};

  std::uint16_t Word() const { return wire::GetU16(&bytes[kData]); }
};

// Device identity block: reply bytes 6..27 of CMD_GET_IDENTITY.
inline constexpr std::uint8_t FLAG_EEPROM = 0x02;
inline constexpr std::uint8_t FLAG_TRANSMITTER = 0x08;
inline constexpr std::uint8_t FLAG_FPGA = 0x10;
inline constexpr std::uint8_t FLAG_DSP = 0x20;

inline constexpr std::uint8_t kBootMarker = 0x21;         // '!'
inline constexpr std::uint8_t kApplicationMarker = 0x22;  // '"'

struct DeviceIdentity {
  static constexpr std::size_t kSize = 22;
  static constexpr std::size_t kMode = 0;
  static constexpr std::size_t kImageLength = 2;
  static constexpr std::size_t kHardwareFlags = 4;
  static constexpr std::size_t kBoot = 6;          // marker, day, month, year-2000, major, minor
  static constexpr std::size_t kApplication = 14;  // same layout as the boot entry

  // One firmware entry of the block: the boot loader's or the application's.
  struct Firmware {
    std::uint8_t marker = 0;
    std::uint8_t day = 0;
    std::uint8_t month = 0;
    std::uint8_t year = 0;  // year - 2000
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
  };

  std::array<std::uint8_t, kSize> bytes{};

  std::uint8_t DeviceMode() const { return bytes[kMode]; }
  std::uint16_t ImageLength() const { return wire::GetU16(&bytes[kImageLength]); }
  std::uint8_t HardwareFlags() const { return bytes[kHardwareFlags]; }
  Firmware Boot() const { return GetFirmware(kBoot); }
  Firmware Application() const { return GetFirmware(kApplication); }

  void SetDeviceMode(std::uint8_t mode) { bytes[kMode] = mode; }
  void SetImageLength(std::uint16_t length) { wire::PutU16(&bytes[kImageLength], length); }
  void SetHardwareFlags(std::uint8_t flags) { bytes[kHardwareFlags] = flags; }
  void SetBoot(const Firmware& f) { PutFirmware(kBoot, f); }
  void SetApplication(const Firmware& f) { PutFirmware(kApplication, f); }

  // Device states as the tool reads them; "connected" is a fresh presence probe of the caller's.
  bool ApplicationRunning() const { return bytes[kApplication] == kApplicationMarker; }
  bool BootLoaderOnly() const { return bytes[kBoot] == kBootMarker && bytes[kApplication] == 0; }

 private:
  Firmware GetFirmware(std::size_t at) const;
  void PutFirmware(std::size_t at, const Firmware& f);
};

// Speed status word, reply bytes 6-7 of CMD_GET_SPEED_STATUS.
inline constexpr std::uint16_t SPEED_STATUS_CHANGED = 0x0001;
inline constexpr std::uint16_t SPEED_STATUS_33 = 0x0002;
inline constexpr std::uint16_t SPEED_STATUS_45 = 0x0004;
inline constexpr std::uint16_t SPEED_STATUS_78 = 0x0008;

// Data of CMD_PROGRAM: u32 address, u16 count n (<= 16, a multiple of 4), n bytes.
struct ProgramPacket {
  static constexpr std::size_t kHeaderSize = 6;
  static constexpr std::size_t kMaxBytes = 16;
  static constexpr std::uint8_t kFiller = 0xFF;

  std::uint32_t address = 0;
  std::uint16_t count = 0;
  std::array<std::uint8_t, kMaxBytes> bytes{};

  // Takes at most 16 bytes of `data` and pads the count with 0xFF up to a multiple of 4.
  static ProgramPacket Make(std::uint32_t address, std::span<const std::uint8_t> data);
  // Writes the 6 + count payload bytes; returns their number.
  std::size_t Encode(std::uint8_t* out) const;
  // False unless the payload is a header and exactly `count` bytes, count <= 16 and % 4 == 0.
  static bool Decode(std::span<const std::uint8_t> payload, ProgramPacket& out);
};

// Data of CMD_SET_EQUALIZATION (10 bytes): mode word (curveMode in bits 1-7, preset flag in bit 8),
// then t1..t4 in microseconds.
struct EqualizationPayload {
  static constexpr std::size_t kSize = 10;
  std::uint8_t curveMode = 0;  // 7 bits
  bool preset = false;
  std::array<std::uint16_t, 4> t{};

  void Encode(std::uint8_t* out) const;
  static EqualizationPayload Decode(const std::uint8_t* in);
};

// Data of CMD_SET_SPEED (6 bytes): speed (33, 45, 78 or 0), absolute and relative correction.
struct SpeedPayload {
  static constexpr std::size_t kSize = 6;
  std::uint16_t speed = 0;
  std::int16_t absolute = 0;  // 0.1 % steps
  std::int16_t relative = 0;  // 0.1 % steps

  void Encode(std::uint8_t* out) const;
  static SpeedPayload Decode(const std::uint8_t* in);
};
