// The state folder's files on Windows, through the wide-character Win32 calls so that folder
// names beyond ASCII work.
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>

#include "sim/folder_files.h"

namespace sim {

namespace {

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

std::string Cause() {
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

bool MakeFolders(const std::wstring& path) {
  if (path.empty()) return false;
  for (std::size_t at = 1; at <= path.size(); ++at) {
    if (at != path.size() && path[at] != L'/' && path[at] != L'\\') continue;
    const std::wstring part = path.substr(0, at);
    if (part.back() == L':') continue;  // a drive, not a folder
    if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      return false;
    }
  }
  return IsFolder(path);
}

bool WriteAll(HANDLE file, std::span<const std::uint8_t> bytes) {
  const std::uint8_t* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    DWORD written = 0;
    const DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
    if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    left -= written;
  }
  return true;
}

// Writes `bytes` through a handle the caller opened, and closes it.
bool WriteAndClose(HANDLE file, std::span<const std::uint8_t> bytes, bool flush,
                   std::string& cause) {
  if (file == INVALID_HANDLE_VALUE) {
    cause = Cause();
    return false;
  }
  bool done = WriteAll(file, bytes) && (!flush || FlushFileBuffers(file));
  if (!done) cause = Cause();
  if (!CloseHandle(file) && done) {
    done = false;
    cause = Cause();
  }
  return done;
}

}  // namespace

FolderFiles::FolderFiles(std::string folder) : m_folder(std::move(folder)) {
  while (m_folder.size() > 1 && (m_folder.back() == '/' || m_folder.back() == '\\')) {
    m_folder.pop_back();
  }
}

FolderFiles::~FolderFiles() {
  if (m_lockFd >= 0) _close(m_lockFd);
}

bool FolderFiles::Open(std::string& error) {
  if (MakeFolders(Wide(m_folder))) return true;
  error = "cannot create the state folder " + m_folder + ": " + Cause();
  return false;
}

bool FolderFiles::Lock(const std::string& name, bool& busy, std::string& cause) {
  // Opened without sharing, the file is the lock: a second open fails until we close it.
  if (_wsopen_s(&m_lockFd, Wide(m_folder + "/" + name).c_str(),
                _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT, _SH_DENYRW,
                _S_IREAD | _S_IWRITE) == 0) {
    return true;
  }
  m_lockFd = -1;
  busy = GetLastError() == ERROR_SHARING_VIOLATION || errno == EACCES;
  cause = Cause();
  return false;
}

bool FolderFiles::WriteAtomically(const std::string& name, std::span<const std::uint8_t> bytes,
                                  std::string& cause) const {
  const std::wstring target = Wide(m_folder + "/" + name);
  const std::wstring temporary = Wide(m_folder + "/" + name + kTemporarySuffix);
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  bool done = WriteAndClose(file, bytes, true, cause);
  // Write-through: the rename has reached the disk when the call returns.
  if (done && !MoveFileExW(temporary.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    done = false;
    cause = Cause();
  }
  if (!done) DeleteFileW(temporary.c_str());
  return done;
}

bool FolderFiles::Append(const std::string& name, std::span<const std::uint8_t> bytes,
                         std::string& cause) const {
  return WriteAndClose(
      CreateFileW(Wide(m_folder + "/" + name).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr),
      bytes, false, cause);
}

bool FolderFiles::Read(const std::string& name, std::vector<std::uint8_t>& bytes,
                       std::string& cause) const {
  bytes.clear();
  HANDLE handle = CreateFileW(Wide(m_folder + "/" + name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) cause = Cause();
    return false;
  }
  std::vector<std::uint8_t> block(65536);
  DWORD n = 0;
  bool ok = true;
  while ((ok = ReadFile(handle, block.data(), static_cast<DWORD>(block.size()), &n, nullptr)) &&
         n > 0) {
    bytes.insert(bytes.end(), block.begin(), block.begin() + n);
  }
  if (!ok) cause = Cause();
  CloseHandle(handle);
  return ok;
}

bool FolderFiles::Look(const std::string& name, Kind& kind, std::uint64_t& size,
                       std::string& cause) const {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Wide(m_folder + "/" + name).c_str(), GetFileExInfoStandard, &data)) {
    kind = Kind::kMissing;
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return true;
    cause = Cause();
    return false;
  }
  kind = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Kind::kOther : Kind::kFile;
  size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  return true;
}

bool FolderFiles::Remove(const std::string& name, std::string& cause) const {
  if (DeleteFileW(Wide(m_folder + "/" + name).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) {
    return true;
  }
  cause = Cause();
  return false;
}

std::vector<std::string> FolderFiles::List() const {
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(Wide(m_folder + "/*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(Utf8(entry.cFileName));
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return names;
}

std::string DefaultStateFolder() {
  if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA"); local != nullptr && *local != L'\0') {
    return Utf8(local) + "\\velmor-sim";
  }
  wchar_t temporary[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, temporary);
  return Utf8(std::wstring(temporary, n)) + "velmor-sim";
}

}  // namespace sim
