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

std::string GroupedNumber(unsigned number) {
  std::string digits = std::to_string(number);
  for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<std::size_t>(at), ",");
  }
  return digits;
}

ConsoleSink::ConsoleSink(const CDeviceLink& link, bool json)
    : m_link(link), m_json(json), m_bar(!json && isatty(STDOUT_FILENO) != 0) {}

void ConsoleSink::PostStatus(unsigned percent, std::string text) {
  Show(percent, text);
}

void ConsoleSink::SendStatus(unsigned percent, std::string text) {
  Show(percent, text);
}

void ConsoleSink::End(bool /*success*/) {
  Flush();
  ClearBar();
}

void ConsoleSink::Say(const std::string& text) {
  Flush();
  Print(0, text, 1);
  ClearBar();
}

void ConsoleSink::Countdown(const std::string& text) {
  if (!m_bar) return;
  std::fprintf(stderr, "\r\033[K%s", text.c_str());
  std::fflush(stderr);
}

void ConsoleSink::NewAttempt() {
  Flush();
  m_lastError.clear();
  m_printed.clear();
  m_refused = m_unanswered = m_absent = 0;
}

void ConsoleSink::Show(unsigned percent, const std::string& text) {
  if (IsError(text)) m_lastError = text;
  if (text != firmware::kTextCannotWrite) {
    Flush();
    // The worker says the erase notice twice; the terminal needs it once.
    if (text != m_printed) Print(percent, text, 1);
    return;
  }
  // The packet that just failed is the link's latest request.
  switch (m_link.Last().outcome) {
    case CDeviceLink::Outcome::kAbsent:
      ++m_absent;
      break;
    case CDeviceLink::Outcome::kNoAnswer:
    case CDeviceLink::Outcome::kFailed:
      ++m_unanswered;
      break;
    default:
      ++m_refused;
      break;
  }
  ++m_held;
  if (m_bar) {
    Countdown(text + " (" + GroupedNumber(m_held) + (m_held == 1 ? " packet)" : " packets)"));
  }
}

void ConsoleSink::Flush() {
  if (m_held == 0) return;
  const unsigned count = m_held;
  m_held = 0;
  Print(0, firmware::kTextCannotWrite, count);
}

void ConsoleSink::Print(unsigned percent, const std::string& text, unsigned count) {
  m_printed = text;
  if (m_json) {
    Json status = {{"status", text}, {"percent", percent}};
    if (count > 1) status["count"] = count;
    PrintJson(status, true);
    return;
  }
  ClearBar();
  if (count > 1) {
    std::printf("%s (%s packets)\n", text.c_str(), GroupedNumber(count).c_str());
  } else {
    std::printf("%s\n", text.c_str());
  }
  std::fflush(stdout);
  if (!m_bar) return;
  constexpr unsigned kWidth = 40;
  const unsigned filled = (percent > 100 ? 100 : percent) * kWidth / 100;
  std::fprintf(stderr, "[%s%s] %3u%%", std::string(filled, '#').c_str(),
               std::string(kWidth - filled, ' ').c_str(), percent);
  std::fflush(stderr);
}

void ConsoleSink::ClearBar() {
  if (m_bar) std::fputs("\r\033[K", stderr);
}

}  // namespace cli
