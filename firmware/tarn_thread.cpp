#include "firmware/tarn_thread.h"

#include <QMetaObject>

#include "firmware/update_run.h"
#include "firmware/update_sink.h"

namespace {

// Reports to the receiver across threads, each text as a QString of its own.
class QueuedSink final : public firmware::UpdateSink {
 public:
  explicit QueuedSink(QObject* receiver) : m_receiver(receiver) {}

  void Start() override {
    if (m_receiver)
      Check(QMetaObject::invokeMethod(m_receiver, "OnUpdateStart", Qt::QueuedConnection),
            "OnUpdateStart");
  }
  void PostStatus(unsigned percent, std::string text) override {
    Status(percent, text, Qt::QueuedConnection);
  }
  void SendStatus(unsigned percent, std::string text) override {
    Status(percent, text, Qt::BlockingQueuedConnection);
  }
  void End(bool success) override {
    if (m_receiver) {
      Check(QMetaObject::invokeMethod(m_receiver, "OnUpdateEnd", Qt::QueuedConnection,
                                      Q_ARG(bool, success)),
            "OnUpdateEnd");
    }
  }

 private:
  void Status(unsigned percent, const std::string& text, Qt::ConnectionType type) {
    if (!m_receiver) return;
    Check(QMetaObject::invokeMethod(m_receiver, "OnUpdateStatus", type, Q_ARG(unsigned, percent),
                                    Q_ARG(QString, QString::fromStdString(text))),
          "OnUpdateStatus");
  }

  // A receiver without the slot would leave the user without any report: say so once.
  void Check(bool invoked, const char* slot) {
    if (invoked || m_warned) return;
    m_warned = true;
    qWarning("CTarnThread: %s has no slot %s", m_receiver->metaObject()->className(), slot);
  }

  QObject* m_receiver;
  bool m_warned = false;
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
  QueuedSink sink(m_pPanel);
  firmware::UpdateRun update{m_link, m_timing, sink};
  update.boot = m_bBoot;
  // UTF-8, as every text of the core: the status texts name the file back to the user.
  update.fileName = m_strFileName.toStdString();
  firmware::RunUpdate(update);
}
