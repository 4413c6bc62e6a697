#pragma once
// Test helpers for firmware updates: a sink that records every report, S-record lines made by
// hand, and a device that answers an update the way a healthy one does.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "device/device_link.h"
#include "firmware/update_sink.h"
#include "tests/support/recording_device.h"
#include "tests/support/virtual_timing.h"

struct UpdateEvent {
  enum Kind { kStart, kPost, kSend, kEnd } kind;
  unsigned percent = 0;  // status: percent; end: 1 for success
  std::string text;

  bool operator==(const UpdateEvent&) const = default;
};

class UpdateRecorder final : public firmware::UpdateSink {
 public:
  void Start() override { events.push_back({UpdateEvent::kStart, 0, {}}); }
  void PostStatus(unsigned percent, std::string text) override {
    events.push_back({UpdateEvent::kPost, percent, std::move(text)});
  }
  void SendStatus(unsigned percent, std::string text) override {
    events.push_back({UpdateEvent::kSend, percent, std::move(text)});
  }
  void End(bool success) override { events.push_back({UpdateEvent::kEnd, success ? 1u : 0u, {}}); }

  // Status texts in order, posted or sent.
  std::vector<std::string> Texts() const;
  std::size_t Count(const std::string& text) const;

  std::vector<UpdateEvent> events;
};

// A device that is back at once after CMD_BEGIN_UPDATE and has erased by the first poll, and a
// link to it.
struct HealthyDevice {
  HealthyDevice();

  // Command codes of every frame, in order.
  std::vector<std::uint8_t> Commands() const;

  RecordingDevice device;
  std::unique_ptr<CDeviceLink> link;
  VirtualTiming timing;
};

// "S<type><count><address><data><checksum>" with the right count and checksum.
std::string MakeSRecord(unsigned type, std::uint32_t address,
                        const std::vector<std::uint8_t>& data);

// A file in the test's temporary folder, removed with the object.
class TempFile {
 public:
  explicit TempFile(const std::string& text, const std::string& suffix = ".srec");
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  std::string Path() const { return m_path.string(); }

 private:
  std::filesystem::path m_path;
};

std::string ReadText(const std::string& path);
