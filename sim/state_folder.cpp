#include "sim/state_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kLockFile = ".lock";
constexpr const char* kTemporarySuffix = ".tmp";

bool MakeFolders(const std::string& path) {
  if (path.empty()) return false;
  for (std::size_t at = 1; at <= path.size(); ++at) {
    if (at != path.size() && path[at] != '/') continue;
    const std::string part = path.substr(0, at);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
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

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

namespace sim {

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
  const std::string temporary = path + kTemporarySuffix;
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, bytes.data(), bytes.size()) && fsync(fd) == 0;
  if (close(fd) != 0 || !written || rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  // The rename itself must reach the disk, or a crash could bring back the old name.
  const std::string folder = path.substr(0, path.find_last_of('/') + 1);
  const int dir = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
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

SimStateFolder::SimStateFolder(std::string folder) : m_folder(std::move(folder)) {
  while (m_folder.size() > 1 && m_folder.back() == '/') m_folder.pop_back();
}

SimStateFolder::~SimStateFolder() {
  if (m_lockFd >= 0) close(m_lockFd);
}

bool SimStateFolder::Open(std::string& error) {
  if (!MakeFolders(m_folder)) {
    error = "cannot create the state folder " + m_folder + ": " + std::strerror(errno);
    return false;
  }
  const std::string lock = PathOf(kLockFile);
  m_lockFd = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (m_lockFd < 0) {
    error = "cannot open " + lock + ": " + std::strerror(errno);
    return false;
  }
  if (flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
    error = "the state folder " + m_folder + " is in use by another simulator";
    close(m_lockFd);
    m_lockFd = -1;
    return false;
  }
  if (DIR* dir = opendir(m_folder.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (EndsWith(name, kTemporarySuffix)) unlink(PathOf(name.c_str()).c_str());
    }
    closedir(dir);
  }
  return true;
}

std::optional<std::vector<std::uint8_t>> SimStateFolder::Load(const char* file,
                                                              std::size_t size) const {
  const int fd = open(PathOf(file).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::vector<std::uint8_t> bytes(size + 1);  // one more tells a longer file apart
  std::size_t got = 0;
  for (;;) {
    const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
    if (got == bytes.size()) break;
  }
  close(fd);
  if (got != size) return std::nullopt;
  bytes.resize(size);
  return bytes;
}

bool SimStateFolder::Save(const char* file, std::span<const std::uint8_t> bytes) const {
  return sim::WriteFileAtomically(PathOf(file), bytes);
}
