#pragma once
// Helpers shared by the simulator's tests: a private temporary folder, a link over the local
// socket, and waiting for something that happens on another thread.

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "device/device_link.h"

namespace simtest {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it on destruction.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return m_path; }
  std::string operator/(const std::string& name) const { return m_path + "/" + name; }

 private:
  std::string m_path;
};

// A link over the local socket channel to `path`, with the channel's response time-out.
std::unique_ptr<CDeviceLink> MakeSocketLink(
    const std::string& path, std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));

// Polls `done` every few milliseconds; false when it did not become true within `limit`.
bool WaitFor(const std::function<bool()>& done,
             std::chrono::milliseconds limit = std::chrono::milliseconds(3000));

bool FileExists(const std::string& path);

}  // namespace simtest
