#pragma once
// The control socket's protocol, shared by the simulator that serves it and by
// `velmor-sim --control`: SOCK_SEQPACKET, one command per connection, the command's words each
// followed by a newline; the answer is "ok\n" or "error\n" and then the text for people.

#include <cstddef>
#include <string>

#include "device/device_path.h"

namespace sim {

// Largest command or answer message, bytes.
inline constexpr std::size_t kMaxControlMessage = 16384;

inline constexpr const char* kControlAnswerOk = "ok";
inline constexpr const char* kControlAnswerError = "error";

// <device folder>/velmor-sim.control
inline std::string ControlPath() {
  return device::DeviceFolder() + "/velmor-sim.control";
}

}  // namespace sim
