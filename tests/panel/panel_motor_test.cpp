// The motor voltage, ramp-up speed, speed boxes, lock boxes and correction sliders, on the
// simulated device.

#include <QTest>

#include "panel/control_ids.h"
#include "tests/panel/panel_rig.h"
#include "tests/panel/panel_test_main.h"

namespace {

SpeedPayload LastSpeed(PanelRig& rig) {
  const auto frames = rig.Frames(CMD_SET_SPEED);
  return frames.empty() ? SpeedPayload{} : SpeedPayload::Decode(frames.back().Data().data());
}

}  // namespace

class PanelMotorTest : public QObject {
  Q_OBJECT
  QTemporaryDir m_folder;

 private slots:
  void initTestCase() { PreparePanelTests(m_folder); }

  void typedVoltageGoesOneSecondLater() {
    PanelRig rig;
    rig.Open();
    QVERIFY(rig.Activate());
    auto* field = rig.Get<QComboBox>(IDC_MOTOR_VOLTAGE)->lineEdit();
    rig.ClickOn(IDC_MOTOR_VOLTAGE);
    rig.ClearFrames();
    PanelRig::Retype(QStringLiteral("13.3"));
    QTimer* timer = rig.Timer("VOLTAGE_TIMER");
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 1000);
    QVERIFY(rig.Frames(CMD_SET_MOTOR_VOLTAGE).empty());
    QTRY_COMPARE_WITH_TIMEOUT(rig.Frames(CMD_SET_MOTOR_VOLTAGE).size(), std::size_t{1}, 3000);
    QCOMPARE(rig.Frames(CMD_SET_MOTOR_VOLTAGE)[0].Data(), (std::vector<std::uint8_t>{133, 0}));
    QVERIFY(!timer->isActive());
    PanelRig::Key(Qt::Key_Tab);
    QCOMPARE(field->text(), QStringLiteral("13.3 Volt"));
  }

  void leavingTheFieldShowsTheVoltageItWillSend() {
    PanelRig rig;
    rig.Open();
    QVERIFY(rig.Activate());
    auto* combo = rig.Get<QComboBox>(IDC_MOTOR_VOLTAGE);
    const struct {
      const char* typed;
      const char* shown;
      int entry;
    } cases[] = {{"12", "12.0 Volt", 1},
                 {"30", "24.0 Volt", 3},
                 {"", "6.0 Volt", 0},
                 {"Volt", "6.0 Volt", 0},
                 {"-12", "6.0 Volt", 0}};
    for (const auto& c : cases) {
      rig.ClickOn(IDC_MOTOR_VOLTAGE);
      PanelRig::Retype(QString::fromLatin1(c.typed));
      PanelRig::Key(Qt::Key_Tab);
      QCOMPARE(combo->currentText(), QString::fromLatin1(c.shown));
      QCOMPARE(combo->currentIndex(), c.entry);
    }
  }

  void chosenVoltageGoesAtTheNextTick() {
    PanelRig rig;
    rig.Open();
    rig.ClearFrames();
    rig.Choose(IDC_MOTOR_VOLTAGE, 2);
    QTimer* timer = rig.Timer("VOLTAGE_TIMER");
    QCOMPARE(timer->interval(), 10);
    QTRY_VERIFY(!rig.Frames(CMD_SET_MOTOR_VOLTAGE).empty());
    QCOMPARE(rig.Frames(CMD_SET_MOTOR_VOLTAGE)[0].Data(), (std::vector<std::uint8_t>{155, 0}));
  }

  void pendingVoltageWaitsForTheDevice() {
    PanelRig rig;
    rig.Open();
    rig.Type(rig.Get<QComboBox>(IDC_MOTOR_VOLTAGE)->lineEdit(), QStringLiteral("12.5"));
    rig.device.Unplug();
    rig.panel->OnTimer(VOLTAGE_TIMER);
    QVERIFY(rig.Timer("VOLTAGE_TIMER")->isActive());
    rig.device.Plug();
    rig.panel->OnTimer(VOLTAGE_TIMER);
    QVERIFY(!rig.Timer("VOLTAGE_TIMER")->isActive());
    QCOMPARE(rig.Frames(CMD_SET_MOTOR_VOLTAGE).back().Data(), (std::vector<std::uint8_t>{125, 0}));
  }

  void speedBoxes() {
    PanelRig rig;
    rig.device.ChangeSpeedOnDevice(45);
    rig.Open();
    QVERIFY(rig.Get<QCheckBox>(IDC_SPEED45)->isChecked());
    rig.Get<QScrollBar>(IDC_REL33)->setSliderPosition(-7);
    rig.ClearFrames();  // the box was not checked: the slider sent nothing
    rig.Click(IDC_SPEED33);
    QVERIFY(rig.Get<QCheckBox>(IDC_SPEED33)->isChecked());
    QVERIFY(!rig.Get<QCheckBox>(IDC_SPEED45)->isChecked());
    SpeedPayload sent = LastSpeed(rig);
    QCOMPARE(sent.speed, std::uint16_t{33});
    QCOMPARE(sent.relative, std::int16_t{-7});
    rig.Click(IDC_SPEED33);
    sent = LastSpeed(rig);
    QCOMPARE(sent.speed, std::uint16_t{0});
    QCOMPARE(sent.relative, std::int16_t{-7});
    QCOMPARE(rig.Frames(CMD_SET_SPEED).size(), std::size_t{2});
  }

  void correctionWithoutActiveSpeedOnlyRelabels() {
    PanelRig rig;
    rig.device.ChangeSpeedOnDevice(0);
    rig.Open();
    rig.Click(IDC_LOCK45);
    QVERIFY(rig.Get<QScrollBar>(IDC_ABS45)->isEnabled());
    rig.ClearFrames();
    rig.Get<QScrollBar>(IDC_ABS45)->setSliderPosition(-12);
    rig.Get<QScrollBar>(IDC_REL45)->setSliderPosition(5);
    QVERIFY(rig.Frames(CMD_SET_SPEED).empty());
    QCOMPARE(rig.Text(IDC_SPEED45), QStringLiteral("45:abs -1.2%/rel 0.5%"));
    QCOMPARE(rig.panel->Image().Abs45(), std::int16_t{-12});
    QCOMPARE(rig.panel->Image().Rel45(), std::int16_t{5});
    rig.Click(IDC_LOCK45);
    QVERIFY(!rig.Get<QScrollBar>(IDC_ABS45)->isEnabled());
  }

  void lockedAbsoluteCorrectionsSurviveAFill() {
    PanelRig rig;
    rig.StoreDefaultsWith(
        [](SettingsImage& image) { image.SetAbsoluteCorrection(SettingsImage::Speed::k78, -321); });
    rig.Open();
    QVERIFY(!rig.Get<QScrollBar>(IDC_ABS78)->isEnabled());
    QCOMPARE(rig.Text(IDC_SPEED78), QStringLiteral("78:abs -32.1%/rel 0.0%"));
    QCOMPARE(rig.panel->Image().Abs78(), std::int16_t{-321});
  }

  void rampSpeedGoesAtOnce() {
    PanelRig rig;
    rig.Open();
    rig.ClearFrames();
    rig.Choose(IDC_RAMP_SPEED, 6);
    QCOMPARE(rig.Frames(CMD_SET_RAMP_SPEED).back().Data(), (std::vector<std::uint8_t>{6, 0}));
    QCOMPARE(rig.panel->Image().RampSpeed(), 2u);
  }

  void fillWithoutDeviceClearsTheSpeedBoxes() {
    PanelRig rig;
    rig.device.ChangeSpeedOnDevice(78);
    rig.Open();
    QVERIFY(rig.Get<QCheckBox>(IDC_SPEED78)->isChecked());
    rig.device.Unplug();
    rig.panel->FillControls();
    QVERIFY(!rig.Get<QCheckBox>(IDC_SPEED78)->isChecked());
  }

  void onlyThe33AbsoluteCorrectionHasATipAndItComesQuickly() {
    PanelRig rig;
    rig.Open();
    for (int id : {IDC_ABS33, IDC_LOCK33}) {
      QWidget* control = rig.panel->Control(id);
      QCOMPARE(control->toolTip(), QStringLiteral("absolute correction for 33 turns"));
      QCOMPARE(control->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, control), 100);
    }
    for (int id : {IDC_ABS45, IDC_LOCK45, IDC_REL33, IDC_SERIAL}) {
      QVERIFY(rig.panel->Control(id)->toolTip().isEmpty());
    }
  }
};

QTEST_MAIN(PanelMotorTest)
#include "panel_motor_test.moc"
