#pragma once
// The socket server in a private device folder, reached through the tool's own socket channel
// or raw sockets, with a log of what the serving thread did.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <mutex>

#include "device/unix_socket.h"
#include "sim/sim_device.h"
#include "sim/socket_server.h"
#include "tests/sim/sim_test_support.h"
#include "tests/support/recording_device.h"

namespace simtest {

using Kind = ConnectionEvent::Kind;

inline int Connect(const std::string& path) {
  sockaddr_un address;
  if (!device::MakeUnixAddress(path, address)) return -1;
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Sends one raw message and returns the response message (empty when the server closed).
inline std::vector<std::uint8_t> RawExchange(const std::string& path,
                                             std::vector<std::uint8_t> message) {
  const int fd = Connect(path);
  if (fd < 0) return {0xEE};
  send(fd, message.data(), message.size(), MSG_NOSIGNAL);
  std::vector<std::uint8_t> response(64);
  pollfd p{fd, POLLIN, 0};
  ssize_t got = poll(&p, 1, 3000) == 1 ? recv(fd, response.data(), response.size(), 0) : -1;
  close(fd);
  response.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return response;
}

// Records the server's connection events.
class EventLog {
 public:
  void Add(const ConnectionEvent& e) {
    std::lock_guard guard(m_mutex);
    m_events.push_back(e);
  }
  std::vector<ConnectionEvent> Events() const {
    std::lock_guard guard(m_mutex);
    return m_events;
  }
  // Position of an event in the log; -1 when missing.
  int Find(Kind kind, std::uint64_t connection) const {
    std::lock_guard guard(m_mutex);
    for (std::size_t i = 0; i < m_events.size(); ++i) {
      if (m_events[i].kind == kind && m_events[i].connection == connection) {
        return static_cast<int>(i);
      }
    }
    return -1;
  }

 private:
  mutable std::mutex m_mutex;
  std::vector<ConnectionEvent> m_events;
};

class SocketServerTest : public ::testing::Test {
 protected:
  void Serve(DeviceEndpoint& endpoint) {
    server = std::make_unique<SimSocketServer>(endpoint, path);
    server->SetObserver([this](const ConnectionEvent& e) { log.Add(e); });
    std::string error;
    ASSERT_TRUE(server->Start(error)) << error;
  }

  // A simulated device for the test to make; it outlives the server that serves it.
  SimDevice& MakeDevice(SimOptions options = SimOptions::Instant()) {
    sim = std::make_unique<SimDevice>(options);
    return *sim;
  }

  simtest::TempFolder folder;
  std::string path = folder / "VELMORUSBDevice0";
  EventLog log;
  RecordingDevice recorder;
  std::unique_ptr<SimDevice> sim;
  std::unique_ptr<SimSocketServer> server;  // last: stopped before the devices go
};

}  // namespace simtest
