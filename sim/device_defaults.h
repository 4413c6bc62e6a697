#pragma once
// The device's own default settings, which CMD_RESTORE_DEFAULTS restores. They differ on
// purpose from the panel's defaults, so a restore is visible in the tool.

#include "settings/settings_image.h"

namespace sim {

// Settings image bytes the device holds (the identity's image length).
inline constexpr std::uint16_t kImageLength = 238;

// The device's defaults with `system` as bytes 0..11: gain +3.0 dB, 48 kHz, 15.5 V,
// ramp "Fast (1.5x)", slot 1 selected, eight curves of the device's own.
SettingsImage DeviceDefaults(const SystemData& system);

// System data of a device fresh from the factory: serial 12345, delivered 10.01.2006,
// motor control unit installed, automatic muting on.
SystemData FactorySystemData();

}  // namespace sim
