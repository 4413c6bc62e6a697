#pragma once
// Files whose names are UTF-8 text, on every system. Windows' narrow file calls take the ANSI
// code page, so a name beyond it would not open, or would be created garbled.

#include <cstdio>
#include <string>

namespace firmware {

// std::fopen for a UTF-8 name; null when the file does not open.
std::FILE* OpenUtf8File(const std::string& path, const char* mode);

// Moves `from` over `to`, replacing a file already there (std::rename does not on Windows).
bool ReplaceUtf8File(const std::string& from, const std::string& to);

// std::remove for a UTF-8 name.
bool RemoveUtf8File(const std::string& path);

}  // namespace firmware
