#pragma once
// The control commands of a running simulator (`velmor-sim --control ...`), executed against
// its device and its socket server.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class SimDevice;
class SimSocketServer;

namespace sim {

struct ControlResult {
  bool ok = false;
  std::string text;  // status, confirmation, or what was wrong with the command
};

// Usage text listing every command.
const char* ControlUsage();

// Executes one command given as words. `server` may be null (no wire faults then).
ControlResult ExecuteControl(const std::vector<std::string>& words, SimDevice& device,
                             SimSocketServer* server);

// A command code from "READ_SETTINGS", "CMD_READ_SETTINGS" (any case), "10" or "0x0A".
std::optional<std::uint8_t> ParseCommandCode(const std::string& text);

}  // namespace sim
