#include "panel/device_thread.h"

#include <QEventLoop>
#include <QTimer>
#include <optional>

#include "panel/wait_cursor.h"

namespace panel {

DeviceThread::DeviceThread(QObject* context) : m_context(context), m_thread([this] { Serve(); }) {}

DeviceThread::~DeviceThread() {
  {
    std::lock_guard guard(m_lock);
    m_stop = true;
  }
  m_wake.notify_one();
  m_thread.join();
}

void DeviceThread::Serve() {
  std::unique_lock guard(m_lock);
  for (;;) {
    m_wake.wait(guard, [this] { return m_stop || !m_jobs.empty(); });
    if (m_jobs.empty()) return;
    Job* job = m_jobs.front();
    m_jobs.pop_front();
    guard.unlock();
    (*job->exchange)();
    guard.lock();
    job->done = true;
    // Posted while the lock is held, so the loop is still there; its destruction drops the call.
    QMetaObject::invokeMethod(job->loop, "quit", Qt::QueuedConnection);
  }
}

void DeviceThread::Run(const std::function<void()>& exchange) {
  QEventLoop loop;
  Job job{&exchange, false, &loop};
  {
    std::lock_guard guard(m_lock);
    m_jobs.push_back(&job);
  }
  m_wake.notify_one();

  ++m_depth;
  std::optional<WaitCursor> cursor;
  QTimer cursorDelay;
  cursorDelay.setSingleShot(true);
  QObject::connect(&cursorDelay, &QTimer::timeout, [&cursor] { cursor.emplace(); });
  cursorDelay.start(kWaitCursorMs);
  for (;;) {
    {
      std::lock_guard guard(m_lock);
      if (job.done) break;
    }
    // No user input: a click or a close waits in the queue until the exchange is over.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  --m_depth;
  if (m_depth == 0 && !m_held.empty()) {
    // After the handler that made this exchange has returned, never in the middle of it.
    QTimer::singleShot(0, m_context, [this] { RunHeld(); });
  }
}

bool DeviceThread::Hold(int key, std::function<void()> call) {
  if (!Waiting()) return false;
  m_held[key] = std::move(call);
  return true;
}

void DeviceThread::RunHeld() {
  // Landed in the next wait of the same handler: that wait's end posts again.
  if (Waiting()) return;
  auto held = std::move(m_held);
  m_held.clear();
  for (auto& [key, call] : held) call();
}

}  // namespace panel
