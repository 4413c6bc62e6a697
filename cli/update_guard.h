#pragma once
// Keeps an interrupt from ending velmorctl in the middle of an update, which would leave the
// device in its boot loader with nothing to say how to get it back. While a guard lives,
// SIGINT, SIGTERM and SIGHUP (Ctrl-C, Ctrl-Break and closing the console on Windows) do not end
// the program: the first one warns on stderr, a second within 5 s asks the update to stop after
// the packet in flight. One guard at a time.

#include <atomic>
#include <chrono>
#include <thread>

namespace cli {

class UpdateGuard {
 public:
  static constexpr std::chrono::seconds kConfirmWithin{5};

  UpdateGuard();
  ~UpdateGuard();
  UpdateGuard(const UpdateGuard&) = delete;
  UpdateGuard& operator=(const UpdateGuard&) = delete;

  bool StopRequested() const { return m_stopSignal.load() != 0; }
  // The signal that asked to stop, 0 if none.
  int StopSignal() const { return m_stopSignal.load(); }

  // What a signal does while the guard lives; called by the platform's signal watcher.
  void Interrupt(int signal);

 private:
  std::atomic<int> m_stopSignal{0};
  std::chrono::steady_clock::time_point m_warnedAt{};  // of the last warning; watcher only
  bool m_warned = false;                               // watcher only
#if !defined(_WIN32)
  std::atomic<bool> m_ending{false};
  std::thread m_watcher;  // takes the blocked signals with sigtimedwait
#endif
};

}  // namespace cli
