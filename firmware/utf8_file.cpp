#include "firmware/utf8_file.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace firmware {

#ifdef _WIN32

namespace {

// Empty when `text` is not UTF-8.
std::wstring Wide(const std::string& text) {
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                    static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring result(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                      result.data(), n);
  return result;
}

}  // namespace

std::FILE* OpenUtf8File(const std::string& path, const char* mode) {
  const std::wstring name = Wide(path);
  if (name.empty()) return nullptr;
  return _wfopen(name.c_str(), Wide(mode).c_str());
}

bool ReplaceUtf8File(const std::string& from, const std::string& to) {
  const std::wstring source = Wide(from);
  const std::wstring target = Wide(to);
  if (source.empty() || target.empty()) return false;
  return MoveFileExW(source.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool RemoveUtf8File(const std::string& path) {
  const std::wstring name = Wide(path);
  return !name.empty() && DeleteFileW(name.c_str()) != FALSE;
}

#else

std::FILE* OpenUtf8File(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

bool ReplaceUtf8File(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveUtf8File(const std::string& path) {
  return std::remove(path.c_str()) == 0;
}

#endif

}  // namespace firmware
