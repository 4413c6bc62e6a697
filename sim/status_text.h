#pragma once
// The simulator's state for people: what `velmor-sim --control status` prints.

#include <string>

class SimDevice;
class SimSocketServer;

namespace sim {

// Several lines; `server` may be null.
std::string StatusText(const SimDevice& device, const SimSocketServer* server);

}  // namespace sim
