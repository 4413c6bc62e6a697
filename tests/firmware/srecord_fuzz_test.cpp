// Randomised input for the S-record reader: it must never read outside the line it is given,
// never crash, and whatever it accepts must say exactly what the line says.

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "firmware/srecord_file.h"
#include "tests/firmware/update_recorder.h"

namespace {

using firmware::SRecordFault;

std::string Mutate(std::string line, std::mt19937& random) {
  static const char kAlphabet[] = "0123456789ABCDEFabcdefS \r\n\t\0xG";
  std::uniform_int_distribution<int> pick(0, 5);
  const int edits = 1 + pick(random) % 3;
  for (int e = 0; e < edits; ++e) {
    std::uniform_int_distribution<std::size_t> at(0, line.empty() ? 0 : line.size() - 1);
    const char c = kAlphabet[random() % (sizeof kAlphabet - 1)];
    switch (pick(random)) {
      case 0:
        if (!line.empty()) line[at(random)] = c;
        break;
      case 1:
        line.insert(line.begin() + static_cast<std::ptrdiff_t>(at(random)), c);
        break;
      case 2:
        if (!line.empty()) line.erase(at(random), 1);
        break;
      case 3:
        line.resize(at(random));
        break;
      case 4:
        line += line.substr(at(random));
        break;
      default:
        if (line.size() > 3) line[2 + random() % 2] = c;
        break;  // the byte count
    }
  }
  return line;
}

// The record as its writer would have written it, upper case.
std::string Rewrite(const firmware::SRecordLine& r) {
  std::vector<std::uint8_t> data(r.data.begin(), r.data.begin() + r.length);
  return MakeSRecord(r.type, r.address, data);
}

std::string Canonical(std::string line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
    line.pop_back();
  }
  for (char& c : line) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return line;
}

TEST(SRecordFuzz, LinesAreReadWithinTheirBoundsAndAcceptedOnlyWhenExact) {
  std::mt19937 random(20060305);
  std::vector<std::string> seeds;
  for (unsigned type : {0u, 1u, 2u, 3u, 5u, 6u, 7u, 8u, 9u}) {
    const bool data = type <= 3;
    for (std::size_t n : {0, 1, 5, 16, 32, 64}) {
      std::vector<std::uint8_t> bytes(data ? n : 0);
      for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
      seeds.push_back(MakeSRecord(type,
                                  static_cast<std::uint32_t>(random()) &
                                      (type == 1 || type == 5 || type == 9 || type == 0 ? 0xFFFF
                                       : type == 2 || type == 6 || type == 8            ? 0xFFFFFF
                                                                             : 0xFFFFFFFF),
                                  bytes));
    }
  }
  std::size_t accepted = 0;
  for (int i = 0; i < 200000; ++i) {
    const std::string line = Mutate(seeds[random() % seeds.size()], random);
    if (line.empty() || line[0] != 'S') continue;
    // An exact-size heap copy, so a sanitizer build catches any read past the end.
    const auto copy = std::make_unique<char[]>(line.size());
    std::copy(line.begin(), line.end(), copy.get());
    firmware::SRecordLine parsed;
    if (firmware::ParseSRecordLine({copy.get(), line.size()}, parsed) != SRecordFault::kNone) {
      continue;
    }
    ++accepted;
    ASSERT_EQ(Rewrite(parsed), Canonical(line));
  }
  // Some mutations leave a valid record (a changed case, a blank at the end).
  EXPECT_GT(accepted, 0u);
}

TEST(SRecordFuzz, MutatedFilesAreAcceptedOnlyWhenEveryRecordIsSound) {
  std::mt19937 random(1910);
  std::string good;
  std::size_t records = 0;
  for (std::uint32_t a = 0; a < 0x200; a += 32, ++records) {
    std::vector<std::uint8_t> bytes(32);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    good += MakeSRecord(2, 0x012000 + a, bytes) + "\n";
  }
  good += MakeSRecord(5, static_cast<std::uint32_t>(records), {}) + "\n";
  for (int i = 0; i < 5000; ++i) {
    std::string text = good;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = random() % text.size();
      const std::size_t length = 1 + random() % 80;
      text = text.substr(0, at) + Mutate(text.substr(at, length), random) +
             text.substr(std::min(text.size(), at + length));
    }
    firmware::SRecordFile file;
    if (!file.Parse(text)) {
      EXPECT_LE(file.FaultLine(),
                static_cast<std::uint32_t>(std::count(text.begin(), text.end(), '\n') + 1));
      continue;
    }
    std::uint64_t bytes = 0;
    for (const auto& r : file.Records()) {
      EXPECT_LE(r.position, file.Length());
      bytes += r.length;
    }
    EXPECT_EQ(bytes, file.DataBytes());
  }
}

}  // namespace
