#pragma once
// One updater per device across programs: the panel and velmorctl take this lock for the whole
// update, and a second updater is refused before it sends anything. Status polls, reads and
// identity queries do not take it.
//
// POSIX: an flock on "<device path>.lock" beside the device object, released by the system
// when the holder ends however it ends. Windows: a named mutex, likewise.

#include <string>

namespace device {

class UpdateLock {
 public:
  // Tries once, without waiting, to take the lock for the device at `devicePath`.
  explicit UpdateLock(const std::string& devicePath);
  ~UpdateLock();
  UpdateLock(const UpdateLock&) = delete;
  UpdateLock& operator=(const UpdateLock&) = delete;

  bool Held() const { return m_held; }
  // Why the lock is not held, for people: another updater, or the lock could not be made.
  const std::string& Refusal() const { return m_refusal; }

  // Where the lock lives: the lock file, or the mutex's name.
  static std::string LockName(const std::string& devicePath);

 private:
  bool m_held = false;
  std::string m_refusal;
#if defined(_WIN32)
  void* m_mutex = nullptr;  // HANDLE
#else
  int m_fd = -1;
#endif
};

}  // namespace device
