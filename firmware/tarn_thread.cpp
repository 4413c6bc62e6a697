#include "firmware/tarn_thread.h"

#include "firmware/update_run.h"
#include "firmware/update_sink.h"

namespace {

// Reports as the worker's signals, each text as a QString of its own.
class SignalSink final : public firmware::UpdateSink {
 public:
  explicit SignalSink(CTarnThread& worker) : m_worker(worker) {}

  void Start() override { emit m_worker.UpdateStarted(); }
  void PostStatus(unsigned percent, std::string text) override {
    emit m_worker.StatusPosted(percent, QString::fromStdString(text));
  }
  void SendStatus(unsigned percent, std::string text) override {
    emit m_worker.StatusSent(percent, QString::fromStdString(text));
  }
  void End(bool success) override { emit m_worker.UpdateEnded(success); }

 private:
  CTarnThread& m_worker;
};

}  // namespace

CTarnThread::CTarnThread(CDeviceLink& link, QObject* parent)
    : QThread(parent),
      m_link(link),
      m_ownTiming(std::make_unique<SystemTiming>()),
      m_timing(*m_ownTiming) {
  connect(this, &QThread::finished, this, &QObject::deleteLater);
}

CTarnThread::CTarnThread(CDeviceLink& link, Timing& timing, QObject* parent)
    : QThread(parent), m_link(link), m_timing(timing) {
  connect(this, &QThread::finished, this, &QObject::deleteLater);
}

CTarnThread::~CTarnThread() {
  wait();
}

void CTarnThread::run() {
  SignalSink sink(*this);
  firmware::UpdateRun update{m_link, m_timing, sink};
  update.boot = m_bBoot;
  // UTF-8, as every text of the core: the status texts name the file back to the user.
  update.fileName = m_strFileName.toStdString();
  firmware::RunUpdate(update);
}
