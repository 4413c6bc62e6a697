#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QThread>

#include "firmware/tarn_thread.h"
#include "tests/support/recording_device.h"
#include "tests/support/virtual_timing.h"

// The panel's side of the worker, as the panel implements it.
class Receiver : public QObject {
  Q_OBJECT

 public:
  QStringList events;  // "start", "<percent> <text>", "end <success>"
  QThread* statusThread = nullptr;
  bool ended = false;
  QPointer<QThread> worker;  // when set: is it still waiting for us after a while?
  bool workerWaitedForStatus = false;

 public slots:
  void OnUpdateStart() { events << "start"; }
  void OnUpdateStatus(unsigned percent, const QString& text) {
    statusThread = QThread::currentThread();
    if (worker) {
      QThread::msleep(100);
      workerWaitedForStatus = worker && worker->isRunning();
    }
    events << QString::number(percent) + " " + text;
  }
  void OnUpdateEnd(bool success) {
    events << QString("end %1").arg(success ? 1 : 0);
    ended = true;
  }
};

// As the panel connects them: posted reports queued, sent ones waited for.
void ConnectReports(CTarnThread* worker, Receiver* receiver) {
  QObject::connect(worker, &CTarnThread::UpdateStarted, receiver, &Receiver::OnUpdateStart,
                   Qt::QueuedConnection);
  QObject::connect(worker, &CTarnThread::StatusPosted, receiver, &Receiver::OnUpdateStatus,
                   Qt::QueuedConnection);
  QObject::connect(worker, &CTarnThread::StatusSent, receiver, &Receiver::OnUpdateStatus,
                   Qt::BlockingQueuedConnection);
  QObject::connect(worker, &CTarnThread::UpdateEnded, receiver, &Receiver::OnUpdateEnd,
                   Qt::QueuedConnection);
}

class TarnThreadTest : public QObject {
  Q_OBJECT

 private slots:
  void ReportsStartStatusesAndEndThenDeletesItself() {
    RecordingDevice device;
    device.ReplyWord(CMD_GET_ERASE_STATUS, 1);
    auto link = MakeLinkTo(device);
    VirtualTiming timing;
    Receiver receiver;

    QPointer<CTarnThread> worker = new CTarnThread(*link, timing);
    QVERIFY(!worker->isRunning());  // suspended until started
    worker->m_bBoot = false;
    ConnectReports(worker, &receiver);
    worker->start();

    QTRY_VERIFY_WITH_TIMEOUT(receiver.ended, 20000);
    QCOMPARE(receiver.events.first(), QString("start"));
    QCOMPARE(receiver.events.at(1), QString("0 Erase in progress. Please wait!"));
    QCOMPARE(receiver.events.at(receiver.events.size() - 2), QString("100 Download finished!"));
    QCOMPARE(receiver.events.last(), QString("end 1"));
    QCOMPARE(receiver.statusThread, QThread::currentThread());
    QCOMPARE(device.Frames(CMD_PROGRAM).size(), 4322u);
    QTRY_VERIFY(worker.isNull());
  }

  // The fatal start is handed over and waited for; the worker ends after it.
  void BootUpdateWaitsForTheFatalStatus() {
    RecordingDevice device;
    auto link = MakeLinkTo(device);
    VirtualTiming timing;
    Receiver receiver;

    QPointer<CTarnThread> worker = new CTarnThread(*link, timing);
    worker->m_bBoot = true;
    ConnectReports(worker, &receiver);
    receiver.worker = worker.data();
    worker->start();

    QTRY_VERIFY(receiver.ended);
    QVERIFY(receiver.workerWaitedForStatus);
    QCOMPARE(receiver.events, QStringList({"start", "0 FATAL: Software not found!", "end 0"}));
    QTRY_VERIFY(worker.isNull());
  }

  void FileThatDoesNotOpenNamesItself() {
    RecordingDevice device;
    auto link = MakeLinkTo(device);
    VirtualTiming timing;
    Receiver receiver;

    QPointer<CTarnThread> worker = new CTarnThread(*link, timing);
    ConnectReports(worker, &receiver);
    worker->m_strFileName = "/nonexistent/Überfw.s19";
    worker->start();

    QTRY_VERIFY(receiver.ended);
    QCOMPARE(receiver.events.at(1), QString("0 Can't open /nonexistent/Überfw.s19!"));
    QVERIFY(device.Frames().empty());
    QTRY_VERIFY(worker.isNull());
  }
};

QTEST_GUILESS_MAIN(TarnThreadTest)
#include "tarn_thread_test.moc"
