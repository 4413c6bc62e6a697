#pragma once
// Curve names are Latin-1 on the device; people and JSON see them as UTF-8.

#include <optional>
#include <string>
#include <string_view>

namespace settings {

// Every byte becomes its code point, so any byte string gives valid UTF-8.
std::string Latin1ToUtf8(std::string_view latin1);
// Empty when the text is not valid UTF-8 or holds a character beyond U+00FF.
std::optional<std::string> Utf8ToLatin1(std::string_view utf8);

}  // namespace settings
