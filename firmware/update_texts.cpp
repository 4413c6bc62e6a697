#include "firmware/update_texts.h"

#include <cstdio>

namespace firmware {

long ByteRate(std::uint32_t bytes, std::uint32_t elapsedMs) {
  const double seconds = elapsedMs * 0.001;
  const double rate = seconds > 0 ? bytes / seconds : bytes;
  return static_cast<long>(rate);
}

std::string ImageProgressText(unsigned percent, unsigned major, unsigned minor, long rate) {
  char text[128];
  std::snprintf(text, sizeof text, "%u%%: Download of V%d.%03d in progress (%ld Bytes/s) ...",
                percent, static_cast<int>(major), static_cast<int>(minor), rate);
  return text;
}

std::string FileProgressText(unsigned percent, long rate) {
  char text[96];
  std::snprintf(text, sizeof text, "%u%%: Download in progress (%ld Bytes/s) ...", percent, rate);
  return text;
}

std::string CannotOpenText(const std::string& name) {
  return "Can't open " + name + "!";
}

}  // namespace firmware
