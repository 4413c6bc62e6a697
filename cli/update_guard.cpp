#include "cli/update_guard.h"

#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#define isatty _isatty
#define STDERR_FILENO 2
#else
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <ctime>
#endif

namespace cli {

namespace {

const char* SignalName(int signal) {
#if defined(_WIN32)
  (void)signal;
  return "an interrupt";
#else
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "a signal";
  }
#endif
}

#if defined(_WIN32)
std::atomic<UpdateGuard*> g_guard{nullptr};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  UpdateGuard* guard = g_guard.load();
  if (guard == nullptr) return FALSE;
  // Numbers as on POSIX, so the exit code reads the same.
  guard->Interrupt(event == CTRL_CLOSE_EVENT ? 1 : event == CTRL_BREAK_EVENT ? 15 : 2);
  return TRUE;
}
#else
sigset_t GuardedSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}
#endif

}  // namespace

#if defined(_WIN32)
UpdateGuard::UpdateGuard() {
  g_guard.store(this);
  SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

UpdateGuard::~UpdateGuard() {
  SetConsoleCtrlHandler(&OnConsoleEvent, FALSE);
  g_guard.store(nullptr);
}
#else
UpdateGuard::UpdateGuard() {
  // Blocked in this thread before the watcher starts, so the watcher inherits the mask and
  // sigtimedwait is the only taker: no exchange with the device ever sees EINTR.
  const sigset_t set = GuardedSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  m_watcher = std::thread([this, set] {
    const timespec pause{0, 100'000'000};
    while (!m_ending.load()) {
      siginfo_t info{};
      const int signal = sigtimedwait(&set, &info, &pause);
      if (signal > 0) Interrupt(signal);
    }
  });
}

UpdateGuard::~UpdateGuard() {
  m_ending.store(true);
  m_watcher.join();
  // A signal that came after the watcher's last look is taken here: the update has ended, and
  // a first interrupt never ends the program.
  const sigset_t set = GuardedSignals();
  const timespec none{0, 0};
  siginfo_t info{};
  while (sigtimedwait(&set, &info, &none) > 0) {
  }
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}
#endif

void UpdateGuard::Interrupt(int signal) {
  const auto now = std::chrono::steady_clock::now();
  if (StopRequested()) return;
  // On a line of its own, not after the progress bar or the countdown.
  const char* fresh = isatty(STDERR_FILENO) != 0 ? "\r\033[K" : "";
  if (m_warned && now - m_warnedAt <= kConfirmWithin) {
    m_stopSignal.store(signal);
    std::fprintf(stderr, "%svelmorctl: %s again: stopping after the current packet\n", fresh,
                 SignalName(signal));
    return;
  }
  m_warned = true;
  m_warnedAt = now;
  std::fprintf(stderr,
               "%svelmorctl: %s: stopping now would leave the device in its boot loader without "
               "an application; the update goes on (interrupt again within 5 s to stop it)\n",
               fresh, SignalName(signal));
}

}  // namespace cli
