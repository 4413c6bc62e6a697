// The panel on the device behind this system's channel: velmor-sim through the local socket,
// or on Windows the stand-in driver through the driver channel, with WM_DEVICECHANGE coming
// from another program as the system sends it. Connecting at start, unplugging and plugging
// back while the panel runs, and an update.

#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <csignal>
#include <string>
#include <vector>

#ifdef __linux__
#include <sys/prctl.h>
#endif

#include "device/device_operations.h"
#include "device/device_path.h"
#include "device/timing.h"
#include "panel/control_ids.h"
#include "panel/property_velmor.h"
#include "tests/panel/panel_test_main.h"
#ifdef _WIN32
#include "tests/win/standin_client.h"
#endif

class PanelDeviceTest : public QObject {
  Q_OBJECT
  QTemporaryDir m_folder;
  QTemporaryDir m_state;
  // velmor-sim, or on Windows the program that tells windows of device changes.
  QProcess m_helper;

  static bool Control(const std::vector<std::string>& words) {
#ifdef _WIN32
    std::string answer;
    return standin::Command(words, answer);
#else
    QStringList args{"--control"};
    for (const auto& word : words) args << QString::fromStdString(word);
    return QProcess::execute(QStringLiteral(VELMOR_SIM), args) == 0;
#endif
  }
  static QString Text(CPropertyVELMOR& panel, int id) {
    return panel.ControlAs<QLabel>(id)->text();
  }

 private slots:
  void initTestCase() {
    PreparePanelTests(m_folder);
    m_helper.setProcessChannelMode(QProcess::ForwardedChannels);
#ifdef _WIN32
    std::string error;
    QVERIFY2(standin::Install(VELMOR_STANDIN_SYS, error), error.c_str());
    QVERIFY(Control({"factory", "300", "300", "50"}));
    m_helper.start(QStringLiteral(VELMOR_STANDIN), {"notify"});
#else
#ifdef __linux__
    // A test that dies must not leave the simulator serving.
    m_helper.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    m_helper.start(QStringLiteral(VELMOR_SIM), {"--state", m_state.path()});
#endif
    QVERIFY(m_helper.waitForStarted());
    // The device object comes a moment before the device answers on it.
    CDeviceLink link;
    link.SetDeviceName(device::DevicePath().c_str());
    DeviceIdentity identity;
    QTRY_VERIFY_WITH_TIMEOUT(device::ReadIdentity(link, identity), 5000);
  }

  void cleanupTestCase() {
#ifdef _WIN32
    Control({"unplug"});
    m_helper.kill();
#else
    m_helper.terminate();
#endif
    m_helper.waitForFinished();
  }

  // A case that fails half way leaves the device there for the next.
  void cleanup() {
    Control({"plug"});
  }

  void unplugAndPlugBackWhileRunning() {
    CDeviceLink link;
    SystemTiming timing;
    CPropertyVELMOR panel(link, timing, DesktopServices());
    panel.show();
    QCOMPARE(Text(panel, IDC_APP_VERSION).left(12), QStringLiteral("App.:V1.012,"));
    QCOMPARE(Text(panel, IDC_BOOT_VERSION), QStringLiteral("Boot: V1.002, 10.01.2006"));
    QVERIFY(panel.Control(IDC_WRITE_SETTINGS)->isEnabled());

    QVERIFY(Control({"unplug"}));
    QTRY_COMPARE_WITH_TIMEOUT(Text(panel, IDC_BOOT_VERSION),
                              QStringLiteral("*** VELMOR not connected! ***"), 3000);
    QVERIFY(!panel.Control(IDC_WRITE_SETTINGS)->isEnabled());

    QVERIFY(Control({"plug"}));
    QTRY_VERIFY_WITH_TIMEOUT(panel.Control(IDC_WRITE_SETTINGS)->isEnabled(), 3000);
    QCOMPARE(Text(panel, IDC_BOOT_VERSION), QStringLiteral("Boot: V1.002, 10.01.2006"));
  }

  // The device restarts into its boot loader and back while the panel hears of its changes.
  void updateThroughTheChannel() {
    CDeviceLink link;
    SystemTiming timing;
    CPropertyVELMOR panel(link, timing, DesktopServices());
    panel.show();
    QVERIFY(Text(panel, IDC_APP_VERSION).endsWith(QStringLiteral("(***V1.013, 05.03.2006***)")));
    QTest::mouseClick(panel.ControlAs<QPushButton>(IDC_SOFTWARE_UPDATE), Qt::LeftButton);
    QVERIFY(panel.UpdateRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!panel.UpdateRunning(), 60000);
    // Only "Download finished!" comes with 100; the device's return may already have replaced
    // the text by its new version line.
    QCOMPARE(panel.ControlAs<QProgressBar>(IDC_PROGRESS)->value(), 100);
    // The new application comes back as a new device, and the panel connects to it.
    QTRY_COMPARE_WITH_TIMEOUT(Text(panel, IDC_APP_VERSION).left(23),
                              QStringLiteral("App.:V1.013, 05.03.2006"), 5000);
    QVERIFY(panel.Control(IDC_WRITE_SETTINGS)->isEnabled());
  }
};

#ifdef _WIN32
// Device-change notices reach real windows only: this test takes the windows platform whatever
// the others use.
int main(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  char platform[] = "-platform";
  char windows[] = "windows";
  args.insert(args.begin() + 1, {platform, windows});
  int count = static_cast<int>(args.size());
  QApplication app(count, args.data());
  PanelDeviceTest test;
  return QTest::qExec(&test, count, args.data());
}
#else
QTEST_MAIN(PanelDeviceTest)
#endif
#include "panel_device_test.moc"
