#include "cli/console_sink.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <string>

#include "cli/json_output.h"
#include "firmware/update_texts.h"

namespace cli {

namespace {

bool IsError(const std::string& text) {
  return text.starts_with("ERROR") || text.starts_with("FATAL") || text.starts_with("Can't open");
}

#if defined(_WIN32)
// The bar needs both streams on a console (a redirected stream, or NUL, is none). The console
// takes "\r\033[K" only with virtual-terminal processing on; where that cannot be turned on, the
// line is blanked with spaces as wide as the console.
bool OnConsole(DWORD stream) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(stream), &mode) != FALSE;
}

std::string LineClearer() {
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(err, &mode) &&
      SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING | ENABLE_PROCESSED_OUTPUT)) {
    return "\r\033[K";
  }
  CONSOLE_SCREEN_BUFFER_INFO info{};
  const int width = GetConsoleScreenBufferInfo(err, &info) ? info.dwSize.X : 80;
  // One column short: writing into the last one moves the cursor to the next line.
  return "\r" + std::string(static_cast<std::size_t>(width > 1 ? width - 1 : 1), ' ') + "\r";
}

bool ShowsBar() {
  return OnConsole(STD_OUTPUT_HANDLE) && OnConsole(STD_ERROR_HANDLE);
}
#else
std::string LineClearer() {
  return "\r\033[K";
}

bool ShowsBar() {
  return isatty(STDOUT_FILENO) != 0 && isatty(STDERR_FILENO) != 0;
}
#endif

}  // namespace

std::string GroupedNumber(unsigned number) {
  std::string digits = std::to_string(number);
  for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<std::size_t>(at), ",");
  }
  return digits;
}

ConsoleSink::ConsoleSink(const CDeviceLink& link, bool json)
    : m_link(link), m_json(json), m_bar(!json && ShowsBar()) {
  if (m_bar) m_clearLine = LineClearer();
}

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
  std::fprintf(stderr, "%s%s", m_clearLine.c_str(), text.c_str());
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
  if (m_bar) std::fputs(m_clearLine.c_str(), stderr);
}

}  // namespace cli
