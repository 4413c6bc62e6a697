#pragma once
// velmorctl update's view of the worker: each status on a line of its own on stdout, a progress
// bar on stderr below them while stdout is a terminal, and the last error kept for the final
// line.

#include <string>

#include "firmware/update_sink.h"

namespace cli {

class ConsoleSink final : public firmware::UpdateSink {
 public:
  // With `json`, each status is one JSON object on a line of its own, and there is no bar.
  explicit ConsoleSink(bool json = false);

  void Start() override {}
  void PostStatus(unsigned percent, std::string text) override;
  void SendStatus(unsigned percent, std::string text) override;
  void End(bool success) override;

  // The worker's last error text ("ERROR: ...", "FATAL: ...", "Can't open ..."), empty if none.
  const std::string& LastError() const { return m_lastError; }
  unsigned RefusedPackets() const { return m_refused; }

 private:
  void Show(unsigned percent, const std::string& text);

  bool m_json;
  bool m_bar;
  std::string m_clearLine;  // blanks the bar's line on stderr
  std::string m_lastError;
  unsigned m_refused = 0;  // "ERROR: Can't write to device" texts seen
};

}  // namespace cli
