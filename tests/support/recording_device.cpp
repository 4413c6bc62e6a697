#include "tests/support/recording_device.h"

#include "device/inprocess_channel.h"

bool RecordingDevice::IsPlugged() {
  std::lock_guard guard(m_mutex);
  return m_plugged;
}

bool RecordingDevice::Control(std::span<const std::uint8_t> frame, std::uint8_t* reply) {
  RecordedFrame recorded{{frame.begin(), frame.end()}, reply != nullptr};
  Responder responder;
  {
    std::lock_guard guard(m_mutex);
    m_frames.push_back(recorded);
    if (auto it = m_responders.find(recorded.Command()); it != m_responders.end()) {
      responder = it->second;
    }
  }
  std::uint8_t scratch[32] = {};
  return responder ? responder(recorded, reply ? reply : scratch) : true;
}

void RecordingDevice::SetPlugged(bool plugged) {
  std::lock_guard guard(m_mutex);
  m_plugged = plugged;
}

void RecordingDevice::On(std::uint8_t command, Responder responder) {
  std::lock_guard guard(m_mutex);
  m_responders[command] = std::move(responder);
}

void RecordingDevice::ReplyWord(std::uint8_t command, std::uint16_t word) {
  On(command, [word](const RecordedFrame&, std::uint8_t* reply) {
    wire::PutU16(reply + 6, word);
    return true;
  });
}

void RecordingDevice::FailCommand(std::uint8_t command) {
  On(command, [](const RecordedFrame&, std::uint8_t*) { return false; });
}

std::vector<RecordedFrame> RecordingDevice::Frames() const {
  std::lock_guard guard(m_mutex);
  return m_frames;
}

std::vector<RecordedFrame> RecordingDevice::Frames(std::uint8_t command) const {
  std::lock_guard guard(m_mutex);
  std::vector<RecordedFrame> out;
  for (const auto& f : m_frames) {
    if (f.Command() == command) out.push_back(f);
  }
  return out;
}

void RecordingDevice::ClearFrames() {
  std::lock_guard guard(m_mutex);
  m_frames.clear();
}

std::unique_ptr<CDeviceLink> MakeLinkTo(DeviceEndpoint& device) {
  auto link = std::make_unique<CDeviceLink>(std::make_unique<InProcessChannel>(device));
  link->SetDeviceName("\\\\.\\VELMORUSBDevice0");
  return link;
}
