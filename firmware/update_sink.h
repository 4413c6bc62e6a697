#pragma once
// Where an update reports to: the panel through the worker thread, or velmorctl's terminal.
// Every text is handed over as a copy of its own, so the receiver may keep it as long as it likes.

#include <string>

namespace firmware {

class UpdateSink {
 public:
  virtual ~UpdateSink() = default;

  // First report of an update.
  virtual void Start() = 0;
  // A status for the progress bar (percent 0..100) and the status line; returns at once.
  virtual void PostStatus(unsigned percent, std::string text) = 0;
  // The same, but returns only once the receiver has handled it (the fatal starts).
  virtual void SendStatus(unsigned percent, std::string text) = 0;
  // Last report of an update.
  virtual void End(bool success) = 0;
};

}  // namespace firmware
