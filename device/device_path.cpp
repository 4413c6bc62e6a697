#include "device/device_path.h"

#include <cstdio>
#include <cstdlib>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace device {

#ifdef _WIN32

std::string DeviceFolder() {
  return {};
}
bool EnsureDeviceFolder() {
  return true;
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

bool EnsureDeviceFolder() {
  const std::string folder = DeviceFolder();
  if (mkdir(folder.c_str(), 0700) == 0) return true;
  struct stat st {};
  return errno == EEXIST && stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string DevicePath(const char* name) {
  return DeviceFolder() + "/" + name;
}

#endif

}  // namespace device
