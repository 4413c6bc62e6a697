// The window while the device answers slowly: exchanges run on the device thread, the window's
// thread keeps its event loop, and what that loop would start meanwhile waits for the exchange.

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <condition_variable>
#include <mutex>

#include "device/device_operations.h"
#include "panel/control_ids.h"
#include "tests/panel/panel_rig.h"
#include "tests/panel/panel_test_main.h"

namespace {

// The simulated device, but one command is held until the test lets it through.
class GatedDevice final : public DeviceEndpoint {
 public:
  explicit GatedDevice(DeviceEndpoint& inner) : m_inner(inner) {}

  bool IsPlugged() override { return m_inner.IsPlugged(); }
  bool Control(std::span<const std::uint8_t> frame, std::uint8_t* reply) override {
    {
      std::unique_lock guard(m_mutex);
      if (m_gated && !frame.empty() && frame[0] == m_command) {
        ++m_held;
        // Bounded, so that a window that never lets it through fails instead of hanging.
        if (!m_open.wait_for(guard, std::chrono::seconds(5), [this] { return !m_gated; })) {
          m_gated = false;
        }
        --m_held;
      }
    }
    return m_inner.Control(frame, reply);
  }

  void Gate(std::uint8_t command) {
    std::lock_guard guard(m_mutex);
    m_command = command;
    m_gated = true;
  }
  void Open() {
    {
      std::lock_guard guard(m_mutex);
      m_gated = false;
    }
    m_open.notify_all();
  }
  // How many requests wait at the gate now.
  int Held() {
    std::lock_guard guard(m_mutex);
    return m_held;
  }

 private:
  DeviceEndpoint& m_inner;
  std::mutex m_mutex;  // guards every member below
  std::condition_variable m_open;
  std::uint8_t m_command = 0;
  bool m_gated = false;
  int m_held = 0;
};

struct AliveRig : PanelRig {
  AliveRig() { link = MakeLinkTo(gated); }
  GatedDevice gated{device};

  std::vector<std::uint8_t> Commands() {
    std::lock_guard guard(mutex);
    std::vector<std::uint8_t> commands;
    for (const RecordedFrame& f : frames) commands.push_back(f.Command());
    return commands;
  }
  // What "&Read Settings" sends on a device that answers at once.
  std::vector<std::uint8_t> PlainRead() {
    device::ReadSpeedStatus(*link);  // takes the change flag away, so a poll reads no settings
    ClearFrames();
    Click(IDC_READ_SETTINGS);
    std::vector<std::uint8_t> commands = Commands();
    ClearFrames();
    return commands;
  }
  // Polls the speed status every 10 ms; `during` sees each tick that comes while the settings
  // read is held at the device.
  void PollWhileHeld(const std::function<void(int ticks)>& during) {
    QTimer* poll = Timer("STATUS_TIMER");
    auto ticks = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, panel.get(), [this, ticks, during] {
      if (gated.Held() > 0) during(++*ticks);
    });
    poll->start(10);
  }
};

}  // namespace

class PanelAliveTest : public QObject {
  Q_OBJECT
  QTemporaryDir m_devices;

 private slots:
  void initTestCase() { PreparePanelTests(m_devices); }

  void ticksDuringAnExchangeRunOnceAfterIt() {
    AliveRig rig;
    rig.Open();
    const std::vector<std::uint8_t> plain = rig.PlainRead();
    QVERIFY(!plain.empty());

    rig.gated.Gate(CMD_READ_SETTINGS);
    rig.PollWhileHeld([&](int ticks) {
      // The window's thread runs its timers while the device thread waits.
      if (ticks < 3) return;
      rig.Timer("STATUS_TIMER")->stop();
      rig.gated.Open();
    });
    rig.Click(IDC_READ_SETTINGS);
    // The read exactly as on a quick device, and then one poll for the three ticks.
    std::vector<std::uint8_t> expected = plain;
    expected.push_back(CMD_GET_SPEED_STATUS);
    QTRY_COMPARE(rig.Commands().size(), expected.size());
    QTest::qWait(50);
    QCOMPARE(rig.Commands(), expected);
  }

  void closingWaitsForTheExchange() {
    AliveRig rig;
    rig.Open();
    const std::vector<std::uint8_t> plain = rig.PlainRead();
    std::size_t sentAtClose = 0;
    QObject::connect(rig.panel.get(), &QDialog::finished,
                     [&] { sentAtClose = rig.Commands().size(); });

    rig.gated.Gate(CMD_READ_SETTINGS);
    bool stillOpen = false;
    rig.PollWhileHeld([&](int ticks) {
      if (ticks > 1) return;
      // As the desktop's close button: it comes back once the exchange is over.
      rig.panel->close();
      stillOpen = rig.panel->isVisible();
      rig.Timer("STATUS_TIMER")->stop();
      rig.gated.Open();
    });
    rig.Click(IDC_READ_SETTINGS);
    QTRY_VERIFY(!rig.panel->isVisible());
    QVERIFY(stillOpen);
    // The whole read went out before the window closed, and the held poll after it.
    QVERIFY(sentAtClose >= plain.size());
    std::vector<std::uint8_t> sent = rig.Commands();
    QVERIFY(sent.size() >= plain.size());
    sent.resize(plain.size());
    QCOMPARE(sent, plain);
  }

  void waitCursorOnceAnExchangeTakesLong() {
    AliveRig rig;
    rig.Open();
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    bool cursorSeen = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (QGuiApplication::overrideCursor() == nullptr) return;
      cursorSeen = QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
      rig.gated.Open();
    });
    watch.start(10);
    rig.gated.Gate(CMD_GET_IDENTITY);
    QVERIFY(rig.panel->Connect());
    watch.stop();
    QVERIFY(cursorSeen);
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
  }
};

QTEST_MAIN(PanelAliveTest)
#include "panel_alive_test.moc"
