#pragma once
// The simulator's state folder: the stored settings image and the two flash regions, one file
// each. Every save is atomic (temporary file, fsync, rename, fsync of the folder), so a
// simulator killed at any moment leaves each file whole, either old or new.
// One simulator at a time: Open takes an exclusive lock on the folder until destruction.
//
// Each state file starts with a 16-byte header (see state_file_header.h) so that a start
// refuses a file that is damaged, foreign or from another format instead of serving it.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/folder_files.h"

class SimStateFolder {
 public:
  static constexpr const char* kSettingsFile = "settings.bin";        // 256 bytes
  static constexpr const char* kApplicationFile = "application.bin";  // 192 KiB
  static constexpr const char* kBootFile = "boot.bin";                // 64 KiB
  // Program packets acknowledged since the region's file was last saved.
  static constexpr const char* kApplicationJournal = "application.journal";
  static constexpr const char* kBootJournal = "boot.journal";

  explicit SimStateFolder(std::string folder);

  SimStateFolder(const SimStateFolder&) = delete;
  SimStateFolder& operator=(const SimStateFolder&) = delete;

  // Creates the folder (and its parents), takes the lock and removes temporary files a kill
  // left behind. False with a message for people when any of that fails, or when the folder
  // is not the user's own.
  bool Open(std::string& error);

  const std::string& Folder() const { return m_files.Folder(); }
  std::string PathOf(const char* file) const { return Folder() + "/" + file; }

  // The `size` bytes a state file keeps, when it holds them under a sound header (or, from
  // before the header, exactly `size` bytes and nothing else).
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

  // After Open: false with a message naming the file and `velmor-sim --reset` when a state
  // file is there but unreadable, damaged, foreign, or missing while the others are there; a
  // start must not paper over it with factory content. No state files at all is a first start.
  // Files from before the header are rewritten with it, unless they hold settings out of their
  // ranges, which only garbage of the right size does.
  bool Check(std::string& error) const;
  // After Open: removes every state file, so the device starts from its factory state.
  bool Reset(std::string& error) const;

  // Saves that failed since Open, and what the last one said; for the control `status`.
  unsigned FailedSaves() const { return m_failedSaves; }
  const std::string& LastFailure() const { return m_lastFailure; }

 private:
  bool CheckFile(const char* name, std::size_t size, std::string& error) const;
  bool Failed(const char* file, const std::string& cause) const;

  sim::FolderFiles m_files;
  // Guarded by whoever serialises the saves (the device's mutex).
  mutable unsigned m_failedSaves = 0;
  mutable std::string m_lastFailure;
};
