#pragma once
// One trace line per request: command (name and code), value, index, data, result, reply.

#include <string>

#include "sim/sim_device.h"

namespace sim {

// "READ_SETTINGS (0x0A) value=0x0000 index=0x001A data=- result=ok reply=00 00 ..."
// A frame that is not a frame shows its bytes as "malformed=...".
std::string FormatTraceLine(const SimTraceEntry& entry);

}  // namespace sim
