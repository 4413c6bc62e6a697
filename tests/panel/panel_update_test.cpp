// A firmware update driven from the panel, on the simulated device in-process.

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "device/device_path.h"
#include "device/update_lock.h"
#include "panel/control_ids.h"
#include "panel/property_velmor.h"
#include "tests/panel/panel_rig.h"
#include "tests/panel/panel_test_main.h"

class PanelUpdateTest : public QObject {
  Q_OBJECT
  QTemporaryDir m_folder;

 private slots:
  void initTestCase() {
    PreparePanelTests(m_folder);
    // The lock file stays after an update. Made now, it keeps each update's start from
    // changing the device folder: that change is a device-change notice, whose connect in the
    // middle of an update would leave the loader's identity showing after it.
    const device::UpdateLock earlier(device::DevicePath());
  }

  void updateRunsToTheEnd() {
    PanelRig rig;
    rig.services.createUpdateWorker = DesktopServices().createUpdateWorker;
    rig.Open();
    QCOMPARE(rig.Text(IDC_APP_VERSION),
             QStringLiteral("App.:V1.012, 01.02.2006 (***V1.013, 05.03.2006***)"));
    auto* progress = rig.panel->ControlAs<QProgressBar>(IDC_PROGRESS);
    rig.Click(IDC_SOFTWARE_UPDATE);
    QVERIFY(rig.panel->UpdateRunning());
    QVERIFY(progress->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->UpdateRunning(), 20000);
    QCOMPARE(progress->value(), 100);
    QVERIFY(!progress->isVisible());
    QVERIFY(rig.panel->Control(IDC_WRITE_SETTINGS)->isEnabled());
    // Still the identity from before the update, until the next device-change notice.
    QCOMPARE(rig.Text(IDC_APP_VERSION),
             QStringLiteral("App.:V1.012, 01.02.2006 (***V1.013, 05.03.2006***)"));
    rig.panel->OnDeviceChange();
    QCOMPARE(rig.Text(IDC_APP_VERSION), QStringLiteral("App.:V1.013, 05.03.2006"));
    rig.panel->close();
    QVERIFY2(!rig.panel->isVisible(), "closes normally once the update has ended");
  }

  // The worker and the panel's status poll share the link while the packets go out.
  void statusPollRunsDuringTheDownload() {
    PanelRig rig;
    rig.services.createUpdateWorker = DesktopServices().createUpdateWorker;
    rig.Open();
    int packet = 0;
    rig.device.SetTrace([&rig, &packet](const SimTraceEntry& entry) {
      // Now and then a packet takes a few milliseconds, so the poll gets between them. Windows
      // delivers a timer only when nothing else waits, and the progress keeps arriving.
      if (entry.frame[0] == CMD_PROGRAM && ++packet % 200 == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      std::lock_guard guard(rig.mutex);
      rig.frames.push_back({entry.frame, entry.replyAsked});
    });
    rig.Timer("STATUS_TIMER")->start(1);
    rig.Click(IDC_SOFTWARE_UPDATE);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->UpdateRunning(), 60000);
    rig.Timer("STATUS_TIMER")->stop();

    std::lock_guard guard(rig.mutex);
    std::size_t first = rig.frames.size(), last = 0, packets = 0, pollsBetween = 0;
    for (std::size_t i = 0; i < rig.frames.size(); ++i) {
      if (rig.frames[i].Command() != CMD_PROGRAM) continue;
      first = std::min(first, i);
      last = i;
      ++packets;
    }
    for (std::size_t i = first; i < last; ++i) {
      if (rig.frames[i].Command() == CMD_GET_SPEED_STATUS) ++pollsBetween;
    }
    QCOMPARE(packets, std::size_t{4322});
    QVERIFY(pollsBetween > 0);
  }

