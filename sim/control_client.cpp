#include "sim/control_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "sim/control_server.h"

namespace sim {

namespace {

constexpr int kAnswerWaitMs = 5000;

}  // namespace

int SendControl(const std::string& path, const std::vector<std::string>& words, std::string& text) {
  std::string message;
  for (const std::string& word : words) {
    if (word.find('\n') != std::string::npos) {
      text = "a control word must not contain a line break";
      return kControlRejected;
    }
    message += word + "\n";
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    text = "control socket path too long: " + path;
    return kControlNotRunning;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (fd >= 0) close(fd);
    text = "no simulator is running (nothing answers at " + path + ")";
    return kControlNotRunning;
  }
  std::string answer(SimControlServer::kMaxMessage, '\0');
  ssize_t got = -1;
  pollfd p{fd, POLLIN, 0};
  if (send(fd, message.data(), message.size(), MSG_NOSIGNAL) ==
          static_cast<ssize_t>(message.size()) &&
      poll(&p, 1, kAnswerWaitMs) > 0) {
    got = recv(fd, answer.data(), answer.size(), 0);
  }
  close(fd);
  if (got <= 0) {
    text = "the simulator at " + path + " did not answer";
    return kControlNotRunning;
  }
  answer.resize(static_cast<std::size_t>(got));
  const std::size_t newline = answer.find('\n');
  const std::string head = answer.substr(0, newline);
  text = newline == std::string::npos ? "" : answer.substr(newline + 1);
  return head == "ok" ? kControlOk : kControlRejected;
}

}  // namespace sim
