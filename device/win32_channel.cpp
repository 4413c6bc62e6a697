// The device's kernel-mode driver, reached through its device object. Windows only.
#ifdef _WIN32
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "device/device_channel.h"
#include "device/wire.h"

namespace {

// A driver that never completes a request would hold the caller for good; like the socket's,
// a request gets 5 s.
constexpr auto kRequestLimit = std::chrono::seconds(5);

// Cancels the synchronous request of the thread it watches once the limit has passed.
class RequestWatch {
 public:
  RequestWatch() : m_thread([this] { Watch(); }) {}
  ~RequestWatch() {
    {
      std::lock_guard guard(m_lock);
      m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
  }
  RequestWatch(const RequestWatch&) = delete;
  RequestWatch& operator=(const RequestWatch&) = delete;

  // The calling thread is about to issue its request.
  void Begin(HANDLE caller) {
    {
      std::lock_guard guard(m_lock);
      m_caller = caller;
      m_deadline = std::chrono::steady_clock::now() + kRequestLimit;
    }
    m_wake.notify_one();
  }
  // The request has returned; from now on nothing of this thread is cancelled.
  void End() {
    std::lock_guard guard(m_lock);
    m_caller = nullptr;
  }

 private:
  void Watch() {
    std::unique_lock guard(m_lock);
    while (!m_stop) {
      if (m_caller == nullptr) {
        m_wake.wait(guard);
        continue;
      }
      if (m_wake.wait_until(guard, m_deadline) == std::cv_status::timeout && m_caller != nullptr &&
          std::chrono::steady_clock::now() >= m_deadline) {
        // Under the lock: the caller cannot have gone on to other I/O that this would cancel.
        CancelSynchronousIo(m_caller);
        m_caller = nullptr;
      }
    }
  }

  std::mutex m_lock;
  std::condition_variable m_wake;
  HANDLE m_caller = nullptr;  // guarded by m_lock; the thread whose request is out
  std::chrono::steady_clock::time_point m_deadline;  // guarded by m_lock
  bool m_stop = false;                               // guarded by m_lock
  std::thread m_thread;
};

class Win32Channel final : public DeviceChannel {
 public:
  Handle Open(const std::string& path) override {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr);
    return h == INVALID_HANDLE_VALUE ? kInvalidHandle : reinterpret_cast<Handle>(h);
  }

  bool Control(Handle handle, const std::uint8_t* input, std::size_t inputSize,
               std::uint8_t* output, std::size_t outputSize) override {
    HANDLE caller = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &caller,
                         THREAD_TERMINATE, FALSE, 0)) {
      caller = nullptr;
    }
    if (caller != nullptr) m_watch.Begin(caller);
    DWORD returned = 0;  // not examined: a short answer leaves the zeroed rest in place
    const BOOL ok = DeviceIoControl(reinterpret_cast<HANDLE>(handle), IOCTL_VELMOR_CONTROL,
                                    const_cast<std::uint8_t*>(input), static_cast<DWORD>(inputSize),
                                    output, static_cast<DWORD>(outputSize), &returned, nullptr);
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    if (caller != nullptr) {
      m_watch.End();
      CloseHandle(caller);
    }
    // A cancelled request is one the device did not answer in time, as on the socket.
    m_failure = error == ERROR_OPERATION_ABORTED ? Failure::kNoAnswer : Failure::kUnknown;
    return ok != FALSE;
  }

  Failure LastFailure() const override { return m_failure; }

  void Close(Handle handle) override { CloseHandle(reinterpret_cast<HANDLE>(handle)); }

 private:
  RequestWatch m_watch;
  Failure m_failure = Failure::kUnknown;  // of the last Control; the link's lock guards it
};

}  // namespace

std::unique_ptr<DeviceChannel> MakePlatformChannel() {
  return std::make_unique<Win32Channel>();
}
#endif
