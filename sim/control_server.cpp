#include "sim/control_server.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "device/unix_socket.h"

namespace {

// A control client has this long to send its command.
constexpr int kCommandWaitMs = 2000;

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> words;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::string word = text.substr(start, end == std::string::npos ? end : end - start);
    if (!word.empty()) words.push_back(word);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return words;
}

}  // namespace

SimControlServer::SimControlServer(std::string path, Handler handler)
    : m_path(std::move(path)), m_handler(std::move(handler)) {}

SimControlServer::~SimControlServer() {
  Stop();
}

bool SimControlServer::Start(std::string& error) {
  if (m_thread.joinable()) return true;
  m_listener = device::ListenAt(m_path, "another simulator", error);
  if (m_listener < 0) return false;
  m_wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (m_wake < 0) {
    error = "eventfd failed";
    close(m_listener);
    unlink(m_path.c_str());
    m_listener = -1;
    return false;
  }
  m_thread = std::thread([this] { Serve(); });
  return true;
}

void SimControlServer::Stop() {
  if (!m_thread.joinable()) return;
  const std::uint64_t one = 1;
  if (write(m_wake, &one, sizeof one) < 0) std::perror("velmor-sim: eventfd");
  m_thread.join();
  close(m_wake);
  close(m_listener);
  unlink(m_path.c_str());
  m_wake = m_listener = -1;
}

void SimControlServer::Serve() {
  for (;;) {
    pollfd fds[2] = {{m_wake, POLLIN, 0}, {m_listener, POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      std::perror("velmor-sim: poll");
      return;
    }
    if ((fds[0].revents & POLLIN) != 0) return;
    if ((fds[1].revents & POLLIN) == 0) continue;
    const int fd = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    Answer(fd);
    close(fd);
  }
}

void SimControlServer::Answer(int fd) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, kCommandWaitMs) <= 0) return;
  std::string message(sim::kMaxControlMessage, '\0');
  const ssize_t got = recv(fd, message.data(), message.size(), 0);
  if (got <= 0) return;
  message.resize(static_cast<std::size_t>(got));
  const sim::ControlResult result = m_handler(SplitLines(message));
  std::string answer = std::string(result.ok ? sim::kControlAnswerOk : sim::kControlAnswerError) +
                       "\n" + result.text;
  if (answer.size() > sim::kMaxControlMessage) answer.resize(sim::kMaxControlMessage);
  send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
}
