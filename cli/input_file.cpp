#include "cli/input_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "cli/cli_context.h"
#include "firmware/utf8_file.h"

#if defined(_WIN32)
#include <filesystem>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace cli {

namespace {

[[noreturn]] void Refuse(const std::string& path, const std::string& why) {
  throw Failure(kExitUsage, path + ": " + why);
}

#if !defined(_WIN32)
const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "something else";
}
#endif

}  // namespace

InputFile::InputFile(const std::string& path, std::uint64_t maxBytes, const char* what)
    : m_path(path), m_maxBytes(maxBytes) {
#if defined(_WIN32)
  std::error_code error;
  // The name is UTF-8; a narrow std::filesystem::path would read it in the ANSI code page.
  const std::filesystem::path name(std::u8string(path.begin(), path.end()));
  const auto status = std::filesystem::status(name, error);
  if (error) Refuse(path, "cannot open: " + error.message());
  if (std::filesystem::is_directory(status)) Refuse(path, "is a folder, not a file");
  if (!std::filesystem::is_regular_file(status)) Refuse(path, "is not a regular file");
  m_file.reset(firmware::OpenUtf8File(path, "rb"));
  if (!m_file) Refuse(path, std::string("cannot open: ") + std::strerror(errno));
  m_size = std::filesystem::file_size(name, error);
  if (error) Refuse(path, "cannot open: " + error.message());
#else
  // Non-blocking, so that opening a FIFO does not wait for a writer; fstat then looks at what
  // was opened, not at what the name pointed to a moment before.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) Refuse(path, std::string("cannot open: ") + std::strerror(errno));
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    const int saved = errno;
    close(fd);
    Refuse(path, std::string("cannot open: ") + std::strerror(saved));
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    Refuse(path, std::string("is ") + KindOf(st.st_mode) + ", not a regular file");
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  m_file.reset(fdopen(fd, "rb"));
  if (!m_file) {
    close(fd);
    Refuse(path, std::string("cannot open: ") + std::strerror(errno));
  }
  m_size = static_cast<std::uint64_t>(st.st_size);
#endif
  if (m_size > m_maxBytes) {
    Refuse(path, "holds " + std::to_string(m_size) + " bytes; " + what + " has at most " +
                     std::to_string(m_maxBytes));
  }
}

std::vector<char> InputFile::ReadAll() {
  // One byte more than allowed tells a file that grew since it was looked at.
  std::vector<char> bytes(static_cast<std::size_t>(m_maxBytes) + 1);
  const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), m_file.get());
  if (std::ferror(m_file.get())) Refuse(m_path, "read error");
  if (got > m_maxBytes) Refuse(m_path, "grew beyond " + std::to_string(m_maxBytes) + " bytes");
  bytes.resize(got);
  return bytes;
}

}  // namespace cli
