#pragma once
// Where the device object lives on this platform.

#include <string>

namespace device {

// The driver's name for the device object.
inline constexpr const char* kDeviceName = "VELMORUSBDevice0";

// POSIX: $VELMOR_DEVICE_DIR, else $XDG_RUNTIME_DIR/velmor, else /tmp/velmor-<uid>.
// Windows: empty (the object lives in the driver's namespace).
std::string DeviceFolder();
// Creates the device folder with mode 0700 if it does not exist; false when that fails.
bool EnsureDeviceFolder();
// Windows: "\\.\<name>"; elsewhere "<device folder>/<name>".
std::string DevicePath(const char* name = kDeviceName);

}  // namespace device
