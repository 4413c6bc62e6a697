#include "device/socket_channel.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "device/unix_socket.h"

DeviceChannel::Handle SocketChannel::Open(const std::string& path) {
  const int fd = device::ConnectInOwnFolder(path);
  return fd < 0 ? kInvalidHandle : fd;
}

bool SocketChannel::Control(Handle handle, const std::uint8_t* input, std::size_t inputSize,
                            std::uint8_t* output, std::size_t outputSize) {
  const int fd = static_cast<int>(handle);
  // Refused only when the device said so; anything else is silence on the wire.
  m_failure = Failure::kNoAnswer;
  std::uint8_t message[1 + 32];
  if (inputSize > 32) return false;
  message[0] = static_cast<std::uint8_t>(outputSize);
  std::memcpy(message + 1, input, inputSize);
  ssize_t sent;
  do {
    sent = send(fd, message, 1 + inputSize, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  if (sent != static_cast<ssize_t>(1 + inputSize)) return false;

  const auto deadline = std::chrono::steady_clock::now() + m_timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    break;
  }

  std::uint8_t response[1 + 32 + 1];  // one spare byte tells an oversized response apart
  ssize_t got;
  do {
    got = recv(fd, response, sizeof response, 0);
  } while (got < 0 && errno == EINTR);
  if (got < 1) return false;
  const auto payload = static_cast<std::size_t>(got - 1);
  if (output != nullptr && payload > 0) {
    std::memcpy(output, response + 1, std::min(payload, outputSize));
  }
  if (response[0] != 1) {
    if (response[0] == 0) m_failure = Failure::kRefused;
    return false;
  }
  // A completed request must carry exactly the bytes asked for.
  return payload == outputSize;
}

void SocketChannel::Close(Handle handle) {
  close(static_cast<int>(handle));
}

#ifndef _WIN32
std::unique_ptr<DeviceChannel> MakePlatformChannel() {
  return std::make_unique<SocketChannel>();
}
#endif
