// The socket server's wire faults, kept with the device model: the control commands set and
// show them on every system, while only POSIX systems serve the socket.

#include "sim/socket_server.h"

WireFaults SimSocketServer::Faults() const {
  std::lock_guard guard(m_mutex);
  return m_faults;
}

void SimSocketServer::SetFaults(const WireFaults& faults) {
  std::lock_guard guard(m_mutex);
  m_faults = faults;
}
