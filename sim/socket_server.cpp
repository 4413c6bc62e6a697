#include "sim/socket_server.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "device/unix_socket.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often the plug state is looked at while nothing else happens.
constexpr std::chrono::milliseconds kPlugPoll{10};
// Connections served at once; more wait in the listen backlog.
constexpr std::size_t kMaxConnections = 256;

constexpr std::size_t kMaxOutput = 32;
constexpr std::size_t kMinFrame = 6;
constexpr std::size_t kMaxFrame = 32;

}  // namespace

struct SimSocketServer::Connection {
  enum class State { kWaiting, kResponding, kAnswered };
  int fd = -1;
  std::uint64_t id = 0;
  State state = State::kWaiting;
  Clock::time_point deadline;  // waiting/answered: dropped then; responding: sent then
  std::vector<std::uint8_t> response;
};

SimSocketServer::SimSocketServer(DeviceEndpoint& endpoint, std::string path)
    : m_endpoint(endpoint), m_path(std::move(path)) {}

SimSocketServer::~SimSocketServer() {
  Stop();
}

bool SimSocketServer::Start(std::string& error) {
  if (m_thread.joinable()) return true;
  m_wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (m_wake < 0) {
    error = "eventfd failed";
    return false;
  }
  if (m_endpoint.IsPlugged()) {
    m_listener = device::ListenAt(m_path, "another simulator", error);
    if (m_listener < 0) {
      close(m_wake);
      m_wake = -1;
      return false;
    }
  }
  m_thread = std::thread([this] { Serve(); });
  return true;
}

void SimSocketServer::Stop() {
  if (!m_thread.joinable()) return;
  const std::uint64_t one = 1;
  if (write(m_wake, &one, sizeof one) < 0) std::perror("velmor-sim: eventfd");
  m_thread.join();
  close(m_wake);
  m_wake = -1;
  if (m_listener >= 0) {
    close(m_listener);
    m_listener = -1;
    unlink(m_path.c_str());
  }
}

void SimSocketServer::SetObserver(std::function<void(const ConnectionEvent&)> observer) {
  std::lock_guard guard(m_mutex);
  m_observer = std::move(observer);
}

void SimSocketServer::Notify(ConnectionEvent::Kind kind, std::uint64_t connection) {
  std::lock_guard guard(m_mutex);
  if (m_observer) m_observer({kind, connection, Clock::now()});
}

void SimSocketServer::SyncPlugState() {
  const bool plugged = m_endpoint.IsPlugged();
  if (plugged && m_listener < 0) {
    std::string error;
    m_listener = device::ListenAt(m_path, "another simulator", error);
    if (m_listener < 0 && !m_listenFailed) {
      std::fprintf(stderr, "velmor-sim: %s\n", error.c_str());
    }
    m_listenFailed = m_listener < 0;
  } else if (!plugged && m_listener >= 0) {
    close(m_listener);
    m_listener = -1;
    unlink(m_path.c_str());
  }
}

