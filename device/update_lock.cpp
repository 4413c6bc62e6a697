#include "device/update_lock.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "device/own_folder.h"
#endif

namespace device {

namespace {

constexpr const char* kBusyText = "another program is updating the device";

}  // namespace

#if defined(_WIN32)

std::string UpdateLock::LockName(const std::string& devicePath) {
  // Backslashes are not allowed in a mutex name past its namespace.
  std::string name = "Local\\VELMOR-update-";
  for (char c : devicePath) name += (c == '\\' || c == ':') ? '_' : c;
  return name;
}

UpdateLock::UpdateLock(const std::string& devicePath) {
  const std::string name = LockName(devicePath);
  HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
  if (mutex == nullptr) {
    m_refusal =
        "cannot create the update lock " + name + " (error " + std::to_string(GetLastError()) + ")";
    return;
  }
  const DWORD got = WaitForSingleObject(mutex, 0);
  // An abandoned mutex belonged to an updater that ended without releasing it: ours now.
  if (got == WAIT_OBJECT_0 || got == WAIT_ABANDONED) {
    m_mutex = mutex;
    m_held = true;
    return;
  }
  CloseHandle(mutex);
  m_refusal = kBusyText;
}

UpdateLock::~UpdateLock() {
  if (m_mutex == nullptr) return;
  ReleaseMutex(static_cast<HANDLE>(m_mutex));
  CloseHandle(static_cast<HANDLE>(m_mutex));
}

#else

std::string UpdateLock::LockName(const std::string& devicePath) {
  return devicePath + ".lock";
}

UpdateLock::UpdateLock(const std::string& devicePath) {
  const std::string path = LockName(devicePath);
  const std::string folder = FolderOf(path);
  const int folderFd = OpenOwnFolder(folder, kDeviceFolderRole, false, m_refusal);
  if (folderFd < 0) return;
  // The file stays; only the flock on it says who updates. Removing it would let a second
  // updater lock a new file while the first still holds the old one.
  m_fd = openat(folderFd, path.substr(path.find_last_of('/') + 1).c_str(),
                O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  const int openError = errno;
  close(folderFd);
  if (m_fd < 0) {
    m_refusal = "cannot open the update lock " + path + ": " + std::strerror(openError);
    return;
  }
  // Another user's lock file would let them hold every update off, or see when one runs.
  struct stat st {};
  if (fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() ||
      (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    m_refusal =
        "the update lock " + path + " is not a file of yours that only you can write (uid " +
        std::to_string(st.st_uid) + ", mode " + mode + "); remove it, or " + kDeviceFolderRole.fix;
    close(m_fd);
    m_fd = -1;
    return;
  }
  if (flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
    m_held = true;
    return;
  }
  const int error = errno;
  close(m_fd);
  m_fd = -1;
  m_refusal = error == EWOULDBLOCK ? std::string(kBusyText) + " (" + path + " is locked)"
                                   : "cannot lock " + path + ": " + std::strerror(error);
}

UpdateLock::~UpdateLock() {
  if (m_fd >= 0) close(m_fd);
}

#endif

}  // namespace device
