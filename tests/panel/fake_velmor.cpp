#include "tests/panel/fake_velmor.h"

#include <algorithm>
#include <cstring>

#include "settings/settings_image.h"

DeviceIdentity FakeVelmor::DefaultIdentity() {
  DeviceIdentity id;
  id.SetDeviceMode(2);
  id.SetImageLength(238);
  id.SetHardwareFlags(0x3A);
  id.SetBoot({kBootMarker, 10, 1, 6, 1, 2});
  id.SetApplication({kApplicationMarker, 1, 2, 6, 1, 12});
  return id;
}

FakeVelmor::FakeVelmor() {
  SettingsImage defaults;
  defaults.SetPanelDefaults();
  stored = defaults.Bytes();
  staged = stored;

  device.On(CMD_GET_IDENTITY, [this](const RecordedFrame&, std::uint8_t* reply) {
    std::memcpy(reply + 6, identity.bytes.data(), DeviceIdentity::kSize);
    return true;
  });
  device.On(CMD_READ_SETTINGS, [this](const RecordedFrame& f, std::uint8_t* reply) {
    const std::size_t offset = f.Value();
    const std::size_t count = std::min<std::size_t>(f.Index() & 0xFF, 26);
    if (offset + count > stored.size()) return false;
    std::memcpy(reply + 6, stored.data() + offset, count);
    return true;
  });
  device.On(CMD_WRITE_SETTINGS, [this](const RecordedFrame& f, std::uint8_t*) {
    if (f.Length() == 0) {
      if ((f.Index() & 0xFF) == 1) stored = staged;
      return true;
    }
    const auto data = f.Data();
    if (f.Value() + data.size() > staged.size()) return false;
    std::copy(data.begin(), data.end(), staged.begin() + f.Value());
    return true;
  });
  device.On(CMD_GET_SPEED_STATUS, [this](const RecordedFrame&, std::uint8_t* reply) {
    wire::PutU16(reply + 6, speedStatus);
    speedStatus &= static_cast<std::uint16_t>(~SPEED_STATUS_CHANGED);
    return true;
  });
  device.On(CMD_RESTORE_DEFAULTS, [this](const RecordedFrame& f, std::uint8_t*) {
    const auto data = f.Data();
    std::copy_n(data.begin(), std::min<std::size_t>(data.size(), 12), restoredWith.begin());
    ++restoreCount;
    return true;
  });
}
