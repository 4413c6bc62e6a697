#pragma once
// A test device behind the in-process channel: records every frame it receives and answers
// from a per-command script. Starts plugged, answering every request with an all-zero reply.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "device/device_endpoint.h"
#include "device/device_link.h"
#include "device/wire.h"

struct RecordedFrame {
  std::vector<std::uint8_t> bytes;  // exactly as on the wire
  bool replyAsked = false;

  // Read as the device reads it; bytes that are no frame read as an empty command 0.
  ReceivedFrame Parsed() const {
    ReceivedFrame frame;
    return ReceivedFrame::Parse(bytes, frame) ? frame : ReceivedFrame{};
  }
  std::uint8_t Command() const { return Parsed().command; }
  std::uint8_t Length() const { return static_cast<std::uint8_t>(Parsed().data.size()); }
  std::uint16_t Value() const { return Parsed().value; }
  std::uint16_t Index() const { return Parsed().index; }
  std::vector<std::uint8_t> Data() const {
    const auto data = Parsed().data;
    return {data.begin(), data.end()};
  }
};

class RecordingDevice final : public DeviceEndpoint {
 public:
  // Fills the 32 reply bytes (already zeroed) and returns whether the request completes.
  using Responder = std::function<bool(const RecordedFrame& frame, std::uint8_t* reply)>;

  bool IsPlugged() override;
  bool Control(std::span<const std::uint8_t> frame, std::uint8_t* reply) override;

  void SetPlugged(bool plugged);
  void On(std::uint8_t command, Responder responder);
  // Answers `command` with `word` at reply bytes 6-7.
  void ReplyWord(std::uint8_t command, std::uint16_t word);
  void FailCommand(std::uint8_t command);

  std::vector<RecordedFrame> Frames() const;
  std::vector<RecordedFrame> Frames(std::uint8_t command) const;
  void ClearFrames();

 private:
  mutable std::mutex m_mutex;  // guards every member below
  bool m_plugged = true;
  std::map<std::uint8_t, Responder> m_responders;
  std::vector<RecordedFrame> m_frames;
};

// A link that reaches `device` in-process, its path already set.
std::unique_ptr<CDeviceLink> MakeLinkTo(DeviceEndpoint& device);
