#include "sim/live_state.h"

LiveState LiveState::FromImage(const SettingsImage& image, std::uint16_t speed) {
  LiveState live;
  live.gain = image.PhonoGain();
  live.polarity = image.PolarityInverted() ? 1 : 0;
  live.outputRate = image.OutputRate();
  const EqCurve curve = image.Curve(image.PresetIndex());
  live.equalization.curveMode = static_cast<std::uint8_t>(curve.CurveMode());
  for (int i = 0; i < 4; ++i) live.equalization.t[static_cast<std::size_t>(i)] = curve.T(i);
  live.motorVoltage = image.MotorVoltage();
  live.rampSpeed = static_cast<std::uint16_t>(image.RampSpeed());
  live.SelectSpeed(image, speed);
  return live;
}

void LiveState::SelectSpeed(const SettingsImage& image, std::uint16_t newSpeed) {
  speed = newSpeed;
  absoluteCorrection = 0;
  relativeCorrection = 0;
  SettingsImage::Speed which;
  switch (newSpeed) {
    case 33:
      which = SettingsImage::Speed::k33;
      break;
    case 45:
      which = SettingsImage::Speed::k45;
      break;
    case 78:
      which = SettingsImage::Speed::k78;
      break;
    default:
      return;
  }
  absoluteCorrection = image.AbsoluteCorrection(which);
  relativeCorrection = image.RelativeCorrection(which);
}

std::uint16_t LiveState::SpeedBits() const {
  switch (speed) {
    case 33:
      return SPEED_STATUS_33;
    case 45:
      return SPEED_STATUS_45;
    case 78:
      return SPEED_STATUS_78;
    default:
      return 0;
  }
}
