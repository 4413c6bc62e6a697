#include "device/version_text.h"

#include <cstdio>

namespace device {

std::string FormatVersion(unsigned major, unsigned minor) {
  char text[32];
  std::snprintf(text, sizeof text, "V%d.%03d", static_cast<int>(major), static_cast<int>(minor));
  return text;
}

std::string FormatDate(unsigned day, unsigned month, unsigned year) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d", static_cast<int>(day), static_cast<int>(month),
                static_cast<int>(year));
  return text;
}

}  // namespace device
