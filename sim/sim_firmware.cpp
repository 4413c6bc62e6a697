#include "sim/sim_firmware.h"

#include <algorithm>
#include <array>
#include <vector>

#include "sim/state_folder.h"

namespace {

constexpr std::uint32_t kSaveIntervalMs = 1000;

const char* FileOf(FlashModel::Region region) {
  return region == FlashModel::Region::kApplication ? SimStateFolder::kApplicationFile
                                                    : SimStateFolder::kBootFile;
}

const char* JournalOf(FlashModel::Region region) {
  return region == FlashModel::Region::kApplication ? SimStateFolder::kApplicationJournal
                                                    : SimStateFolder::kBootJournal;
}

// One journal record: u32 address, u16 count, 16 bytes, 2 spare; a torn last record is
// shorter and ignored.
constexpr std::size_t kRecordSize = 24;

std::array<std::uint8_t, kRecordSize> JournalRecord(const ProgramPacket& packet) {
  std::array<std::uint8_t, kRecordSize> record{};
  wire::PutU32(record.data(), packet.address);
  wire::PutU16(record.data() + 4, packet.count);
  std::copy_n(packet.bytes.begin(), packet.count, record.begin() + 6);
  return record;
}

// Programming only clears bits, so replaying a record a saved region already holds changes
// nothing.
void Replay(FlashModel& flash, FlashModel::Region region, const std::vector<std::uint8_t>& log) {
  for (std::size_t at = 0; at + kRecordSize <= log.size(); at += kRecordSize) {
    const std::uint32_t address = wire::GetU32(log.data() + at);
    const std::uint16_t count = wire::GetU16(log.data() + at + 4);
    if (count <= ProgramPacket::kMaxBytes)
      flash.Program(region, address, {log.data() + at + 6, count});
  }
}

}  // namespace

SimFirmware::SimFirmware(SimStateFolder* state, std::uint32_t eraseMs)
    : m_state(state), m_eraseMs(eraseMs) {
  if (m_state != nullptr) {
    for (auto region : {FlashModel::Region::kApplication, FlashModel::Region::kBoot}) {
      auto bytes = m_state->Load(FileOf(region), FlashModel::Size(region));
      if (!bytes || !m_flash.Load(region, *bytes)) {
        SaveRegion(region);
        continue;
      }
      const std::vector<std::uint8_t> journal = m_state->LoadAll(JournalOf(region));
      if (!journal.empty()) {
        Replay(m_flash, region, journal);
        SaveRegion(region);
      }
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
    case CMD_ERASE: {
      // An erase that is not kept is refused, and the region stays as it was.
      const auto span = m_flash.Bytes(m_region);
      const std::vector<std::uint8_t> before(span.begin(), span.end());
      m_flash.Erase(m_region);
      // The old packets must not come back onto the erased region.
      if (m_state != nullptr && !m_state->Remove(JournalOf(m_region))) {
        m_flash.Load(m_region, before);
        return false;
      }
      if (!SaveRegion(m_region)) {
        m_flash.Load(m_region, before);
        return false;
      }
      m_eraseStarted = true;
      m_eraseStartedAt = now;
      m_dirty = false;
      m_savedAt = now;
      return true;
    }
    case CMD_GET_ERASE_STATUS:
      if (reply != nullptr) {
        const bool done = Erase(now, eraseNeverEnds) == EraseState::kErased;
        wire::PutU16(reply + ControlReply::kData, done ? 1 : 0);
      }
      return true;
    case CMD_END_DOWNLOAD:
      return Save();
    case CMD_START_APPLICATION:
      if (!Save()) return false;
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
  // Acknowledged only once it is kept: in the journal until the region's file is saved.
  if (m_state != nullptr && !m_state->Append(JournalOf(m_region), JournalRecord(packet))) {
    return false;
  }
  SaveIfDue(now);
  return true;
}

bool SimFirmware::Save() {
  if (!m_dirty) return true;
  if (!SaveRegion(m_region)) return false;
  m_dirty = false;
  return true;
}

bool SimFirmware::SaveIfDue(std::uint32_t now) {
  if (!m_dirty) return true;
  if (!m_saveFailed && static_cast<std::uint32_t>(now - m_savedAt) < kSaveIntervalMs) return true;
  m_savedAt = now;
  return Save();
}

bool SimFirmware::SaveRegion(FlashModel::Region region) {
  if (m_state == nullptr) return true;
  m_saveFailed = !m_state->Save(FileOf(region), m_flash.Bytes(region));
  if (!m_saveFailed) m_state->Remove(JournalOf(region));
  return !m_saveFailed;
}
