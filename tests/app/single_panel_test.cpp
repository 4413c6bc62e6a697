// Starting the panel again for the same device: the running one stays the only one.

#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/single_panel.h"

namespace {

// The process that holds the panel's lock for the device in `folder`, or 0.
qint64 LockHolder(const QString& folder) {
  const std::string device = (folder + QStringLiteral("/VELMORUSBDevice0")).toStdString();
  QLockFile lock(app::PanelLockPath(device));
  qint64 pid = 0;
  QString host, application;
  if (!lock.getLockInfo(&pid, &host, &application)) return 0;
  return pid;
}

}  // namespace

class SinglePanelTest : public QObject {
  Q_OBJECT
  QTemporaryDir m_folder;  // the device folder, 0700, with no device in it
  std::vector<std::unique_ptr<QProcess>> m_panels;

  QProcess& StartPanel(const QStringList& arguments = {}) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VELMOR_DEVICE_DIR"), m_folder.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("CANBERRA_DRIVER"), QStringLiteral("none"));
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(QStringLiteral(VELMOR_PANEL), arguments);
    m_panels.push_back(std::move(process));
    return *m_panels.back();
  }

 private slots:
  void cleanup() {
    for (auto& panel : m_panels) {
      panel->kill();
      panel->waitForFinished();
    }
    m_panels.clear();
  }

  void aSecondStartLeavesTheFirstPanelAlone() {
    QProcess& first = StartPanel();
    QVERIFY(first.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(LockHolder(m_folder.path()), first.processId(), 30000);

    for (const QStringList& arguments : {QStringList{}, QStringList{"-service"}}) {
      QProcess& second = StartPanel(arguments);
      QVERIFY(second.waitForFinished(30000));
      QCOMPARE(second.exitStatus(), QProcess::NormalExit);
      QCOMPARE(second.exitCode(), 0);
    }
    QCOMPARE(first.state(), QProcess::Running);
    QCOMPARE(LockHolder(m_folder.path()), first.processId());
  }

  // The later start's request reaches the holder, also past a raise socket that a killed panel
  // left behind, and the holder takes its socket with it when it ends.
  void aLaterStartAsksTheHolderToComeForward() {
    const std::string device =
        (m_folder.path() + QStringLiteral("/VELMORUSBDevice0")).toStdString();
    const std::string raisePath = device + ".panel.raise";
    {
      QProcess& killed = StartPanel();
      QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(QString::fromStdString(raisePath)), 30000);
      killed.kill();
      QVERIFY(killed.waitForFinished());
    }
    {
      app::SinglePanel holder(device);
      QCOMPARE(holder.Result(), app::SinglePanel::Outcome::Ours);
      QSignalSpy raised(&holder, &app::SinglePanel::RaiseAsked);
      for (int start = 0; start < 2; ++start) {
        app::SinglePanel later(device);
        QCOMPARE(later.Result(), app::SinglePanel::Outcome::HandedOver);
        QVERIFY(raised.wait(5000));
      }
    }
    QVERIFY(!QFileInfo::exists(QString::fromStdString(raisePath)));
  }

  // A panel that was killed leaves its lock behind; the next start takes it over.
  void aKilledPanelDoesNotKeepTheNextOut() {
    QProcess& killed = StartPanel();
    QTRY_COMPARE_WITH_TIMEOUT(LockHolder(m_folder.path()), killed.processId(), 30000);
    killed.kill();
    QVERIFY(killed.waitForFinished());

    QProcess& next = StartPanel();
    QTRY_COMPARE_WITH_TIMEOUT(LockHolder(m_folder.path()), next.processId(), 30000);
    QProcess& another = StartPanel();
    QVERIFY(another.waitForFinished(30000));
    QCOMPARE(another.exitCode(), 0);
    QCOMPARE(next.state(), QProcess::Running);
  }
};

QTEST_MAIN(SinglePanelTest)
#include "single_panel_test.moc"
