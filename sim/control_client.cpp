#include "sim/control_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "device/unix_socket.h"
#include "sim/control_protocol.h"

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
  std::string refusal;
  const int fd = device::ConnectInOwnFolder(path, &refusal);
  if (fd < 0) {
    if (!refusal.empty()) {
      text = refusal;
    } else if (errno == EACCES) {
      text = "permission denied (" + path + ")";
    } else if (errno == ENAMETOOLONG) {
      text = "control socket path too long: " + path;
    } else {
      text = "no simulator is running (nothing answers at " + path + ")";
    }
    return kControlNotRunning;
  }
  std::string answer(kMaxControlMessage, '\0');
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
  return head == kControlAnswerOk ? kControlOk : kControlRejected;
}

}  // namespace sim
