#pragma once
// The window's device exchanges on a thread of their own. The window's thread waits for each in
// a local event loop that takes no user input, so the window repaints and answers the desktop's
// ping however slowly the device answers; what that loop would start meanwhile is held back.

#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "device/exchange_runner.h"

namespace panel {

class DeviceThread final : public ExchangeRunner {
 public:
  // Held-back calls run on `context`'s thread and are dropped with it.
  explicit DeviceThread(QObject* context);
  ~DeviceThread() override;

  DeviceThread(const DeviceThread&) = delete;
  DeviceThread& operator=(const DeviceThread&) = delete;

  // Called on the window's thread only.
  void Run(const std::function<void()>& exchange) override;

  // True while the window's thread waits for an exchange.
  bool Waiting() const { return m_depth > 0; }
  // While waiting: keeps `call` under `key` to run once after the wait (a later call under the
  // same key replaces it) and returns true. Otherwise returns false and the caller goes on.
  bool Hold(int key, std::function<void()> call);

  static constexpr int kWaitCursorMs = 250;

 private:
  struct Job {
    const std::function<void()>* exchange;
    bool done = false;  // guarded by m_lock
    QObject* loop;      // woken when done
  };

  void Serve();
  void RunHeld();

  QObject* m_context;
  int m_depth = 0;                              // nested waits; window thread only
  std::map<int, std::function<void()>> m_held;  // window thread only

  std::mutex m_lock;
  std::condition_variable m_wake;
  std::deque<Job*> m_jobs;  // guarded by m_lock
  bool m_stop = false;      // guarded by m_lock
  std::thread m_thread;     // last: starts once the rest is built
};

}  // namespace panel
