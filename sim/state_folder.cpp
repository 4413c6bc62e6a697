#include "sim/state_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "device/flash_trailer.h"
#include "settings/settings_image.h"
#include "sim/state_files.h"

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
  bool written = WriteAll(fd, bytes.data(), bytes.size()) && fsync(fd) == 0;
  int error = written ? 0 : errno;
  if (close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written && rename(temporary.c_str(), path.c_str()) != 0) {
    written = false;
    error = errno;
  }
  if (!written) {
    unlink(temporary.c_str());
    errno = error;  // the cause, for the caller's message
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
  if (sim::WriteFileAtomically(PathOf(file), bytes)) return true;
  ++m_failedSaves;
  m_lastFailure = "cannot save " + PathOf(file) + ": " + std::strerror(errno);
  std::fprintf(stderr, "velmor-sim: %s\n", m_lastFailure.c_str());
  return false;
}

bool SimStateFolder::Append(const char* file, std::span<const std::uint8_t> bytes) const {
  const int fd = open(PathOf(file).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  bool written = fd >= 0 && WriteAll(fd, bytes.data(), bytes.size());
  const int error = errno;
  if (fd >= 0 && close(fd) != 0) written = false;
  if (written) return true;
  ++m_failedSaves;
  m_lastFailure = "cannot save " + PathOf(file) + ": " + std::strerror(error);
  std::fprintf(stderr, "velmor-sim: %s\n", m_lastFailure.c_str());
  return false;
}

std::vector<std::uint8_t> SimStateFolder::LoadAll(const char* file) const {
  std::vector<std::uint8_t> bytes;
  const int fd = open(PathOf(file).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return bytes;
  std::uint8_t block[4096];
  for (;;) {
    const ssize_t n = read(fd, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes.insert(bytes.end(), block, block + n);
  }
  close(fd);
  return bytes;
}

bool SimStateFolder::Remove(const char* file) const {
  return unlink(PathOf(file).c_str()) == 0 || errno == ENOENT;
}

bool SimStateFolder::Check(std::string& error) const {
  for (const sim::StateFile& file : sim::kStateFiles) {
    const std::string path = PathOf(file.name);
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
      if (errno == ENOENT) continue;
      error = "cannot look at " + path + ": " + std::strerror(errno);
      return false;
    }
    const std::string afresh = " (velmor-sim --reset starts afresh)";
    if (!S_ISREG(st.st_mode)) {
      error = path + " is not a regular file" + afresh;
      return false;
    }
    if (static_cast<std::size_t>(st.st_size) != file.size) {
      error = path + " holds " + std::to_string(st.st_size) + " bytes, not " +
              std::to_string(file.size) + afresh;
      return false;
    }
    if (!Load(file.name, file.size)) {
      error = "cannot read " + path + ": " + std::strerror(errno) + afresh;
      return false;
    }
  }
  return true;
}

bool SimStateFolder::Reset(std::string& error) const {
  for (const char* journal : {kApplicationJournal, kBootJournal}) {
    if (!Remove(journal)) {
      error = "cannot remove " + PathOf(journal) + ": " + std::strerror(errno);
      return false;
    }
  }
  for (const sim::StateFile& file : sim::kStateFiles) {
    const std::string path = PathOf(file.name);
    if (unlink(path.c_str()) != 0 && errno != ENOENT) {
      error = "cannot remove " + path + ": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}
