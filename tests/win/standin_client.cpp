#include "tests/win/standin_client.h"

#include <windows.h>
// dbt.h needs windows.h first.
#include <dbt.h>

#include <thread>

#include "tests/win/standin_bridge.h"

namespace standin {
namespace {

constexpr const wchar_t* kServiceName = L"VelmorStandin";
constexpr const char* kControlPath = "\\\\.\\VelmorStandinControl";
constexpr DWORD kCommandCode =
    CTL_CODE(FILE_DEVICE_UNKNOWN, 0x801, METHOD_BUFFERED, FILE_ANY_ACCESS);
// Starting a prefix and its driver host takes a few seconds, more on a busy machine.
constexpr auto kStartLimit = std::chrono::seconds(60);

std::wstring Wide(const std::string& text) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), n);
  wide.resize(wide.size() - 1);
  return wide;
}

bool ControlOpens() {
  HANDLE h = CreateFileA(kControlPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

bool Register(const std::wstring& imagePath, std::string& error) {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) {
    error = "no service manager (" + std::to_string(GetLastError()) + ")";
    return false;
  }
  // Started with the prefix: a service started on demand races the prefix's own start-up.
  SC_HANDLE service =
      CreateServiceW(manager, kServiceName, kServiceName, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                     SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, imagePath.c_str(), nullptr, nullptr,
                     nullptr, nullptr, nullptr);
  if (service == nullptr && GetLastError() == ERROR_SERVICE_EXISTS) {
    service = OpenServiceW(manager, kServiceName, SERVICE_ALL_ACCESS);
    if (service != nullptr) {
      ChangeServiceConfigW(service, SERVICE_KERNEL_DRIVER, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                           imagePath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    }
  }
  if (service == nullptr) {
    error = "cannot register the stand-in driver (" + std::to_string(GetLastError()) + ")";
    CloseServiceHandle(manager);
    return false;
  }
  bool ok = true;
  if (!StartServiceW(service, 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
    error = "cannot start the stand-in driver (" + std::to_string(GetLastError()) + ")";
    ok = false;
  }
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return ok;
}

}  // namespace

std::string WindowsPath(const std::string& unixPath) {
  if (unixPath.empty() || unixPath[0] != '/') return unixPath;
  std::string path = "Z:" + unixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

bool Install(const std::string& sysPath, std::string& error) {
  if (ControlOpens()) return true;
  const std::string image = "\\??\\" + WindowsPath(sysPath);
  const auto end = std::chrono::steady_clock::now() + kStartLimit;
  std::string lastError;
  while (std::chrono::steady_clock::now() < end) {
    if (Register(Wide(image), lastError) || ControlOpens()) {
      while (!ControlOpens()) {
        if (std::chrono::steady_clock::now() > end) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      if (ControlOpens()) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  error = "the stand-in driver did not come up: " + lastError;
  return false;
}

bool Command(const std::vector<std::string>& words, std::string& answer) {
  std::string message;
  for (const auto& word : words) message += word + "\n";
  HANDLE h = CreateFileA(kControlPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    answer = "the stand-in driver is not there";
    return false;
  }
  std::string reply(STANDIN_MAX_MESSAGE + 1, '\0');
  DWORD got = 0;
  const BOOL sent =
      DeviceIoControl(h, kCommandCode, message.data(), static_cast<DWORD>(message.size()),
                      reply.data(), static_cast<DWORD>(reply.size()), &got, nullptr);
  CloseHandle(h);
  if (!sent || got < 1) {
    answer = "the stand-in driver did not answer";
    return false;
  }
  answer = reply.substr(1, got - 1);
  return reply[0] == 1;
}

void NotifyDeviceChanges(bool (*stop)(), std::chrono::milliseconds period) {
  // The driver counts each coming and going of the device object, so one that came and went
  // between two looks is told all the same.
  const auto changes = [] {
    std::string answer;
    return Command({"changes"}, answer) ? answer : std::string();
  };
  std::string seen = changes();
  while (!stop()) {
    std::this_thread::sleep_for(period);
    const std::string now = changes();
    if (now.empty() || now == seen) continue;
    seen = now;
    // Sent, as the system does; a window busy for a while still gets it once it looks again.
    SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0, SMTO_NORMAL,
                        30000, nullptr);
  }
}

}  // namespace standin
