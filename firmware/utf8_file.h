#pragma once
// Opening a file whose name is UTF-8 text, on every system. Windows' narrow file calls take the
// ANSI code page, so a name beyond it would not open, or would come back garbled in a message.

#include <cstdio>
#include <string>

namespace firmware {

// std::fopen for a UTF-8 name; null when the file does not open.
std::FILE* OpenUtf8File(const std::string& path, const char* mode);

}  // namespace firmware