void SimSocketServer::Serve() {
  std::vector<Connection> connections;
  std::vector<pollfd> fds;
  for (;;) {
    SyncPlugState();
    const bool listening = m_listener >= 0 && connections.size() < kMaxConnections;
    fds.clear();
    fds.push_back({m_wake, POLLIN, 0});
    fds.push_back({listening ? m_listener : -1, POLLIN, 0});
    auto wake = Clock::now() + kPlugPoll;
    for (const Connection& c : connections) {
      // While a late response waits, only a hang-up of the client matters.
      const short events = c.state == Connection::State::kResponding ? 0 : POLLIN;
      fds.push_back({c.fd, events, 0});
      wake = std::min(wake, c.deadline);
    }
    const auto timeout =
        std::chrono::duration_cast<std::chrono::milliseconds>(wake - Clock::now()).count();
    const int ready =
        poll(fds.data(), fds.size(), static_cast<int>(std::clamp<long long>(timeout, 0, 1000)));
    if (ready < 0 && errno != EINTR) {
      std::perror("velmor-sim: poll");
      break;
    }
    if (ready > 0 && (fds[0].revents & POLLIN) != 0) break;

    const auto now = Clock::now();
    for (std::size_t i = 0; i < connections.size(); ++i) {
      Connection& c = connections[i];
      const short revents = ready > 0 ? fds[i + 2].revents : 0;
      bool keep = true;
      if ((revents & (POLLIN | POLLHUP | POLLERR)) != 0) keep = Receive(c);
      if (keep && c.state == Connection::State::kResponding && now >= c.deadline) {
        keep = Respond(c);
      } else if (keep && c.state != Connection::State::kResponding && now >= c.deadline) {
        keep = false;  // silent too long
      }
      if (!keep) {
        Notify(ConnectionEvent::Kind::kClosed, c.id);
        close(c.fd);
        c.fd = -1;
      }
    }
    std::erase_if(connections, [](const Connection& c) { return c.fd < 0; });
    if (ready > 0 && listening && (fds[1].revents & POLLIN) != 0) Accept(connections);
  }
  for (Connection& c : connections) {
    Notify(ConnectionEvent::Kind::kClosed, c.id);
    close(c.fd);
  }
}

void SimSocketServer::Accept(std::vector<Connection>& connections) {
  while (connections.size() < kMaxConnections) {
    const int fd = accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;  // EAGAIN: no one else waiting
    Connection c;
    c.fd = fd;
    c.id = ++m_accepted;
    c.deadline = Clock::now() + kIdleLimit;
    connections.push_back(std::move(c));
    Notify(ConnectionEvent::Kind::kAccepted, connections.back().id);
  }
}

bool SimSocketServer::Receive(Connection& c) {
  std::uint8_t message[1 + kMaxFrame + 1];
  // MSG_TRUNC returns the real length, so an oversized message is told apart.
  const ssize_t got = recv(c.fd, message, sizeof message, MSG_TRUNC | MSG_DONTWAIT);
  if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
  if (got == 0) return false;                                // closed: a probe, or done
  if (c.state != Connection::State::kWaiting) return false;  // one request per connection
  Notify(ConnectionEvent::Kind::kRequest, c.id);

  const auto size = static_cast<std::size_t>(got);
  const std::size_t output = message[0];
  const bool outputValid = output == 0 || output == kMaxOutput;
  const std::size_t frameSize = size - 1;
  const bool frameValid = size <= 1 + kMaxFrame && frameSize >= kMinFrame;
  std::uint8_t reply[kMaxOutput] = {};
  const bool completed =
      outputValid && frameValid &&
      m_endpoint.Control({message + 1, frameSize}, output == kMaxOutput ? reply : nullptr);
  // A request may have taken the device away (CMD_BEGIN_UPDATE restarts it): the socket file
  // goes before the response, so the client's next open already fails.
  SyncPlugState();
  c.response.assign(1, completed ? 1 : 0);
  if (output == kMaxOutput) c.response.insert(c.response.end(), reply, reply + kMaxOutput);

  std::uint32_t delayMs;
  {
    std::lock_guard guard(m_mutex);
    if (m_faults.dropNext > 0) {
      --m_faults.dropNext;
      return false;
    }
    if (m_faults.shortNext > 0) {
      --m_faults.shortNext;
      c.response.resize(output == kMaxOutput ? 1 + kMaxOutput / 2 : 0);
    }
    delayMs = m_faults.delayMs;
  }
  c.state = Connection::State::kResponding;
  c.deadline = Clock::now() + std::chrono::milliseconds(delayMs);
  return delayMs != 0 || Respond(c);
}

bool SimSocketServer::Respond(Connection& c) {
  const ssize_t sent =
      send(c.fd, c.response.data(), c.response.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  if (sent != static_cast<ssize_t>(c.response.size())) return false;
  Notify(ConnectionEvent::Kind::kResponded, c.id);
  c.state = Connection::State::kAnswered;
  c.deadline = Clock::now() + kIdleLimit;
  return true;
}
