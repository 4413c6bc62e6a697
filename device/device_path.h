#pragma once
// Where the device object lives on this platform.

#include <string>

namespace device {

// The driver's name for the device object.
inline constexpr const char* kDeviceName = "VELMORUSBDevice0";

// POSIX: $VELMOR_DEVICE_DIR, else $XDG_RUNTIME_DIR/velmor, else /tmp/velmor-<uid>.
// Windows: empty (the object lives in the driver's namespace).
std::string DeviceFolder();
// Creates the device folder with mode 0700 if it does not exist. False when that fails or the
// folder is not the user's own; `refusal` then says why, for people.
bool EnsureDeviceFolder(std::string* refusal = nullptr);
// Why the device object at `devicePath` does not open, when that is more than its absence:
// a folder that is not the user's own, or "permission denied (<path>)". Empty otherwise.
std::string WhyDeviceAbsent(const std::string& devicePath);
// Windows: "\\.\<name>"; elsewhere "<device folder>/<name>".
std::string DevicePath(const char* name = kDeviceName);

}  // namespace device
