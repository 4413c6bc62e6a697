#include "settings/latin1_text.h"

namespace settings {

std::string Latin1ToUtf8(std::string_view latin1) {
  std::string text;
  text.reserve(latin1.size() * 2);
  for (const char c : latin1) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      text += c;
    } else {
      text += static_cast<char>(0xC0 | (b >> 6));
      text += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return text;
}

std::optional<std::string> Utf8ToLatin1(std::string_view utf8) {
  std::string bytes;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      bytes += static_cast<char>(b);
      continue;
    }
    // Only U+0080..U+00FF fit: lead bytes C2 and C3 with one continuation byte.
    if ((b != 0xC2 && b != 0xC3) || i + 1 >= utf8.size()) return std::nullopt;
    const auto next = static_cast<unsigned char>(utf8[i + 1]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    bytes += static_cast<char>(((b & 0x03) << 6) | (next & 0x3F));
    ++i;
  }
  return bytes;
}

}  // namespace settings
