#pragma once
// What a shortcut (.lnk) starts, read through the shell's own interface (test-only).

#include <string>

namespace standin {

struct ShortcutInfo {
  std::string target;  // UTF-8
  std::string arguments;
  std::string workingFolder;
  std::string icon;
};

// False with a message for people in `error` when `path` (a Windows path) is no shortcut.
bool ReadShortcut(const std::string& path, ShortcutInfo& info, std::string& error);

}  // namespace standin
