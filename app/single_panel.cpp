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
#include <sys/socket.h>
#include <unistd.h>

#include <QThread>
#include <cstdio>

#include "device/unix_socket.h"
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

#endif

// A panel started a moment ago holds the lock before its window shows, or before it listens.
constexpr int kRaiseTries = 50, kRaisePauseMs = 100;

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
    : QObject(parent),
      m_raisePath(devicePath + ".panel.raise"),
      m_lock(std::make_unique<QLockFile>(PanelLockPath(devicePath))) {
  // Held for the panel's whole life: only a holder that has ended makes the lock stale.
  m_lock->setStaleLockTime(0);
  if (m_lock->tryLock(0)) {
    // Only the lock's holder may replace the raise socket a killed panel left behind.
    ListenForRaise();
    return;
  }
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
  if (m_raiseListener >= 0) {
    delete m_raiseNotifier;
    close(m_raiseListener);
    unlink(m_raisePath.c_str());  // before the lock goes with the members
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
  std::string error;
  m_raiseListener = device::ListenAt(m_raisePath, "another panel", error);
  if (m_raiseListener < 0) {
    // The panel works without it; a later start then says it could not bring this one up.
    std::fprintf(stderr, "velmor-panel: %s\n", error.c_str());
    return;
  }
  m_raiseNotifier = new QSocketNotifier(m_raiseListener, QSocketNotifier::Read, this);
  connect(m_raiseNotifier, &QSocketNotifier::activated, this, [this] {
    bool asked = false;
    for (int fd; (fd = accept4(m_raiseListener, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
      close(fd);
      asked = true;
    }
    if (asked) emit RaiseAsked();
  });
#endif
}

bool SinglePanel::RaiseHolder([[maybe_unused]] qint64 pid) const {
#ifdef _WIN32
  // The process the user just started may hand the foreground on; the holder may not take it.
  WindowSearch search{static_cast<DWORD>(pid), nullptr};
  for (int i = 0; i < kRaiseTries && search.found == nullptr; ++i) {
    if (i > 0) Sleep(kRaisePauseMs);
    EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
  }
  if (search.found == nullptr) return false;
  if (IsIconic(search.found)) ShowWindow(search.found, SW_RESTORE);
  SetForegroundWindow(search.found);
  return true;
#else
  // Being let in is the whole request: the holder raises its window on each connection.
  for (int i = 0; i < kRaiseTries; ++i) {
    if (i > 0) QThread::msleep(kRaisePauseMs);
    if (const int fd = device::ConnectInOwnFolder(m_raisePath); fd >= 0) {
      close(fd);
      return true;
    }
  }
  return false;
#endif
}

}  // namespace app
