#pragma once
// A device's request trace (one line per request, as the simulator writes it) reduced to what
// does not depend on timing, so that runs on two systems compare frame by frame: a poll that
// repeats shows once, and each run of program packets shows as its count and a hash of its
// lines (thousands of frames otherwise).

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

inline std::vector<std::string> SummariseTrace(const std::string& text) {
  std::vector<std::string> summary;
  std::string previous;
  std::uint64_t hash = 0;
  unsigned programs = 0;
  auto endPrograms = [&] {
    if (programs == 0) return;
    char line[96];
    std::snprintf(line, sizeof line, "PROGRAM x%u fnv1a=%016llx", programs,
                  static_cast<unsigned long long>(hash));
    summary.push_back(line);
    programs = 0;
  };
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line == previous) continue;
    previous = line;
    if (line.rfind("PROGRAM ", 0) == 0) {
      if (programs == 0) hash = 14695981039346656037ull;
      for (const char c : line + "\n") {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
      }
      ++programs;
      continue;
    }
    endPrograms();
    summary.push_back(line);
  }
  endPrograms();
  return summary;
}

inline std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}
