#pragma once
// What every velmorctl command shares: the device link and the way failures leave the program.

#include <memory>
#include <stdexcept>
#include <string>

#include "device/device_link.h"

namespace cli {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitDevice = 1;     // device absent or a failed exchange
inline constexpr int kExitUsage = 2;      // bad usage or bad input
inline constexpr int kExitStopped = 128;  // plus the signal that stopped an update

// Thrown by a command; main prints "velmorctl: <message>" on stderr and exits with `code`.
struct Failure : std::runtime_error {
  Failure(int exitCode, const std::string& message) : std::runtime_error(message), code(exitCode) {}
  int code;
};

class CliContext {
 public:
  // The link to the device of this machine, made on first use with the path already set.
  CDeviceLink& Link();
  // Throws kExitDevice with AbsenceText() unless the device object opens.
  void RequirePresent();
  // Why the device object did not open: "device not present (<path>)", "permission denied
  // (<path>)", or a device folder that is not the user's own.
  std::string AbsenceText();

 private:
  std::unique_ptr<CDeviceLink> m_link;
};

}  // namespace cli
