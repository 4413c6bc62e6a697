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

bool SettingsTransfer::ReadSettings(std::uint16_t length) {
  const bool complete = ReadImage(length);
  if (m_hooks.fillControls) m_hooks.fillControls();
  const EqCurve curve =
      m_hooks.currentCurve ? m_hooks.currentCurve() : m_image.Curve(m_image.PresetIndex());
  m_link.SetEqualization(curve.CurveMode(), curve.T(0), curve.T(1), curve.T(2), curve.T(3), false);
  return complete;
}

bool SettingsTransfer::ReadImage(std::uint16_t length) {
  WaitNotBusy();
  const std::uint16_t l = Clamp(length);
  bool complete = true;
  for (std::uint16_t offset = 0; offset < l;
       offset = static_cast<std::uint16_t>(offset + kChunkSize)) {
    const std::uint8_t c = ChunkAt(offset, l);
    ControlReply reply;
    if (!m_link.Request(&reply, CMD_READ_SETTINGS, offset, c, 0, 0, nullptr)) {
      complete = false;
      break;
    }
    std::copy_n(reply.bytes.begin() + ControlReply::kData, c, m_image.Bytes().begin() + offset);
  }
  return complete;
}

bool SettingsTransfer::WriteSettings(std::uint16_t length) {
  if (length == 0) return true;
  if (m_hooks.gatherControls) m_hooks.gatherControls();
  const std::uint16_t l = Clamp(length);
  bool complete = true;
  for (std::uint16_t offset = 0; offset < l;
       offset = static_cast<std::uint16_t>(offset + kChunkSize)) {
    const std::uint8_t c = ChunkAt(offset, l);
    complete &= m_link.Request(nullptr, CMD_WRITE_SETTINGS, offset, 0, 0, c,
                               m_image.Bytes().data() + offset);
  }
  complete &= m_link.Request(nullptr, CMD_WRITE_SETTINGS, 0, 1, 0, 0, nullptr);
  WaitNotBusy();
  return complete;
}

bool SettingsTransfer::RestoreDefaults(std::uint16_t length, bool serviceMode) {
  if (length == 0) return true;
  SystemData block = m_image.GetSystemData();
  if (serviceMode && m_hooks.askInitSystemData && m_hooks.askInitSystemData()) {
    const LocalDate today = m_hooks.today ? m_hooks.today() : TodayLocal();
    block = SystemData::Fresh(today.year, today.month, today.day);
  }
  const auto bytes = block.Encode();
  const bool sent = m_link.Request(nullptr, CMD_RESTORE_DEFAULTS, 0, 0, 0,
                                   static_cast<unsigned>(bytes.size()), bytes.data());
  ReadSettings(length);
  return sent;
}

}  // namespace settings
