#include "tests/cli/s3_file.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

std::string S3File(std::uint32_t address, const std::vector<std::uint8_t>& bytes) {
  auto record = [](char type, std::uint32_t at, const std::uint8_t* data, std::size_t n) {
    std::vector<std::uint8_t> body = {
        static_cast<std::uint8_t>(n + 5), static_cast<std::uint8_t>(at >> 24),
        static_cast<std::uint8_t>(at >> 16), static_cast<std::uint8_t>(at >> 8),
        static_cast<std::uint8_t>(at)};
    body.insert(body.end(), data, data + n);
    unsigned sum = 0;
    std::string line = {'S', type};
    char hex[3];
    for (auto b : body) {
      sum += b;
      std::snprintf(hex, sizeof hex, "%02X", b);
      line += hex;
    }
    std::snprintf(hex, sizeof hex, "%02X", ~sum & 0xFF);
    return line + hex + "\n";
  };
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); i += 32) {
    text += record('3', address + static_cast<std::uint32_t>(i), bytes.data() + i,
                   bytes.size() - i < 32 ? bytes.size() - i : 32);
  }
  return text + record('7', address, nullptr, 0);
}
