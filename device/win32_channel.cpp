// The device's kernel-mode driver, reached through its device object. Windows only.
#ifdef _WIN32
#include <windows.h>

#include "device/device_channel.h"
#include "device/wire.h"

namespace {

class Win32Channel final : public DeviceChannel {
 public:
  Handle Open(const std::string& path) override {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr);
    return h == INVALID_HANDLE_VALUE ? kInvalidHandle : reinterpret_cast<Handle>(h);
  }

  bool Control(Handle handle, const std::uint8_t* input, std::size_t inputSize,
               std::uint8_t* output, std::size_t outputSize) override {
    DWORD returned = 0;  // not examined: a short answer leaves the zeroed rest in place
    return DeviceIoControl(reinterpret_cast<HANDLE>(handle), IOCTL_VELMOR_CONTROL,
                           const_cast<std::uint8_t*>(input), static_cast<DWORD>(inputSize), output,
                           static_cast<DWORD>(outputSize), &returned, nullptr) != FALSE;
  }

  void Close(Handle handle) override { CloseHandle(reinterpret_cast<HANDLE>(handle)); }
};

}  // namespace

std::unique_ptr<DeviceChannel> MakePlatformChannel() {
  return std::make_unique<Win32Channel>();
}
#endif
