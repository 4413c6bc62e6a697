#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "device/own_folder.h"
#include "sim/folder_files.h"

namespace sim {

namespace {

constexpr device::FolderRole kStateFolderRole{
    "state folder", "start velmor-sim with --state and a folder of your own"};

// The parents as well: ~/.local/state may not exist yet.
bool MakeParents(const std::string& path) {
  for (std::size_t at = 1; at < path.size(); ++at) {
    if (path[at] != '/') continue;
    if (mkdir(path.substr(0, at).c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

std::string Cause() {
  return std::strerror(errno);
}

}  // namespace

FolderFiles::FolderFiles(std::string folder) : m_folder(std::move(folder)) {
  while (m_folder.size() > 1 && m_folder.back() == '/') m_folder.pop_back();
}

FolderFiles::~FolderFiles() {
  if (m_lockFd >= 0) close(m_lockFd);
  if (m_folderFd >= 0) close(m_folderFd);
}

bool FolderFiles::Open(std::string& error) {
  if (m_folder.empty() || !MakeParents(m_folder)) {
    error = "cannot create the state folder " + m_folder + ": " + Cause();
    return false;
  }
  m_folderFd = device::OpenOwnFolder(m_folder, kStateFolderRole, true, error);
  return m_folderFd >= 0;
}

bool FolderFiles::Lock(const std::string& name, bool& busy, std::string& cause) {
  busy = false;
  m_lockFd = openat(m_folderFd, name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (m_lockFd < 0) {
    cause = Cause();
    return false;
  }
  if (flock(m_lockFd, LOCK_EX | LOCK_NB) == 0) return true;
  busy = errno == EWOULDBLOCK;
  cause = Cause();
  close(m_lockFd);
  m_lockFd = -1;
  return false;
}

bool FolderFiles::WriteAtomically(const std::string& name, std::span<const std::uint8_t> bytes,
                                  std::string& cause) const {
  const std::string temporary = name + kTemporarySuffix;
  const int fd = openat(m_folderFd, temporary.c_str(),
                        O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    cause = Cause();
    return false;
  }
  bool written = WriteAll(fd, bytes.data(), bytes.size()) && fsync(fd) == 0;
  int error = written ? 0 : errno;
  if (close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && renameat(m_folderFd, temporary.c_str(), m_folderFd, name.c_str()) != 0) {
    written = false;
    error = errno;
  }
  if (!written) {
    unlinkat(m_folderFd, temporary.c_str(), 0);
    cause = std::strerror(error);
    return false;
  }
  // The rename itself must reach the disk, or a crash could bring back the old name.
  fsync(m_folderFd);
  return true;
}

bool FolderFiles::Append(const std::string& name, std::span<const std::uint8_t> bytes,
                         std::string& cause) const {
  const int fd = openat(m_folderFd, name.c_str(),
                        O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
  bool written = fd >= 0 && WriteAll(fd, bytes.data(), bytes.size());
  if (!written) cause = Cause();
  if (fd >= 0 && close(fd) != 0 && written) {
    written = false;
    cause = Cause();
  }
  return written;
}

bool FolderFiles::Read(const std::string& name, std::vector<std::uint8_t>& bytes,
                       std::string& cause) const {
  bytes.clear();
  const int fd = openat(m_folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    cause = errno == ENOENT ? std::string() : Cause();
    return false;
  }
  std::uint8_t block[65536];
  ssize_t n;
  while ((n = read(fd, block, sizeof block)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    bytes.insert(bytes.end(), block, block + n);
  }
  if (n < 0) cause = Cause();
  close(fd);
  return n == 0;
}

bool FolderFiles::Look(const std::string& name, Kind& kind, std::uint64_t& size,
                       std::string& cause) const {
  struct stat st {};
  if (fstatat(m_folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    kind = Kind::kMissing;
    if (errno == ENOENT) return true;
    cause = Cause();
    return false;
  }
  kind = S_ISREG(st.st_mode) ? Kind::kFile : Kind::kOther;
  size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool FolderFiles::Remove(const std::string& name, std::string& cause) const {
  if (unlinkat(m_folderFd, name.c_str(), 0) == 0 || errno == ENOENT) return true;
  cause = Cause();
  return false;
}

std::vector<std::string> FolderFiles::List() const {
  std::vector<std::string> names;
  const int fd = dup(m_folderFd);
  DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
  if (dir == nullptr) {
    if (fd >= 0) close(fd);
    return names;
  }
  rewinddir(dir);  // the copy shares its position with every earlier listing
  while (const dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
  closedir(dir);
  return names;
}

std::string DefaultStateFolder() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
    return std::string(state) + "/velmor-sim";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/') {
    return std::string(home) + "/.local/state/velmor-sim";
  }
  return "/tmp/velmor-sim-" + std::to_string(getuid());
}

}  // namespace sim
