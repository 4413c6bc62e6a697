#pragma once
// The simulator's state folder: the stored settings image and the two flash regions, one file
// each. Every save is atomic (temporary file, fsync, rename, fsync of the folder), so a
// simulator killed at any moment leaves each file whole, either old or new.
// One simulator at a time: Open takes an exclusive lock on the folder until destruction.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

class SimStateFolder {
 public:
  static constexpr const char* kSettingsFile = "settings.bin";        // 256 bytes
  static constexpr const char* kApplicationFile = "application.bin";  // 192 KiB
  static constexpr const char* kBootFile = "boot.bin";                // 64 KiB

  explicit SimStateFolder(std::string folder);
  ~SimStateFolder();

  SimStateFolder(const SimStateFolder&) = delete;
  SimStateFolder& operator=(const SimStateFolder&) = delete;

  // Creates the folder (and its parents), takes the lock and removes temporary files a kill
  // left behind. False with a message for people when any of that fails.
  bool Open(std::string& error);

  const std::string& Folder() const { return m_folder; }
  std::string PathOf(const char* file) const { return m_folder + "/" + file; }

  // The file's bytes when it exists and has exactly `size` bytes.
  std::optional<std::vector<std::uint8_t>> Load(const char* file, std::size_t size) const;
  // False when the file could not be written; the old file then stays as it was.
  bool Save(const char* file, std::span<const std::uint8_t> bytes) const;

 private:
  std::string m_folder;
  int m_lockFd = -1;  // holds the folder's lock while open
};

namespace sim {

// Writes `bytes` to `path` through a temporary file beside it, fsync and rename.
bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

// $XDG_STATE_HOME/velmor-sim, else $HOME/.local/state/velmor-sim, else /tmp/velmor-sim-<uid>.
std::string DefaultStateFolder();

}  // namespace sim
