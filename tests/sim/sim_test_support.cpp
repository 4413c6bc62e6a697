#include "tests/sim/sim_test_support.h"

#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <thread>

#ifndef _WIN32
#include "device/socket_channel.h"
#endif

namespace simtest {

TempFolder::TempFolder() {
  const char* base = std::getenv("TMPDIR");
  const std::filesystem::path parent = base != nullptr && *base != '\0'
                                           ? std::filesystem::path(base)
                                           : std::filesystem::temp_directory_path();
  std::random_device random;
  for (int tries = 0; tries < 100; ++tries) {
    const auto path = parent / ("velmor-sim-test." + std::to_string(random()));
    if (std::filesystem::create_directory(path)) {  // false when it was there already
      m_path = path.generic_string();
      return;
    }
  }
  throw std::runtime_error("no fresh temporary folder");
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

#ifndef _WIN32
std::unique_ptr<CDeviceLink> MakeSocketLink(const std::string& path,
                                            std::chrono::milliseconds timeout) {
  auto link = std::make_unique<CDeviceLink>(std::make_unique<SocketChannel>(timeout));
  link->SetDeviceName(path.c_str());
  return link;
}
#endif

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

bool FileExists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

}  // namespace simtest
