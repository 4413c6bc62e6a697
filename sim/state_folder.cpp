#include "sim/state_folder.h"

#include <algorithm>
#include <cstdio>

#include "settings/settings_document.h"
#include "settings/settings_image.h"
#include "sim/state_file_header.h"
#include "sim/state_files.h"

namespace {

constexpr const char* kLockFile = ".lock";
constexpr const char* kAfresh = " (velmor-sim --reset starts afresh)";

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The first settings field outside its range, or empty. The settings layer owns the ranges.
std::string SettingsOutOfRange(const std::vector<std::uint8_t>& bytes) {
  SettingsImage image;
  std::copy_n(bytes.begin(), std::min(bytes.size(), image.Bytes().size()), image.Bytes().begin());
  const auto problems = settings::RangeProblems(image);
  return problems.empty() ? std::string() : settings::ProblemText(problems.front());
}

}  // namespace

SimStateFolder::SimStateFolder(std::string folder) : m_files(std::move(folder)) {}

bool SimStateFolder::Open(std::string& error) {
  if (!m_files.Open(error)) return false;
  bool busy = false;
  std::string cause;
  if (!m_files.Lock(kLockFile, busy, cause)) {
    error = busy ? "the state folder " + Folder() + " is in use by another simulator"
                 : "cannot open " + PathOf(kLockFile) + ": " + cause;
    return false;
  }
  for (const std::string& name : m_files.List()) {
    if (EndsWith(name, sim::kTemporarySuffix)) m_files.Remove(name, cause);
  }
  return true;
}

std::optional<std::vector<std::uint8_t>> SimStateFolder::Load(const char* file,
                                                              std::size_t size) const {
  std::vector<std::uint8_t> bytes;
  std::string cause;
  if (!m_files.Read(file, bytes, cause)) return std::nullopt;
  if (bytes.size() == size) return bytes;  // from before the header
  return sim::StatePayload(bytes, size, cause);
}

bool SimStateFolder::Failed(const char* file, const std::string& cause) const {
  ++m_failedSaves;
  m_lastFailure = "cannot save " + PathOf(file) + ": " + cause;
  std::fprintf(stderr, "velmor-sim: %s\n", m_lastFailure.c_str());
  return false;
}

bool SimStateFolder::Save(const char* file, std::span<const std::uint8_t> bytes) const {
  std::string cause;
  return m_files.WriteAtomically(file, sim::WithStateHeader(bytes), cause) || Failed(file, cause);
}

bool SimStateFolder::Append(const char* file, std::span<const std::uint8_t> bytes) const {
  std::string cause;
  return m_files.Append(file, bytes, cause) || Failed(file, cause);
}

std::vector<std::uint8_t> SimStateFolder::LoadAll(const char* file) const {
  std::vector<std::uint8_t> bytes;
  std::string cause;
  m_files.Read(file, bytes, cause);
  return bytes;
}

bool SimStateFolder::Remove(const char* file) const {
  std::string cause;
  return m_files.Remove(file, cause);
}

bool SimStateFolder::CheckFile(const char* name, std::size_t size, std::string& error) const {
  const std::string path = PathOf(name);
  std::vector<std::uint8_t> bytes;
  std::string cause;
  if (!m_files.Read(name, bytes, cause)) {
    error = "cannot read " + path + ": " + cause + kAfresh;
    return false;
  }
  std::optional<std::vector<std::uint8_t>> payload;
  const bool old = bytes.size() == size;
  if (old) {
    payload = std::move(bytes);
  } else {
    payload = sim::StatePayload(bytes, size, cause);
  }
  if (!payload) {
    error = path + " " + cause + kAfresh;
    return false;
  }
  // A file with the header was written by the simulator itself, and the device keeps a value
  // out of range that it was sent (velmorctl settings import --force). Only a file from before
  // the header can hold garbage that passes every other check.
  if (old && std::string(name) == SimStateFolder::kSettingsFile) {
    if (const std::string range = SettingsOutOfRange(*payload); !range.empty()) {
      error = path + " holds " + range + kAfresh;
      return false;
    }
  }
  // Taken once as it is, and kept with the header from now on.
  if (old && !Save(name, *payload)) {
    error = m_lastFailure;
    return false;
  }
  return true;
}

bool SimStateFolder::Check(std::string& error) const {
  std::vector<const char*> missing;
  bool anyThere = false;
  for (const sim::StateFile& file : sim::kStateFiles) {
    sim::FolderFiles::Kind kind;
    std::uint64_t size = 0;
    std::string cause;
    if (!m_files.Look(file.name, kind, size, cause)) {
      error = "cannot look at " + PathOf(file.name) + ": " + cause + kAfresh;
      return false;
    }
    if (kind == sim::FolderFiles::Kind::kMissing) {
      missing.push_back(file.name);
      continue;
    }
    anyThere = true;
    if (kind != sim::FolderFiles::Kind::kFile) {
      error = PathOf(file.name) + " is not a regular file" + kAfresh;
      return false;
    }
    if (!CheckFile(file.name, file.size, error)) return false;
  }
  // A lost file beside kept ones would silently come back as factory content.
  if (anyThere && !missing.empty()) {
    error = PathOf(missing.front()) + " is missing while the other state files are there" + kAfresh;
    return false;
  }
  return true;
}

bool SimStateFolder::Reset(std::string& error) const {
  std::vector<const char*> files = {kApplicationJournal, kBootJournal};
  for (const sim::StateFile& file : sim::kStateFiles) files.push_back(file.name);
  for (const char* file : files) {
    std::string cause;
    if (!m_files.Remove(file, cause)) {
      error = "cannot remove " + PathOf(file) + ": " + cause;
      return false;
    }
  }
  return true;
}
