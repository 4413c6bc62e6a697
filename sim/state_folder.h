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
  // Program packets acknowledged since the region's file was last saved.
  static constexpr const char* kApplicationJournal = "application.journal";
  static constexpr const char* kBootJournal = "boot.journal";

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

  // Appends `bytes` to the file (made if missing), without a rename: for a journal whose
  // records each stand on their own. False when they could not all be written.
  bool Append(const char* file, std::span<const std::uint8_t> bytes) const;
  // The whole file, empty when it is missing.
  std::vector<std::uint8_t> LoadAll(const char* file) const;
  // Removes the file; true when it is gone.
  bool Remove(const char* file) const;

  // After Open: false with a message naming the file when a state file is there but short,
  // long, empty, not a regular file or unreadable, which a start must not paper over with
  // factory content. Missing files are fine: they are made afresh.
  bool Check(std::string& error) const;
  // After Open: removes every state file, so the device starts from its factory state.
  bool Reset(std::string& error) const;

  // Saves that failed since Open, and what the last one said; for the control `status`.
  unsigned FailedSaves() const { return m_failedSaves; }
  const std::string& LastFailure() const { return m_lastFailure; }

 private:
  std::string m_folder;
  int m_lockFd = -1;  // holds the folder's lock while open
  // Guarded by whoever serialises the saves (the device's mutex).
  mutable unsigned m_failedSaves = 0;
  mutable std::string m_lastFailure;
};

namespace sim {

// Writes `bytes` to `path` through a temporary file beside it, fsync and rename.
bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

// $XDG_STATE_HOME/velmor-sim, else $HOME/.local/state/velmor-sim, else /tmp/velmor-sim-<uid>.
std::string DefaultStateFolder();

}  // namespace sim
