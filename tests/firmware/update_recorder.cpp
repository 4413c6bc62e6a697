#include "tests/firmware/update_recorder.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

std::vector<std::string> UpdateRecorder::Texts() const {
  std::vector<std::string> texts;
  for (const auto& e : events) {
    if (e.kind == UpdateEvent::kPost || e.kind == UpdateEvent::kSend) texts.push_back(e.text);
  }
  return texts;
}

std::size_t UpdateRecorder::Count(const std::string& text) const {
  const auto texts = Texts();
  return static_cast<std::size_t>(std::count(texts.begin(), texts.end(), text));
}

HealthyDevice::HealthyDevice() : link(MakeLinkTo(device)), timing(0) {
  device.ReplyWord(CMD_GET_ERASE_STATUS, 1);
}

std::vector<std::uint8_t> HealthyDevice::Commands() const {
  std::vector<std::uint8_t> commands;
  for (const auto& f : device.Frames()) commands.push_back(f.Command());
  return commands;
}

std::string MakeSRecord(unsigned type, std::uint32_t address,
                        const std::vector<std::uint8_t>& data) {
  static constexpr unsigned kAddressBytes[10] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};
  const unsigned addressBytes = kAddressBytes[type];
  std::vector<std::uint8_t> bytes;
  bytes.push_back(static_cast<std::uint8_t>(addressBytes + data.size() + 1));
  for (unsigned i = addressBytes; i-- > 0;)
    bytes.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
  bytes.insert(bytes.end(), data.begin(), data.end());
  unsigned sum = 0;
  for (auto b : bytes) sum += b;
  bytes.push_back(static_cast<std::uint8_t>(~sum));
  std::string line = "S" + std::to_string(type);
  char hex[3];
  for (auto b : bytes) {
    std::snprintf(hex, sizeof hex, "%02X", b);
    line += hex;
  }
  return line;
}

TempFile::TempFile(const std::string& text, const std::string& suffix) {
  static std::atomic<int> counter{0};
  m_path = std::filesystem::temp_directory_path() /
           ("velmor-fw-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + suffix);
  std::ofstream(m_path, std::ios::binary) << text;
}

TempFile::~TempFile() {
  std::error_code ignored;
  std::filesystem::remove(m_path, ignored);
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
