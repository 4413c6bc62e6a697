#include "firmware/utf8_file.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace firmware {

#ifdef _WIN32

std::FILE* OpenUtf8File(const std::string& path, const char* mode) {
  const auto wide = [](const char* text) {
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    std::wstring result(n > 0 ? static_cast<std::size_t>(n) : 1, L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, result.data(), n);
    return result;
  };
  const std::wstring name = wide(path.c_str());
  if (name.size() <= 1 && !path.empty()) return nullptr;  // not UTF-8
  return _wfopen(name.c_str(), wide(mode).c_str());
}

#else

std::FILE* OpenUtf8File(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

#endif

}  // namespace firmware
