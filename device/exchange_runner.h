#pragma once
// Where a link's exchange runs when the calling thread must not block on the device, such as a
// window's thread that has to keep answering its desktop.

#include <functional>

class ExchangeRunner {
 public:
  virtual ~ExchangeRunner() = default;
  // Runs `exchange` once, to its end, before returning; the caller's thread may do other work
  // while it waits, but never another exchange of the same link in between.
  virtual void Run(const std::function<void()>& exchange) = 0;
};
