#pragma once
// The few file operations the simulator's state folder is built on, one implementation per
// system (folder_files_posix.cpp, folder_files_win.cpp); what the folder keeps and what it
// says to people is in state_folder.cpp. Names are plain file names inside the folder; a
// failure leaves the system's reason in `cause`.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sim {

// A file being written is first a name with this suffix; one left over is a kill's leftover.
inline constexpr const char* kTemporarySuffix = ".tmp";

class FolderFiles {
 public:
  enum class Kind { kMissing, kFile, kOther };

  explicit FolderFiles(std::string folder);
  ~FolderFiles();
  FolderFiles(const FolderFiles&) = delete;
  FolderFiles& operator=(const FolderFiles&) = delete;

  const std::string& Folder() const { return m_folder; }

  // Makes the folder and its parents when missing and opens it. POSIX: refused unless it is
  // the user's own (device/own_folder.h). False with a message for people.
  bool Open(std::string& error);
  // Takes the file `name` as the folder's lock, without waiting, until destruction. `busy`
  // says another process holds it.
  bool Lock(const std::string& name, bool& busy, std::string& cause);

  // Temporary file, flushed to the disk, renamed over `name`; the old file stays on failure.
  bool WriteAtomically(const std::string& name, std::span<const std::uint8_t> bytes,
                       std::string& cause) const;
  // Appends to `name`, making it when missing.
  bool Append(const std::string& name, std::span<const std::uint8_t> bytes,
              std::string& cause) const;
  // The whole file. False when it is missing (`cause` empty) or cannot be read.
  bool Read(const std::string& name, std::vector<std::uint8_t>& bytes, std::string& cause) const;
  // What stands at `name`, and a file's size. False when it cannot be looked at.
  bool Look(const std::string& name, Kind& kind, std::uint64_t& size, std::string& cause) const;
  // True when `name` is gone, also when it never was there.
  bool Remove(const std::string& name, std::string& cause) const;
  // The names in the folder.
  std::vector<std::string> List() const;

 private:
  std::string m_folder;
#ifdef _WIN32
  int m_lockFd = -1;  // the lock file, opened without sharing
#else
  int m_folderFd = -1;  // the folder that was checked; every file is reached through it
  int m_lockFd = -1;    // holds the flock while open
#endif
};

// POSIX: $XDG_STATE_HOME/velmor-sim, else $HOME/.local/state/velmor-sim, else
// /tmp/velmor-sim-<uid>. Windows: %LOCALAPPDATA%\velmor-sim, else the temporary folder's.
std::string DefaultStateFolder();

}  // namespace sim
