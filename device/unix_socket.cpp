#include "device/unix_socket.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "device/own_folder.h"

namespace device {

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

}  // namespace device
