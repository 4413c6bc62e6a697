#pragma once
// Input files of velmorctl: only regular files are opened, and their size is looked at before
// anything is read, so a folder, a FIFO or a device is refused at once instead of blocking or
// growing without limit.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace cli {

class InputFile {
 public:
  // Opens `path` for reading; throws Failure(kExitUsage) with one line when it is not a
  // regular file, cannot be opened, or holds more than `maxBytes`. `what` names the kind of
  // file in that line ("a settings image").
  InputFile(const std::string& path, std::uint64_t maxBytes, const char* what);

  std::FILE* Stream() const { return m_file.get(); }
  std::uint64_t Size() const { return m_size; }
  // The whole file; throws on a read error or when it grew beyond its limit meanwhile.
  std::vector<char> ReadAll();

 private:
  std::string m_path;
  std::uint64_t m_maxBytes;
  std::uint64_t m_size = 0;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> m_file{nullptr, &std::fclose};
};

}  // namespace cli
