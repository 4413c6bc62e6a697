#include "cli/settings_text.h"

namespace cli {

const char* OutputRateName(unsigned code) {
  switch (code) {
    case 1:
      return "48 kHz/24 bit";
    case 2:
      return "96 kHz/24 bit";
    case 3:
      return "192 kHz/24 bit";
    default:
      return "unknown";
  }
}

const char* RampSpeedName(unsigned ramp) {
  static const char* const kNames[] = {"Slowest (0.5x)", "Slow (0.67x)",  "Normal",
                                       "Fast (1.5x)",    "Faster (2.0x)", "Fastest (4.0x)",
                                       "No Ramping"};
  return ramp < 7 ? kNames[ramp] : "unknown";
}

const char* PolarityName(bool inverted) {
  return inverted ? "inverted" : "normal";
}
const char* MotorUnitName(bool installed) {
  return installed ? "installed" : "not installed";
}
const char* AutoMuteName(bool on) {
  return on ? "on" : "off";
}

}  // namespace cli
