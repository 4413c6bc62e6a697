// velmor-panel in service mode on an X server (Xvfb) against velmor-sim, driven with xdotool
// the way a person drives it: the mouse on the controls, keys to the focused one. The
// simulator's trace and stored image must show exactly what was typed and clicked.
//
// The test process itself runs on the same X server, so that the panel it lays out to find
// the controls uses the same fonts as the panel under test.

#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstdlib>
#include <string>

#ifdef __linux__
#include <sys/prctl.h>
#endif

#include "device/device_operations.h"
#include "device/device_path.h"
#include "device/timing.h"
#include "panel/control_ids.h"
#include "panel/property_velmor.h"
#include "settings/settings_transfer.h"

namespace {

constexpr std::uint16_t kImageLength = 238;
constexpr int kWaitMs = 10000;

bool OnPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  const QStringList folders = QString::fromLocal8Bit(path).split(QLatin1Char(':'));
  for (const QString& folder : folders) {
    if (access((folder + QLatin1Char('/') + QLatin1String(program)).toLocal8Bit().constData(),
               X_OK) == 0) {
      return true;
    }
  }
  return false;
}

// Xvfb on a display of its own choosing, from before the application starts to its end.
class XServer {
 public:
  XServer() {
    for (const char* program : {"Xvfb", "xdotool"}) {
      if (!OnPath(program)) {
        m_missing = QStringLiteral("%1 not found (scripts/install-deps test installs it)")
                        .arg(QLatin1String(program));
        return;
      }
    }
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return;
    m_pid = fork();
    if (m_pid == 0) {
#ifdef __linux__
      prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
      close(pipeFds[0]);
      const std::string fd = std::to_string(pipeFds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
             "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(pipeFds[1]);
    std::string number;
    char c = 0;
    while (read(pipeFds[0], &c, 1) == 1 && c != '\n') number += c;
    close(pipeFds[0]);
    if (number.empty()) {
      m_missing = QStringLiteral("Xvfb did not start");
      return;
    }
    m_display = QStringLiteral(":%1").arg(QString::fromStdString(number));
    setenv("DISPLAY", m_display.toLocal8Bit().constData(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    setenv("QT_SCALE_FACTOR", "1", 1);
  }
  ~XServer() {
    if (m_pid > 0) {
      kill(m_pid, SIGTERM);
      waitpid(m_pid, nullptr, 0);
    }
  }
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  QString Missing() const {
    return m_missing;
  }

 private:
  pid_t m_pid = -1;
  QString m_display;
  QString m_missing;
};

XServer* g_xserver = nullptr;  // the one X server of this test process, owned by main

}  // namespace

class PanelByHandTest : public QObject {
  Q_OBJECT
  QTemporaryDir m_devices;
  QTemporaryDir m_state;
  QString m_tracePath;
  QProcess m_sim;
  QProcess m_panel;
  QString m_window;
  CDeviceLink m_link;
  SystemTiming m_timing;
  std::unique_ptr<CPropertyVELMOR> m_layout;  // laid out like the panel under test, never shown

  static void DieWithTest(QProcess& process) {
#ifdef __linux__
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
#else
    (void)process;
#endif
  }

  static QString Xdo(const QStringList& args) {
    QProcess xdo;
    xdo.start(QStringLiteral("xdotool"), args);
    if (!xdo.waitForFinished(kWaitMs)) xdo.kill();
    return QString::fromLocal8Bit(xdo.readAllStandardOutput()).trimmed();
  }

  QStringList TraceLines() const {
    QFile file(m_tracePath);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }
  // "0x%04X" as the trace writes values.
  static QString Hex4(std::uint16_t value) {
    return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(4, u'0');
  }
  // Value and data ("0x0000 96 00") of every request of `command` in the trace, in order.
  QStringList Sent(std::uint8_t command) const {
    const QString code = QStringLiteral("(0x") +
                         QString::number(command, 16).toUpper().rightJustified(2, u'0') +
                         QLatin1Char(')');
    QStringList sent;
    for (const QString& line : TraceLines()) {
      if (!line.contains(code)) continue;
      const qsizetype value = line.indexOf(QStringLiteral("value="));
      const qsizetype data = line.indexOf(QStringLiteral("data="));
      const qsizetype result = line.indexOf(QStringLiteral(" result="));
      sent << line.mid(value + 6, 6) + QLatin1Char(' ') + line.mid(data + 5, result - data - 5);
    }
    return sent;
  }

  QPoint At(int id, QPoint offset = {}) const {
    const QRect place = m_layout->Control(id)->geometry();
    return offset.isNull() ? place.center() : place.topLeft() + offset;
  }
  void Click(QPoint at) const {
    Xdo({"mousemove", "--window", m_window, QString::number(at.x()), QString::number(at.y())});
    Xdo({"click", "1"});
  }
  void ClickOn(int id) const {
    Click(At(id));
  }
  // Key names as xdotool knows them, separated by blanks: "ctrl+a", "Right Right Next".
  static void Key(const QString& keys) {
    Xdo(QStringList{"key", "--delay", "30"} + keys.split(QLatin1Char(' ')));
  }
  static void Type(const QString& text) {
    Xdo({"type", "--delay", "60", text});
  }
  void Focus() const {
    Xdo({"windowfocus", "--sync", m_window});
  }

  // The open list of a combo is a window of its own; its entries share its height.
  void PickFromOpenList(int entry, int entries) const {
    QString list;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
          const QStringList windows =
              Xdo({"search", "--onlyvisible", "--pid", QString::number(m_panel.processId())})
                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
          for (const QString& w : windows) {
            if (w != m_window) list = w;
          }
          return !list.isEmpty();
        }(),
        kWaitMs);
    const QString shape = Xdo({"getwindowgeometry", "--shell", list});
    int height = 0;
    int width = 0;
    for (const QString& line : shape.split(QLatin1Char('\n'))) {
      if (line.startsWith(QLatin1String("HEIGHT="))) height = line.mid(7).toInt();
      if (line.startsWith(QLatin1String("WIDTH="))) width = line.mid(6).toInt();
    }
    QVERIFY(height > 0);
    // A list ignores the release of the click that opened it for a double-click time.
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    const int y = height * (2 * entry + 1) / (2 * entries);
    Xdo({"mousemove", "--window", list, QString::number(width / 2), QString::number(y)});
    Xdo({"click", "1"});
    QTRY_VERIFY_WITH_TIMEOUT(
        Xdo({"search", "--onlyvisible", "--pid", QString::number(m_panel.processId())}) == m_window,
        kWaitMs);
    Focus();
  }

  SettingsImage StoredImage() {
    SettingsImage image;
    settings::SettingsTransfer transfer(m_link, m_timing, image);
    [&] { QVERIFY(transfer.ReadImage(kImageLength)); }();
    return image;
  }

  // Writes `image` into the device as the tool writes it: chunks of 26 bytes and a commit.
  void Store(const SettingsImage& image) {
    for (unsigned offset = 0; offset < kImageLength; offset += 26) {
      const unsigned count = std::min(26u, kImageLength - offset);
      QVERIFY(m_link.Request(nullptr, CMD_WRITE_SETTINGS, offset, 0, 0, count,
                             image.Bytes().data() + offset));
    }
    QVERIFY(m_link.Request(nullptr, CMD_WRITE_SETTINGS, 0, 1, 0, 0, nullptr));
  }

 private slots:
  void initTestCase() {
    if (!g_xserver->Missing().isEmpty()) QSKIP(qPrintable(g_xserver->Missing()));
    qputenv("VELMOR_DEVICE_DIR", m_devices.path().toLocal8Bit());
    m_tracePath = m_state.filePath(QStringLiteral("trace.txt"));
    m_sim.setProcessChannelMode(QProcess::ForwardedChannels);
    DieWithTest(m_sim);
    m_sim.start(QStringLiteral(VELMOR_SIM),
                {"--state", m_state.filePath(QStringLiteral("device")), "--trace", m_tracePath});
    QVERIFY(m_sim.waitForStarted());
    m_link.SetDeviceName(device::DevicePath().c_str());
    DeviceIdentity identity;
    QTRY_VERIFY_WITH_TIMEOUT(device::ReadIdentity(m_link, identity), kWaitMs);

    // Both top-row flags set and the first curve selected, so that the panel has them to clear.
    SettingsImage image = StoredImage();
    image.SetMotorUnitInstalled(true);
    image.SetAutoMute(true);
    image.SetPresetIndex(0);
    Store(image);
    QTRY_COMPARE_WITH_TIMEOUT(StoredImage().AutoMute(), true, kWaitMs);

    m_layout = std::make_unique<CPropertyVELMOR>(m_link, m_timing, DesktopServices());
    m_panel.setProcessChannelMode(QProcess::ForwardedChannels);
    DieWithTest(m_panel);
    m_panel.start(QStringLiteral(VELMOR_PANEL), {"-service"});
    QVERIFY(m_panel.waitForStarted());
    m_window = Xdo({"search", "--sync", "--onlyvisible", "--name", "^VELMOR Control$"})
                   .split(QLatin1Char('\n'))
                   .value(0);
    QVERIFY(!m_window.isEmpty());
    Focus();
    // Connected: the version line is filled once the panel has read the settings.
    QTRY_VERIFY_WITH_TIMEOUT(Sent(CMD_READ_SETTINGS).size() >= 10, kWaitMs);
  }

  void cleanupTestCase() {
    for (QProcess* process : {&m_panel, &m_sim}) {
      if (process->state() == QProcess::NotRunning) continue;
      process->terminate();
      if (!process->waitForFinished(kWaitMs)) process->kill();
    }
  }

  void editEverythingAndWrite() {
    const SettingsImage before = StoredImage();

    ClickOn(IDC_SERIAL);
    Key(QStringLiteral("ctrl+a"));
    Type(QStringLiteral("4711"));

    ClickOn(IDC_MOTOR_UNIT);
    PickFromOpenList(0, 2);
    ClickOn(IDC_AUTOMUTE);
    PickFromOpenList(0, 2);

    // The gain slider's right arrow, three times: one step each.
    const QRect gain = m_layout->Control(IDC_GAIN)->geometry();
    const int firstGain = int(Sent(CMD_SET_GAIN).size());
    for (int click = 1; click <= 3; ++click) {
      Click(gain.topLeft() + QPoint(gain.width() - 5, gain.height() / 2));
      QTRY_COMPARE_WITH_TIMEOUT(Sent(CMD_SET_GAIN).size(), qsizetype(firstGain + click), kWaitMs);
    }
    const int gainNow = before.PhonoGain() + 3;
    QCOMPARE(Sent(CMD_SET_GAIN).mid(firstGain),
             (QStringList{Hex4(std::uint16_t(gainNow - 2)) + " -",
                          Hex4(std::uint16_t(gainNow - 1)) + " -",
                          Hex4(std::uint16_t(gainNow)) + " -"}));

    // "15", then "2", into the motor-voltage field: 150 and 60, nothing else.
    ClickOn(IDC_MOTOR_VOLTAGE);
    Key(QStringLiteral("ctrl+a"));
    Type(QStringLiteral("15"));
    QTRY_COMPARE_WITH_TIMEOUT(Sent(CMD_SET_MOTOR_VOLTAGE), QStringList{"0x0000 96 00"}, kWaitMs);
    Key(QStringLiteral("ctrl+a"));
    Type(QStringLiteral("2"));
    QTRY_COMPARE_WITH_TIMEOUT(Sent(CMD_SET_MOTOR_VOLTAGE),
                              (QStringList{"0x0000 96 00", "0x0000 3C 00"}), kWaitMs);

    // The selected curve renamed to the start of another's name, then Tab on to t1, which the
    // keys move: two lines and a page right.
    QString prefix;
    const QString own = QString::fromLatin1(before.Curve(0).Name().c_str());
    for (std::size_t slot = 1; slot < SettingsImage::kCurveCount && prefix.isEmpty(); ++slot) {
      const QString start = QString::fromLatin1(before.Curve(slot).Name().c_str()).left(2);
      if (start.size() == 2 && !own.startsWith(start)) prefix = start;
    }
    QVERIFY(!prefix.isEmpty());
    const int firstCurve = int(Sent(CMD_SET_EQUALIZATION).size());
    ClickOn(IDC_EQ_TYPE);
    Key(QStringLiteral("ctrl+a"));
    Type(prefix);
    Key(QStringLiteral("Tab"));
    Key(QStringLiteral("Right Right Next"));
    const auto t1 = static_cast<std::uint16_t>(before.Curve(0).T(0) + 52);
    QTRY_COMPARE_WITH_TIMEOUT(Sent(CMD_SET_EQUALIZATION).size(), qsizetype(firstCurve + 3),
                              kWaitMs);
    for (const QString& sent : Sent(CMD_SET_EQUALIZATION).mid(firstCurve)) {
      QVERIFY2(!sent.mid(7, 5).endsWith(QLatin1String("01")), qPrintable(sent));  // no preset flag
    }

    const qsizetype reads = Sent(CMD_READ_SETTINGS).size();
    ClickOn(IDC_WRITE_SETTINGS);
    QTRY_VERIFY_WITH_TIMEOUT(Sent(CMD_READ_SETTINGS).size() >= reads + 10, kWaitMs);

    const SettingsImage stored = StoredImage();
    QCOMPARE(stored.SerialNumber(), 4711u);
    QVERIFY(!stored.MotorUnitInstalled());
    QVERIFY(!stored.AutoMute());
    QCOMPARE(int(stored.PhonoGain()), gainNow);
    QCOMPARE(stored.MotorVoltage(), std::uint16_t{60});
    QCOMPARE(stored.PresetIndex(), 0u);
    QCOMPARE(QString::fromLatin1(stored.Curve(0).Name().c_str()), prefix);
    QCOMPARE(stored.Curve(0).T(0), t1);
    for (std::size_t slot = 1; slot < SettingsImage::kCurveCount; ++slot) {
      QCOMPARE(stored.Curve(slot).Name(), before.Curve(slot).Name());
    }
  }
};

int main(int argc, char** argv) {
  XServer xserver;
  g_xserver = &xserver;
  QApplication app(argc, argv);
  PanelByHandTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "panel_by_hand_test.moc"
