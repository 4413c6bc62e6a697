// The state folder on Windows: the same files and guarantees as on POSIX systems, through the
// wide-character Win32 calls so that folder names beyond ASCII work.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "device/flash_trailer.h"
#include "settings/settings_image.h"
#include "sim/state_files.h"
#include "sim/state_folder.h"

namespace {

constexpr const char* kLockFile = ".lock";
constexpr const wchar_t* kTemporarySuffix = L".tmp";

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                      nullptr, nullptr);
  return utf8;
}

std::string LastError() {
  const DWORD code = GetLastError();
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = text != nullptr ? Utf8(text) : "error " + std::to_string(code);
  LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
    message.pop_back();
  }
  return message;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeFolders(const std::string& path) {
  if (path.empty()) return false;
  const std::wstring wide = Wide(path);
  for (std::size_t at = 1; at <= wide.size(); ++at) {
    if (at != wide.size() && wide[at] != L'/' && wide[at] != L'\\') continue;
    const std::wstring part = wide.substr(0, at);
    if (part.back() == L':') continue;  // a drive, not a folder
    if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      return false;
    }
  }
  return IsFolder(wide);
}

bool WriteAll(HANDLE file, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    DWORD written = 0;
    const DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

bool EndsWith(const std::wstring& text, const std::wstring& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

namespace sim {

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
  const std::wstring target = Wide(path);
  const std::wstring temporary = target + kTemporarySuffix;
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool written = WriteAll(file, bytes.data(), bytes.size()) && FlushFileBuffers(file);
  const bool closed = CloseHandle(file) != FALSE;
  // Write-through: the rename has reached the disk when the call returns.
  if (!written || !closed ||
      !MoveFileExW(temporary.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

// %LOCALAPPDATA%\velmor-sim, else the temporary folder's velmor-sim.
std::string DefaultStateFolder() {
  if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA"); local != nullptr && *local != L'\0') {
    return Utf8(local) + "\\velmor-sim";
  }
  wchar_t temporary[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, temporary);
  return Utf8(std::wstring(temporary, n)) + "velmor-sim";
}

}  // namespace sim

SimStateFolder::SimStateFolder(std::string folder) : m_folder(std::move(folder)) {
  while (m_folder.size() > 1 && (m_folder.back() == '/' || m_folder.back() == '\\')) {
    m_folder.pop_back();
  }
}

SimStateFolder::~SimStateFolder() {
  if (m_lockFd >= 0) _close(m_lockFd);
}

bool SimStateFolder::Open(std::string& error) {
  if (!MakeFolders(m_folder)) {
    error = "cannot create the state folder " + m_folder + ": " + LastError();
    return false;
  }
  // The lock file opened without sharing is the lock: a second open fails until we close it.
  const std::string lock = PathOf(kLockFile);
  if (_wsopen_s(&m_lockFd, Wide(lock).c_str(), _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                _SH_DENYRW, _S_IREAD | _S_IWRITE) != 0) {
    m_lockFd = -1;
    const bool inUse = GetLastError() == ERROR_SHARING_VIOLATION || errno == EACCES;
    error = inUse ? "the state folder " + m_folder + " is in use by another simulator"
                  : "cannot open " + lock + ": " + LastError();
    return false;
  }
  WIN32_FIND_DATAW entry;
  const std::wstring folder = Wide(m_folder);
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (EndsWith(entry.cFileName, kTemporarySuffix)) {
        DeleteFileW((folder + L"\\" + entry.cFileName).c_str());
      }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  return true;
}

std::optional<std::vector<std::uint8_t>> SimStateFolder::Load(const char* file,
                                                              std::size_t size) const {
  HANDLE handle = CreateFileW(Wide(PathOf(file)).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<std::uint8_t> bytes(size + 1);  // one more tells a longer file apart
  std::size_t got = 0;
  while (got < bytes.size()) {
    DWORD n = 0;
    if (!ReadFile(handle, bytes.data() + got, static_cast<DWORD>(bytes.size() - got), &n,
                  nullptr) ||
        n == 0) {
      break;
    }
    got += n;
  }
  CloseHandle(handle);
  if (got != size) return std::nullopt;
  bytes.resize(size);
  return bytes;
}

bool SimStateFolder::Save(const char* file, std::span<const std::uint8_t> bytes) const {
  if (sim::WriteFileAtomically(PathOf(file), bytes)) return true;
  ++m_failedSaves;
  m_lastFailure = "cannot save " + PathOf(file) + ": " + LastError();
  std::fprintf(stderr, "velmor-sim: %s\n", m_lastFailure.c_str());
  return false;
}

bool SimStateFolder::Append(const char* file, std::span<const std::uint8_t> bytes) const {
  HANDLE handle = CreateFileW(Wide(PathOf(file)).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool written = handle != INVALID_HANDLE_VALUE && WriteAll(handle, bytes.data(), bytes.size());
  const std::string cause = written ? std::string() : LastError();
  if (handle != INVALID_HANDLE_VALUE && !CloseHandle(handle)) written = false;
  if (written) return true;
  ++m_failedSaves;
  m_lastFailure = "cannot save " + PathOf(file) + ": " + cause;
  std::fprintf(stderr, "velmor-sim: %s\n", m_lastFailure.c_str());
  return false;
}

std::vector<std::uint8_t> SimStateFolder::LoadAll(const char* file) const {
  std::vector<std::uint8_t> bytes;
  HANDLE handle = CreateFileW(Wide(PathOf(file)).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return bytes;
  std::uint8_t block[4096];
  DWORD n = 0;
  while (ReadFile(handle, block, sizeof block, &n, nullptr) && n > 0) {
    bytes.insert(bytes.end(), block, block + n);
  }
  CloseHandle(handle);
  return bytes;
}

bool SimStateFolder::Remove(const char* file) const {
  return DeleteFileW(Wide(PathOf(file)).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool SimStateFolder::Check(std::string& error) const {
  const std::string afresh = " (velmor-sim --reset starts afresh)";
  for (const sim::StateFile& file : sim::kStateFiles) {
    const std::string path = PathOf(file.name);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) {
      if (GetLastError() == ERROR_FILE_NOT_FOUND) continue;
      error = "cannot look at " + path + ": " + LastError();
      return false;
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      error = path + " is not a regular file" + afresh;
      return false;
    }
    const std::uint64_t size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    if (size != file.size) {
      error = path + " holds " + std::to_string(size) + " bytes, not " + std::to_string(file.size) +
              afresh;
      return false;
    }
    if (!Load(file.name, file.size)) {
      error = "cannot read " + path + ": " + LastError() + afresh;
      return false;
    }
  }
  return true;
}

bool SimStateFolder::Reset(std::string& error) const {
  for (const char* journal : {kApplicationJournal, kBootJournal}) {
    if (!Remove(journal)) {
      error = "cannot remove " + PathOf(journal) + ": " + LastError();
      return false;
    }
  }
  for (const sim::StateFile& file : sim::kStateFiles) {
    if (!Remove(file.name)) {
      error = "cannot remove " + PathOf(file.name) + ": " + LastError();
      return false;
    }
  }
  return true;
}
#endif
