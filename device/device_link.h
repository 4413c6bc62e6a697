#pragma once
// The device link: one exchange at a time with the device object, opened and closed per exchange.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "device/device_channel.h"
#include "device/wire.h"

class CDeviceLink {
 public:
  static constexpr std::size_t kSystemDataSize = 12;  // the block CMD_RESTORE_DEFAULTS carries

  // How a request ended, for messages that must tell a refusal from silence.
  enum class Outcome : std::uint8_t {
    kCompleted,
    kAbsent,    // the device object did not open: nothing was sent
    kRefused,   // the device answered that the request failed
    kNoAnswer,  // no answer came, or a short or late one
    kFailed,    // failed, and the channel cannot tell why
  };
  struct LastRequest {
    std::uint8_t command = 0;
    Outcome outcome = Outcome::kCompleted;
  };

  // Reaches the device through this platform's channel.
  CDeviceLink();
  explicit CDeviceLink(std::unique_ptr<DeviceChannel> channel);
  virtual ~CDeviceLink();

  CDeviceLink(const CDeviceLink&) = delete;
  CDeviceLink& operator=(const CDeviceLink&) = delete;

  // Stores a copy of the path; null stores an empty path, which never opens.
  void SetDeviceName(const char* path);
  std::string DeviceName() const;
  // Opens the device object and closes it at once. Sends nothing, takes no lock.
  bool IsPresent();
  // One exchange. `reply` is null when no answer is wanted; only the low 8 bits of the index
  // bytes and of `length` count, and a length above 26 is sent as 26.
  bool Request(ControlReply* reply, unsigned command, unsigned value, unsigned indexLow,
               unsigned indexHigh, unsigned length, const void* data);
  // The command and outcome of the latest Request, whichever thread made it.
  LastRequest Last() const;

  bool BeginUpdate(std::uint8_t region);
  bool StartApplication();
  bool Erase();
  // Writes `done` only when the exchange succeeded.
  bool GetEraseStatus(bool& done);
  bool EndDownload();
  bool Program(const ProgramPacket& packet);
  // Settings image transfer: `count` bytes (1..26) at `offset`; a read copies them into `bytes`
  // only when the exchange succeeded.
  bool ReadSettingsChunk(std::uint16_t offset, std::uint8_t count, std::uint8_t* bytes);
  bool WriteSettingsChunk(std::uint16_t offset, std::uint8_t count, const std::uint8_t* bytes);
  // Stores the staged chunks.
  bool CommitSettings();
  // Restores the device's defaults with the system data it is to hold afterwards.
  bool RestoreDefaults(std::span<const std::uint8_t, kSystemDataSize> systemData);

  // Live commands: what the device plays now; nothing is stored.
  bool SetGain(std::int16_t gain);
  bool SetPolarity(unsigned polarity);
  bool SetOutputRate(unsigned code);
  bool SetEqualization(unsigned curveMode, std::uint16_t t1, std::uint16_t t2, std::uint16_t t3,
                       std::uint16_t t4, bool preset);
  bool SetSpeed(std::uint16_t speed, std::int16_t absolute, std::int16_t relative);
  bool SetRampSpeed(std::uint16_t ramp);
  bool SetMotorVoltage(std::uint16_t voltage);

 private:
  // The path is replaced as a whole so that IsPresent can read it without the lock while a
  // connect stores it again; stores happen under m_lock.
  std::atomic<std::shared_ptr<const std::string>> m_path;
  std::mutex m_lock;         // serialises Request: held from before the open until after the close
  ControlRequest m_request;  // guarded by m_lock; never cleared between requests
  std::unique_ptr<DeviceChannel> m_channel;
  // Command in the low byte, Outcome above it; written under m_lock, read without it.
  std::atomic<std::uint16_t> m_last{0};
};
