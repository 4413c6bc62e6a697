#pragma once
// Names of the settings image's coded values, as the panel lists them.

#include <cstdint>
#include <string>

namespace cli {

const char* OutputRateName(unsigned code);  // "48 kHz/24 bit", ...; "unknown" without an entry
const char* RampSpeedName(unsigned ramp);   // "Slowest (0.5x)", ...; "unknown" for 7
const char* PolarityName(bool inverted);    // "normal", "inverted"
const char* MotorUnitName(bool installed);  // "not installed", "installed"
const char* AutoMuteName(bool on);          // "off", "on"

}  // namespace cli
