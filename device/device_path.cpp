#include "device/device_path.h"

#include <cstdio>
#include <cstdlib>

#ifndef _WIN32
#include <unistd.h>

#include <cerrno>

#include "device/own_folder.h"
#include "device/unix_socket.h"
#endif

namespace device {

#ifdef _WIN32

std::string DeviceFolder() {
  return {};
}
bool EnsureDeviceFolder(std::string*) {
  return true;
}
std::string WhyDeviceAbsent(const std::string&) {
  return {};
}
std::string DevicePath(const char* name) {
  char path[256];
  std::snprintf(path, sizeof path, "\\\\.\\%s", name);
  return path;
}

#else

std::string DeviceFolder() {
  if (const char* dir = std::getenv("VELMOR_DEVICE_DIR"); dir != nullptr && *dir != '\0') {
    return dir;
  }
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
      runtime != nullptr && *runtime != '\0') {
    return std::string(runtime) + "/velmor";
  }
  return "/tmp/velmor-" + std::to_string(getuid());
}

bool EnsureDeviceFolder(std::string* refusal) {
  std::string why;
  const int fd = OpenOwnFolder(DeviceFolder(), kDeviceFolderRole, true, why);
  if (fd >= 0) {
    close(fd);
    return true;
  }
  if (refusal != nullptr) *refusal = why;
  return false;
}

std::string WhyDeviceAbsent(const std::string& devicePath) {
  std::string refusal;
  const int fd = ConnectInOwnFolder(devicePath, &refusal);
  if (fd >= 0) {
    close(fd);
    return {};
  }
  if (!refusal.empty()) return refusal;
  if (errno == EACCES) return "permission denied (" + devicePath + ")";
  return {};
}

std::string DevicePath(const char* name) {
  return DeviceFolder() + "/" + name;
}

#endif

}  // namespace device
