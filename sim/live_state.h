#pragma once
// What the device runs right now. The live commands (gain, polarity, output rate, equalization,
// speed, motor voltage, ramp) change only this; the stored settings image stays as it is until
// a commit or a restore of the defaults, after which the device runs the stored values again.

#include <cstdint>

#include "device/wire.h"
#include "settings/settings_image.h"

struct LiveState {
  std::int16_t gain = 0;                // 0.1 dB
  std::uint8_t polarity = 0;            // 0 normal, 1 inverted
  std::uint8_t outputRate = 2;          // 1 = 48 kHz, 2 = 96 kHz, 3 = 192 kHz
  EqualizationPayload equalization;     // curve mode, preset flag, t1..t4 in microseconds
  std::uint16_t speed = 33;             // active speed: 33, 45, 78, or 0 when the motor is off
  std::int16_t absoluteCorrection = 0;  // of the active speed, 0.1 %
  std::int16_t relativeCorrection = 0;  // of the active speed, 0.1 %
  std::uint16_t motorVoltage = 240;     // 0.1 V
  std::uint16_t rampSpeed = 2;

  // The stored settings as the device runs them, at the given active speed.
  static LiveState FromImage(const SettingsImage& image, std::uint16_t speed);
  // Takes the stored corrections of `newSpeed` (none for 0).
  void SelectSpeed(const SettingsImage& image, std::uint16_t newSpeed);
  // Speed status bits 1..3 of the active speed.
  std::uint16_t SpeedBits() const;
};
