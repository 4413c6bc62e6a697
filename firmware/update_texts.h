#pragma once
// The status texts of an update, as the user reads them.

#include <cstdint>
#include <string>

namespace firmware {

inline constexpr const char* kTextEraseApplication = "Erase in progress. Please wait!";
inline constexpr const char* kTextEraseBoot =
    "Erasing boot - DON'T SWITCH OFF OR DISCONNECT VELMOR!!!";
inline constexpr const char* kTextSoftwareNotFound = "FATAL: Software not found!";
inline constexpr const char* kTextRestartUnit = "ERROR: Please restart unit!";
inline constexpr const char* kTextCannotWrite = "ERROR: Can't write to device";
inline constexpr const char* kTextFinished = "Download finished!";

inline const char* EraseNotice(bool boot) {
  return boot ? kTextEraseBoot : kTextEraseApplication;
}

// Bytes per second: `bytes` over the elapsed milliseconds, or `bytes` itself when none elapsed.
long ByteRate(std::uint32_t bytes, std::uint32_t elapsedMs);

// "%u%%: Download of V%d.%03d in progress (%ld Bytes/s) ..."
std::string ImageProgressText(unsigned percent, unsigned major, unsigned minor, long rate);
// "%u%%: Download in progress (%ld Bytes/s) ..."
std::string FileProgressText(unsigned percent, long rate);
// "Can't open <name>!"
std::string CannotOpenText(const std::string& name);

}  // namespace firmware
