#include "sim/sim_firmware.h"

#include <cstdio>

#include "sim/state_folder.h"

namespace {

constexpr std::uint32_t kSaveIntervalMs = 1000;

const char* FileOf(FlashModel::Region region) {
  return region == FlashModel::Region::kApplication ? SimStateFolder::kApplicationFile
                                                    : SimStateFolder::kBootFile;
}

}  // namespace

SimFirmware::SimFirmware(SimStateFolder* state, std::uint32_t eraseMs)
    : m_state(state), m_eraseMs(eraseMs) {
  if (m_state != nullptr) {
    for (auto region : {FlashModel::Region::kApplication, FlashModel::Region::kBoot}) {
      auto bytes = m_state->Load(FileOf(region), FlashModel::Size(region));
      if (!bytes || !m_flash.Load(region, *bytes)) SaveRegion(region);
    }
  }
  m_application = m_flash.ValidApplication();
}

bool SimFirmware::Handles(std::uint8_t command) {
  switch (command) {
    case CMD_ERASE:
    case CMD_GET_ERASE_STATUS:
    case CMD_PROGRAM:
    case CMD_END_DOWNLOAD:
    case CMD_START_APPLICATION:
      return true;
    default:
      return false;
  }
}

void SimFirmware::BeginUpdate(FlashModel::Region region) {
  Save();
  m_application.reset();
  m_region = region;
  m_eraseStarted = false;
}

SimFirmware::EraseState SimFirmware::Erase(std::uint32_t now, bool eraseNeverEnds) const {
  if (!m_eraseStarted) return EraseState::kNone;
  if (eraseNeverEnds || static_cast<std::uint32_t>(now - m_eraseStartedAt) < m_eraseMs) {
    return EraseState::kErasing;
  }
  return EraseState::kErased;
}

bool SimFirmware::Handle(const ReceivedFrame& frame, std::uint8_t* reply, std::uint32_t now,
                         bool eraseNeverEnds) {
  if (!InBootLoader() || frame.index != 0 || frame.value != 0) return false;
  if (frame.command == CMD_PROGRAM) return Program(frame, now, eraseNeverEnds);
  if (!frame.data.empty()) return false;
  switch (frame.command) {
    case CMD_ERASE:
      m_flash.Erase(m_region);
      m_eraseStarted = true;
      m_eraseStartedAt = now;
      m_dirty = false;
      m_savedAt = now;
      SaveRegion(m_region);
      return true;
    case CMD_GET_ERASE_STATUS:
      if (reply != nullptr) {
        const bool done = Erase(now, eraseNeverEnds) == EraseState::kErased;
        wire::PutU16(reply + ControlReply::kData, done ? 1 : 0);
      }
      return true;
    case CMD_END_DOWNLOAD:
      Save();
      return true;
    case CMD_START_APPLICATION:
      Save();
      // A wrong sum leaves the boot loader running; the request itself still completes.
      m_application = m_flash.ValidApplication();
      m_eraseStarted = false;
      return true;
    default:
      return false;
  }
}

bool SimFirmware::Program(const ReceivedFrame& frame, std::uint32_t now, bool eraseNeverEnds) {
  ProgramPacket packet;
  if (!ProgramPacket::Decode(frame.data, packet)) return false;
  if (Erase(now, eraseNeverEnds) != EraseState::kErased) return false;
  if (!m_flash.Program(m_region, packet.address, {packet.bytes.data(), packet.count})) {
    return false;
  }
  m_dirty = true;
  SaveIfDue(now);
  return true;
}

void SimFirmware::Save() {
  if (!m_dirty) return;
  SaveRegion(m_region);
  m_dirty = false;
}

void SimFirmware::SaveIfDue(std::uint32_t now) {
  if (!m_dirty || static_cast<std::uint32_t>(now - m_savedAt) < kSaveIntervalMs) return;
  Save();
  m_savedAt = now;
}

void SimFirmware::SaveRegion(FlashModel::Region region) {
  if (m_state == nullptr) return;
  if (!m_state->Save(FileOf(region), m_flash.Bytes(region))) {
    std::fprintf(stderr, "velmor-sim: cannot save %s\n", m_state->PathOf(FileOf(region)).c_str());
  }
}
