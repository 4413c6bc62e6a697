#include "device/unix_socket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "device/own_folder.h"

namespace device {

namespace {

// True when a server answers at the path.
bool Answers(const sockaddr_un& address) {
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool answers =
      connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return answers;
}

}  // namespace

bool MakeUnixAddress(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

int ConnectInOwnFolder(const std::string& path, std::string* refusal) {
  const std::string folder = FolderOf(path);
  std::string why;
  const int folderFd = OpenOwnFolder(folder, kDeviceFolderRole, false, why);
  if (folderFd < 0) {
    if (errno == ENOENT) return -1;  // no folder, so no device in it
    if (refusal != nullptr) *refusal = why;
    errno = EPERM;
    return -1;
  }
  sockaddr_un address;
  const std::string through =
      PathThrough(folderFd, folder, path.substr(path.find_last_of('/') + 1));
  // A path too long for an address may still fit through the folder's descriptor.
  if (!MakeUnixAddress(through, address) && !MakeUnixAddress(path, address)) {
    close(folderFd);
    errno = ENAMETOOLONG;
    return -1;
  }
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    const int error = errno;
    close(folderFd);
    errno = error;
    return -1;
  }
  int rc;
  do {
    rc = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } while (rc != 0 && errno == EINTR);
  const int error = errno;
  close(folderFd);
  if (rc != 0) {
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

int ListenAt(const std::string& path, const char* owner, std::string& error) {
  sockaddr_un address;
  if (!MakeUnixAddress(path, address)) {
    error = "socket path too long: " + path;
    return -1;
  }
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      error = path + " exists and is not a socket";
      return -1;
    }
    if (Answers(address)) {
      error = std::string(owner) + " is serving " + path;
      return -1;
    }
    unlink(path.c_str());
  }
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = std::string("socket: ") + std::strerror(errno);
    return -1;
  }
  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(fd, 64) != 0) {
    error = "cannot listen at " + path + ": " + std::strerror(errno);
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace device
