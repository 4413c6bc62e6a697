#pragma once
// Listening SOCK_SEQPACKET sockets at a path, shared by the device object and the control socket.

#include <string>

namespace sim {

// A non-blocking listening socket bound at `path`, or -1 with a message in `error`.
// A socket file left by a simulator that died is replaced; one that still answers belongs to
// a running simulator, and anything that is not a socket is never removed.
int ListenAt(const std::string& path, std::string& error);

}  // namespace sim
