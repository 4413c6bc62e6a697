#include "cli/console_sink.h"

#if defined(_WIN32)
#include <io.h>
#define isatty _isatty
#define STDOUT_FILENO 1
#else
#include <unistd.h>
#endif

#include <cstdio>

#include "cli/json_output.h"
#include "firmware/update_texts.h"

namespace cli {

namespace {

bool IsError(const std::string& text) {
  return text.starts_with("ERROR") || text.starts_with("FATAL") || text.starts_with("Can't open");
}

}  // namespace

ConsoleSink::ConsoleSink(bool json) : m_json(json), m_bar(!json && isatty(STDOUT_FILENO) != 0) {}

void ConsoleSink::PostStatus(unsigned percent, std::string text) {
  Show(percent, text);
}

void ConsoleSink::SendStatus(unsigned percent, std::string text) {
  Show(percent, text);
}

void ConsoleSink::End(bool /*success*/) {
  if (m_bar) std::fputs("\r\033[K", stderr);
}

void ConsoleSink::Show(unsigned percent, const std::string& text) {
  if (IsError(text)) m_lastError = text;
  if (text == firmware::kTextCannotWrite) ++m_refused;
  if (m_json) {
    PrintJson({{"status", text}, {"percent", percent}}, true);
    return;
  }
  if (m_bar) std::fputs("\r\033[K", stderr);
  std::printf("%s\n", text.c_str());
  std::fflush(stdout);
  if (!m_bar) return;
  constexpr unsigned kWidth = 40;
  const unsigned filled = (percent > 100 ? 100 : percent) * kWidth / 100;
  std::fprintf(stderr, "[%s%s] %3u%%", std::string(filled, '#').c_str(),
               std::string(kWidth - filled, ' ').c_str(), percent);
  std::fflush(stderr);
}

}  // namespace cli
