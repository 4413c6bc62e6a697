#pragma once
// velmorctl update's view of the worker: each status on a line of its own on stdout, a progress
// bar on stderr below them while stdout is a terminal, and the last error kept for the final
// line.
//
// A run of refused packets is one line with its count ("ERROR: Can't write to device (2,158
// packets)"), printed when the run ends; a terminal shows the count growing on the bar's line
// meanwhile. Any other status that repeats the line just printed is not printed again.

#include <string>

#include "device/device_link.h"
#include "firmware/update_sink.h"

namespace cli {

class ConsoleSink final : public firmware::UpdateSink {
 public:
  // With `json`, each status is one JSON object on a line of its own, and there is no bar.
  // `link` is asked why each packet failed.
  ConsoleSink(const CDeviceLink& link, bool json = false);

  void Start() override {}
  void PostStatus(unsigned percent, std::string text) override;
  void SendStatus(unsigned percent, std::string text) override;
  void End(bool success) override;

  // A line of velmorctl's own among the statuses.
  void Say(const std::string& text);
  // Seconds left of a wait, on the bar's line; only on a terminal.
  void Countdown(const std::string& text);
  bool Terminal() const { return m_bar; }
  // Forgets the errors of an attempt before the next one.
  void NewAttempt();

  // The worker's last error text ("ERROR: ...", "FATAL: ...", "Can't open ..."), empty if none.
  const std::string& LastError() const { return m_lastError; }
  // Failed packets by why they failed.
  unsigned RefusedPackets() const { return m_refused; }
  unsigned UnansweredPackets() const { return m_unanswered; }
  unsigned AbsentPackets() const { return m_absent; }
  // A packet found no device object: the device went away.
  bool DeviceGone() const { return m_absent > 0; }

 private:
  void Show(unsigned percent, const std::string& text);
  void Print(unsigned percent, const std::string& text, unsigned count);
  void Flush();
  void ClearBar();

  const CDeviceLink& m_link;
  bool m_json;
  bool m_bar;
  std::string m_clearLine;  // blanks the bar's line on stderr
  std::string m_lastError;
  std::string m_printed;      // the last status line printed
  unsigned m_held = 0;        // refused packets of the run not printed yet
  unsigned m_refused = 0;     // the device answered "failed"
  unsigned m_unanswered = 0;  // no answer, or one the channel could not read
  unsigned m_absent = 0;      // the device object did not open
};

// 2158 as "2,158".
std::string GroupedNumber(unsigned number);

}  // namespace cli
