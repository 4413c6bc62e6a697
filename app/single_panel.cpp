#include "app/single_panel.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSocketNotifier>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace app {

namespace {

#ifdef _WIN32

struct WindowSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != search->pid || !IsWindowVisible(window) || GetWindow(window, GW_OWNER) != nullptr) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

#else

// The signal handler's way into the event loop: it may only write to a pipe.
int raisePipe[2] = {-1, -1};

extern "C" void OnRaiseSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(raisePipe[1], &byte, 1);
  errno = saved;
}

#endif

}  // namespace

QString PanelLockPath(const std::string& devicePath) {
#ifdef _WIN32
  const QByteArray hash =
      QCryptographicHash::hash(QByteArray::fromStdString(devicePath), QCryptographicHash::Sha1);
  return QDir::temp().filePath(QStringLiteral("VELMOR-panel-") +
                               QString::fromLatin1(hash.toHex().left(16)) +
                               QStringLiteral(".lock"));
#else
  return QString::fromStdString(devicePath + ".panel.lock");
#endif
}

SinglePanel::SinglePanel(const std::string& devicePath, QObject* parent)
    : QObject(parent), m_lock(std::make_unique<QLockFile>(PanelLockPath(devicePath))) {
  // Ready before the lock is taken: a later start may ask the moment it sees the lock.
  ListenForRaise();
  // Held for the panel's whole life: only a holder that has ended makes the lock stale.
  m_lock->setStaleLockTime(0);
  if (m_lock->tryLock(0)) return;
  if (m_lock->error() != QLockFile::LockFailedError) {
    // No place for the lock (a device folder refused, say): the panel opens and tells why.
    m_lock.reset();
    return;
  }
  qint64 pid = 0;
  QString host, application;
  const bool known = m_lock->getLockInfo(&pid, &host, &application);
  m_lock.reset();
  m_outcome = known && RaiseHolder(pid) ? Outcome::HandedOver : Outcome::NoAnswer;
}

SinglePanel::~SinglePanel() {
#ifndef _WIN32
  if (m_raiseNotifier != nullptr) {
    signal(SIGUSR1, SIG_IGN);
    delete m_raiseNotifier;
    close(raisePipe[0]);
    close(raisePipe[1]);
    raisePipe[0] = raisePipe[1] = -1;
  }
#endif
}

QString SinglePanel::Message() const {
  if (m_outcome != Outcome::NoAnswer) return {};
  return QStringLiteral(
      "VELMOR Control is already open for this device, but its window could not be brought "
      "to the front.");
}

void SinglePanel::ListenForRaise() {
#ifndef _WIN32
  if (raisePipe[0] >= 0 || pipe2(raisePipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  m_raiseNotifier = new QSocketNotifier(raisePipe[0], QSocketNotifier::Read, this);
  connect(m_raiseNotifier, &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    while (read(raisePipe[0], bytes, sizeof bytes) > 0) {
    }
    emit RaiseAsked();
  });
  struct sigaction action {};
  action.sa_handler = OnRaiseSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGUSR1, &action, nullptr);
#endif
}

bool SinglePanel::RaiseHolder(qint64 pid) {
#ifdef _WIN32
  // The process the user just started may hand the foreground on; the holder may not take it.
  // A panel started a moment ago holds the lock before its window shows.
  constexpr int kTries = 50, kPauseMs = 100;
  WindowSearch search{static_cast<DWORD>(pid), nullptr};
  for (int i = 0; i < kTries && search.found == nullptr; ++i) {
    if (i > 0) Sleep(kPauseMs);
    EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
  }
  if (search.found == nullptr) return false;
  if (IsIconic(search.found)) ShowWindow(search.found, SW_RESTORE);
  SetForegroundWindow(search.found);
  return true;
#else
  return pid > 0 && kill(static_cast<pid_t>(pid), SIGUSR1) == 0;
#endif
}

}  // namespace app
