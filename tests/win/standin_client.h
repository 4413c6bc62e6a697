#pragma once
// Installing and driving the stand-in driver from a test (Windows under Wine; test-only).

#include <chrono>
#include <string>
#include <vector>

namespace standin {

// How Wine shows a Unix path to Windows programs: on drive Z:, with backslashes.
std::string WindowsPath(const std::string& unixPath);

// Registers the driver at `sysPath` as an automatically started kernel service, starts it and
// waits until its control object opens. False with a message for people.
bool Install(const std::string& sysPath, std::string& error);

// One command of the stand-in (the simulator's control words, or its own); `answer` gets the
// text. False when the command was refused or the stand-in is not there.
bool Command(const std::vector<std::string>& words, std::string& answer);

// Plays the system's part in device changes: each time the device object comes or goes, every
// top-level window hears WM_DEVICECHANGE (DBT_DEVNODES_CHANGED). Returns only when `stop`
// returns true; looks every `period`.
void NotifyDeviceChanges(bool (*stop)(), std::chrono::milliseconds period);

}  // namespace standin
