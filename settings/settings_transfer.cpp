#include "settings/settings_transfer.h"

#include <algorithm>
#include <ctime>

#include "device/device_operations.h"

namespace settings {

namespace {

// Only the first 256 bytes of a longer image are ever moved.
std::uint16_t Clamp(std::uint16_t length) {
  return static_cast<std::uint16_t>(std::min<std::size_t>(length, SettingsImage::kSize));
}

std::uint8_t ChunkAt(std::uint16_t offset, std::uint16_t length) {
  return static_cast<std::uint8_t>(std::min<std::size_t>(length - offset, kChunkSize));
}

}  // namespace

LocalDate TodayLocal() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

bool SettingsTransfer::WaitNotBusy() {
  return device::WaitNotBusy(m_link, m_timing);
}

bool SettingsTransfer::ReadImage(std::uint16_t length) {
  WaitNotBusy();
  const std::uint16_t l = Clamp(length);
  for (std::uint16_t offset = 0; offset < l;
       offset = static_cast<std::uint16_t>(offset + kChunkSize)) {
    if (!m_link.ReadSettingsChunk(offset, ChunkAt(offset, l), m_image.Bytes().data() + offset))
      return false;
  }
  return true;
}

bool SettingsTransfer::WriteImage(std::uint16_t length) {
  if (length == 0) return true;
  const std::uint16_t l = Clamp(length);
  bool complete = true;
  for (std::uint16_t offset = 0; offset < l;
       offset = static_cast<std::uint16_t>(offset + kChunkSize)) {
    complete &=
        m_link.WriteSettingsChunk(offset, ChunkAt(offset, l), m_image.Bytes().data() + offset);
  }
  complete &= m_link.CommitSettings();
  WaitNotBusy();
  return complete;
}

bool SettingsTransfer::RestoreDefaults(const SystemData& system) {
  return m_link.RestoreDefaults(system.Encode());
}

}  // namespace settings
