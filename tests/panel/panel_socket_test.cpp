// The panel on velmor-sim through the local socket: connecting at start, unplugging and
// plugging back while the panel runs.

#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <csignal>

#ifdef __linux__
#include <sys/prctl.h>
#endif

#include "device/device_operations.h"
#include "device/device_path.h"
#include "device/timing.h"
#include "panel/control_ids.h"
#include "panel/property_velmor.h"
#include "tests/panel/panel_test_main.h"

class PanelSocketTest : public QObject {
  Q_OBJECT
  QTemporaryDir m_folder;
  QTemporaryDir m_state;
  QProcess m_sim;

  static int Control(const QStringList& words) {
    return QProcess::execute(QStringLiteral(VELMOR_SIM), QStringList{"--control"} + words);
  }
  static QString Text(CPropertyVELMOR& panel, int id) {
    return panel.ControlAs<QLabel>(id)->text();
  }

 private slots:
  void initTestCase() {
    PreparePanelTests(m_folder);
    m_sim.setProcessChannelMode(QProcess::ForwardedChannels);
#ifdef __linux__
    // A test that dies must not leave the simulator serving.
    m_sim.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    m_sim.start(QStringLiteral(VELMOR_SIM), {"--state", m_state.path()});
    QVERIFY(m_sim.waitForStarted());
    // The socket file comes a moment before the simulator answers on it.
    CDeviceLink link;
    link.SetDeviceName(device::DevicePath().c_str());
    DeviceIdentity identity;
    QTRY_VERIFY_WITH_TIMEOUT(device::ReadIdentity(link, identity), 5000);
  }

  void cleanupTestCase() {
    m_sim.terminate();
    m_sim.waitForFinished();
  }

  void unplugAndPlugBackWhileRunning() {
    CDeviceLink link;
    SystemTiming timing;
    CPropertyVELMOR panel(link, timing);
    panel.show();
    QCOMPARE(Text(panel, IDC_APP_VERSION).left(12), QStringLiteral("App.:V1.012,"));
    QCOMPARE(Text(panel, IDC_BOOT_VERSION), QStringLiteral("Boot: V1.002, 10.01.2006"));
    QVERIFY(panel.Control(IDC_WRITE_SETTINGS)->isEnabled());

    QCOMPARE(Control({"unplug"}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(Text(panel, IDC_BOOT_VERSION),
                              QStringLiteral("*** VELMOR not connected! ***"), 3000);
    QVERIFY(!panel.Control(IDC_WRITE_SETTINGS)->isEnabled());

    QCOMPARE(Control({"plug"}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(panel.Control(IDC_WRITE_SETTINGS)->isEnabled(), 3000);
    QCOMPARE(Text(panel, IDC_BOOT_VERSION), QStringLiteral("Boot: V1.002, 10.01.2006"));
  }

  // The device restarts into its boot loader and back while the panel watches its folder.
  void updateThroughTheSocket() {
    CDeviceLink link;
    SystemTiming timing;
    CPropertyVELMOR panel(link, timing);
    panel.show();
    QVERIFY(Text(panel, IDC_APP_VERSION).endsWith(QStringLiteral("(***V1.013, 05.03.2006***)")));
    QTest::mouseClick(panel.ControlAs<QPushButton>(IDC_SOFTWARE_UPDATE), Qt::LeftButton);
    QVERIFY(panel.UpdateRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!panel.UpdateRunning(), 60000);
    QCOMPARE(panel.ControlAs<QProgressBar>(IDC_PROGRESS)->value(), 100);
    // The new application comes back as a new device: the folder changes, the panel connects.
    QTRY_COMPARE_WITH_TIMEOUT(Text(panel, IDC_APP_VERSION).left(23),
                              QStringLiteral("App.:V1.013, 05.03.2006"), 5000);
    QVERIFY(panel.Control(IDC_WRITE_SETTINGS)->isEnabled());
  }
};

QTEST_MAIN(PanelSocketTest)
#include "panel_socket_test.moc"