  // The focus is on "&Software Update" when it is clicked; it is disabled at once, and
  // whatever takes the focus then must not turn a stray key into a device command afterwards.
  // In the second case a device-change notice while the loader runs leaves the panel showing
  // the boot-loader state, with the settings area hidden.
  void strayKeysAfterAnUpdateSendNothing_data() {
    QTest::addColumn<bool>("loaderShown");
    QTest::newRow("application") << false;
    QTest::newRow("boot loader shown") << true;
  }
  void strayKeysAfterAnUpdateSendNothing() {
    QFETCH(bool, loaderShown);
    PanelRig rig;
    rig.services.createUpdateWorker = DesktopServices().createUpdateWorker;
    rig.Open();
    QVERIFY(rig.Activate());
    // The notice comes while the loader takes the packets; they go slowly until the panel
    // has handled it, so the update cannot end first.
    bool posted = false;
    std::atomic<bool> handled = false;
    rig.device.SetTrace([&](const SimTraceEntry& entry) {
      if (loaderShown && entry.frame[0] == CMD_PROGRAM) {
        if (!posted) {
          posted = true;
          QMetaObject::invokeMethod(
              rig.panel.get(),
              [&] {
                rig.panel->OnDeviceChange();
                handled = true;
              },
              Qt::QueuedConnection);
        }
        if (!handled) std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      std::lock_guard guard(rig.mutex);
      rig.frames.push_back({entry.frame, entry.replyAsked});
    });
    rig.Click(IDC_SOFTWARE_UPDATE);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->UpdateRunning(), 60000);
    QCOMPARE(handled.load(), loaderShown);
    QCOMPARE(rig.panel->Control(IDC_RAMP_SPEED)->isVisible(), !loaderShown);

    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus);
    QVERIFY(focus->isVisible() && focus->isEnabled());
    rig.ClearFrames();
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_Right, Qt::Key_PageDown, Qt::Key_End})
      PanelRig::Key(key);
    QCOMPARE(rig.FrameCount(), std::size_t{0});
    QCOMPARE(focus, rig.panel->Control(IDC_SOFTWARE_UPDATE));
  }

  void failedUpdateShowsItsTextUntilTheEnd() {
    PanelRig rig;
    rig.Open();
    rig.panel->OnUpdateStatus(37, QStringLiteral("ERROR: Please restart unit!"));
    QCOMPARE(rig.Text(IDC_APP_VERSION), QStringLiteral("ERROR: Please restart unit!"));
    QCOMPARE(rig.panel->ControlAs<QProgressBar>(IDC_PROGRESS)->value(), 37);
    rig.panel->OnUpdateEnd(false);
    QCOMPARE(rig.Text(IDC_APP_VERSION),
             QStringLiteral("App.:V1.012, 01.02.2006 (***V1.013, 05.03.2006***)"));
    QVERIFY(rig.panel->Control(IDC_SOFTWARE_UPDATE)->isEnabled());
  }

  // The lock another updater holds: the panel starts nothing and says why.
  void anotherUpdaterKeepsTheUpdateFromStarting() {
    PanelRig rig;
    rig.Open();
    // Held on a thread of its own: a Windows mutex lets its owning thread take it again.
    std::promise<void> taken, done;
    std::thread other([&] {
      const device::UpdateLock lock(device::DevicePath());
      taken.set_value();
      if (lock.Held()) done.get_future().wait();
    });
    taken.get_future().wait();
    rig.Click(IDC_SOFTWARE_UPDATE);
    done.set_value();
    other.join();
    QVERIFY(!rig.panel->UpdateRunning());
#if defined(_WIN32)
    QCOMPARE(rig.Text(IDC_APP_VERSION), QStringLiteral("another program is updating the device"));
#else
    QCOMPARE(rig.Text(IDC_APP_VERSION),
             QString::fromStdString("another program is updating the device (" +
                                    device::DevicePath() + ".lock is locked)"));
#endif
    QVERIFY(rig.panel->Control(IDC_SOFTWARE_UPDATE)->isEnabled());
  }

  void workerThatCannotBeCreatedChangesNothing() {
    PanelRig rig;
    bool asked = false;
    rig.services.createUpdateWorker = [&](CDeviceLink&, Timing&) -> CTarnThread* {
      asked = true;
      return nullptr;
    };
    rig.Open();
    rig.Click(IDC_SOFTWARE_UPDATE);
    QVERIFY(asked);
    QVERIFY(!rig.panel->UpdateRunning());
    QVERIFY(rig.panel->Control(IDC_WRITE_SETTINGS)->isEnabled());
    QVERIFY(!rig.panel->Control(IDC_PROGRESS)->isVisible());
  }
};

QTEST_MAIN(PanelUpdateTest)
#include "panel_update_test.moc"
