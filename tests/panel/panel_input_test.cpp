// The panel under a person's hands: clicks at points of its window, keys to the focused widget,
// Tab between controls, on the simulated device.

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTest>

#include "panel/control_table.h"
#include "panel/field_text.h"
#include "tests/panel/panel_rig.h"
#include "tests/panel/panel_test_main.h"

namespace {

bool TakesInput(ControlKind kind) {
  switch (kind) {
    case ControlKind::Edit:
    case ControlKind::DatePicker:
    case ControlKind::List:
    case ControlKind::DropDown:
    case ControlKind::Slider:
    case ControlKind::CheckBox:
    case ControlKind::PushButton:
      return true;
    default:
      return false;
  }
}

constexpr int kSliders[] = {IDC_GAIN,  IDC_ABS33, IDC_REL33, IDC_ABS45, IDC_REL45, IDC_ABS78,
                            IDC_REL78, IDC_T1,    IDC_T2,    IDC_T3,    IDC_T4};

std::vector<std::uint16_t> Voltages(PanelRig& rig) {
  std::vector<std::uint16_t> sent;
  for (const RecordedFrame& f : rig.Frames(CMD_SET_MOTOR_VOLTAGE)) {
    sent.push_back(wire::GetU16(f.Data().data()));
  }
  return sent;
}

std::int16_t LastGainSent(PanelRig& rig) {
  const auto frames = rig.Frames(CMD_SET_GAIN);
  return frames.empty() ? std::int16_t{-1000} : static_cast<std::int16_t>(frames.back().Value());
}

}  // namespace

class PanelInputTest : public QObject {
  Q_OBJECT
  QTemporaryDir m_folder;

 private slots:
  void initTestCase() { PreparePanelTests(m_folder); }

  void everyControlTakesTheMouseAtItsPlace_data() {
    QTest::addColumn<bool>("service");
    QTest::addColumn<bool>("advanced");
    QTest::newRow("normal") << false << false;
    QTest::newRow("advanced") << false << true;
    QTest::newRow("service") << true << false;
  }
  void everyControlTakesTheMouseAtItsPlace() {
    QFETCH(bool, service);
    QFETCH(bool, advanced);
    PanelRig rig;
    rig.Open(service, advanced);
    for (const ControlRow& row : panel::ControlTable()) {
      if (row.id == IDC_STATIC || !TakesInput(row.kind)) continue;
      QWidget* control = rig.panel->Control(row.id);
      if (!control->isVisibleTo(rig.panel.get())) continue;
      QWidget* hit = rig.panel->childAt(rig.PlaceOf(row.id));
      QVERIFY2(hit == control || control->isAncestorOf(hit),
               qPrintable(QStringLiteral("%1 is covered by %2")
                              .arg(row.id)
                              .arg(hit ? QString::fromLatin1(hit->metaObject()->className())
                                       : QStringLiteral("nothing"))));
    }
  }

  // Serial number typed, both top-row lists picked with the mouse, then written.
  void topRowTakesClicksAndKeys() {
    PanelRig rig;
    rig.StoreDefaultsWith([](SettingsImage& image) {
      image.SetMotorUnitInstalled(true);
      image.SetAutoMute(true);
    });
    rig.Open(true);
    QVERIFY(rig.Activate());
    rig.ClickOn(IDC_SERIAL);
    QCOMPARE(PanelRig::Focus(), rig.panel->Control(IDC_SERIAL));
    PanelRig::Retype(QStringLiteral("4711"));
    rig.ClickOn(IDC_DELIVERY);
    QVERIFY(rig.panel->Control(IDC_DELIVERY)->isAncestorOf(PanelRig::Focus()) ||
            PanelRig::Focus() == rig.panel->Control(IDC_DELIVERY));
    rig.Pick(IDC_MOTOR_UNIT, 0);
    rig.Pick(IDC_AUTOMUTE, 0);
    QCOMPARE(rig.Text(IDC_MOTOR_UNIT), QStringLiteral("not installed"));
    QCOMPARE(rig.Text(IDC_AUTOMUTE), QStringLiteral("off"));
    rig.ClickOn(IDC_WRITE_SETTINGS);
    const SettingsImage stored = rig.device.StoredImage();
    QCOMPARE(stored.SerialNumber(), 4711u);
    QVERIFY(!stored.MotorUnitInstalled());
    QVERIFY(!stored.AutoMute());
  }

  void voltageFieldHoldsWhatWasTyped() {
    PanelRig rig;
    rig.Open();
    QVERIFY(rig.Activate());
    auto* combo = rig.Get<QComboBox>(IDC_MOTOR_VOLTAGE);
    rig.ClickOn(IDC_MOTOR_VOLTAGE);
    QCOMPARE(PanelRig::Focus(), combo);
    rig.ClearFrames();
    PanelRig::Retype(QStringLiteral("15"));
    QCOMPARE(combo->currentText(), QStringLiteral("15"));
    QTRY_COMPARE_WITH_TIMEOUT(Voltages(rig), (std::vector<std::uint16_t>{150}), 3000);
    PanelRig::Retype(QStringLiteral("2"));
    QTRY_COMPARE_WITH_TIMEOUT(Voltages(rig), (std::vector<std::uint16_t>{150, 60}), 3000);
    PanelRig::Retype(QStringLiteral("1"));
    QCOMPARE(combo->currentText(), QStringLiteral("1"));

    // Return neither chooses the entry of that text nor presses a button.
    PanelRig::Retype(QStringLiteral("12.0 volt"));
    const int index = combo->currentIndex();
    PanelRig::Key(Qt::Key_Return);
    QCOMPARE(combo->currentIndex(), index);
    QCOMPARE(combo->currentText(), QStringLiteral("12.0 volt"));
    QCOMPARE(rig.Timer("VOLTAGE_TIMER")->interval(), 1000);
    QVERIFY(rig.Frames(CMD_WRITE_SETTINGS).empty());
    QVERIFY(!rig.panel->UpdateRunning());
  }

  // Tab, Shift+Tab and a click elsewhere each show the voltage that will be sent.
  void leavingTheVoltageFieldShowsItsVoltage() {
    PanelRig rig;
    rig.Open();
    QVERIFY(rig.Activate());
    auto* combo = rig.Get<QComboBox>(IDC_MOTOR_VOLTAGE);
    rig.ClickOn(IDC_MOTOR_VOLTAGE);
    PanelRig::Retype(QStringLiteral("30"));
    PanelRig::Key(Qt::Key_Tab);
    QVERIFY(PanelRig::Focus() != combo);
    QCOMPARE(combo->currentText(), QStringLiteral("24.0 Volt"));
    PanelRig::Key(Qt::Key_Backtab);
    QCOMPARE(PanelRig::Focus(), combo);
    PanelRig::Retype(QStringLiteral("13.3"));
    PanelRig::Key(Qt::Key_Backtab);
    QCOMPARE(combo->currentText(), QStringLiteral("13.3 Volt"));
    rig.ClickOn(IDC_MOTOR_VOLTAGE);
    PanelRig::Retype(QString());
    rig.ClickOn(IDC_SERIAL);  // disabled: the click takes no focus
    QCOMPARE(PanelRig::Focus(), combo);
    rig.ClickOn(IDC_AUTOSCALE);
    QCOMPARE(combo->currentText(), QStringLiteral("6.0 Volt"));
  }

  void renamedCurveKeepsItsSlot() {
    PanelRig rig;
    rig.Open();
    QVERIFY(rig.Activate());
    rig.Pick(IDC_EQ_TYPE, 1);
    QCOMPARE(rig.panel->SelectedCurve(), 1);
    auto* combo = rig.Get<QComboBox>(IDC_EQ_TYPE);
    rig.ClickOn(IDC_EQ_TYPE);
    rig.ClearFrames();
    PanelRig::Retype(QStringLiteral("RI"));
    QCOMPARE(combo->currentText(), QStringLiteral("RI"));
    PanelRig::Key(Qt::Key_Tab);
    PanelRig::Key(Qt::Key_Backtab);
    PanelRig::Key(Qt::Key_Return);
    QCOMPARE(rig.panel->SelectedCurve(), 1);
    QCOMPARE(combo->currentIndex(), 1);
    QCOMPARE(combo->itemText(0), QStringLiteral("RIAA (IEC)"));
    QCOMPARE(combo->itemText(1), QStringLiteral("RI"));
    QCOMPARE(QString::fromStdString(rig.panel->CurrentCurve().Name()), QStringLiteral("RI"));
    QVERIFY(rig.Frames(CMD_SET_EQUALIZATION).empty());
    rig.ClickOn(IDC_WRITE_SETTINGS);
    const SettingsImage stored = rig.device.StoredImage();
    QCOMPARE(stored.PresetIndex(), 1u);
    QCOMPARE(QString::fromStdString(stored.Curve(1).Name()), QStringLiteral("RI"));
    QCOMPARE(QString::fromStdString(stored.Curve(0).Name()), QStringLiteral("RIAA (IEC)"));
  }

  void everySliderTakesTheKeyboard() {
    PanelRig rig;
    rig.Open();
    QVERIFY(rig.Activate());
    for (int lock : {IDC_LOCK33, IDC_LOCK45, IDC_LOCK78}) rig.ClickOn(lock);
    std::vector<QWidget*> visited;
    for (int i = 0; i < 60; ++i) {
      PanelRig::Key(Qt::Key_Tab);
      visited.push_back(PanelRig::Focus());
    }
    for (int id : kSliders) {
      QVERIFY2(std::find(visited.begin(), visited.end(), rig.panel->Control(id)) != visited.end(),
               qPrintable(QString::number(id)));
    }

    rig.Get<QScrollBar>(IDC_GAIN)->setFocus(Qt::TabFocusReason);
    const struct {
      Qt::Key key;
      int position;
    } keys[] = {{Qt::Key_Right, 1},   {Qt::Key_PageDown, 11}, {Qt::Key_PageUp, 1},
                {Qt::Key_Left, 0},    {Qt::Key_End, 120},     {Qt::Key_Right, 120},
                {Qt::Key_Home, -120}, {Qt::Key_PageUp, -120}};
    for (const auto& k : keys) {
      PanelRig::Key(k.key);
      QCOMPARE(rig.Get<QScrollBar>(IDC_GAIN)->value(), k.position);
      QCOMPARE(rig.Text(IDC_GAIN_LABEL), panel::GainText(k.position));
      QCOMPARE(LastGainSent(rig), static_cast<std::int16_t>(k.position));
    }

    rig.Get<QScrollBar>(IDC_T1)->setFocus(Qt::TabFocusReason);
    PanelRig::Key(Qt::Key_End);
    QCOMPARE(rig.panel->CurrentCurve().T(0), std::uint16_t{16383});
    QCOMPARE(rig.Text(IDC_T1_LABEL), QStringLiteral("16383usec/9.7Hz"));
    rig.Get<QScrollBar>(IDC_REL45)->setFocus(Qt::TabFocusReason);
    PanelRig::Key(Qt::Key_Right);
    QCOMPARE(rig.Text(IDC_SPEED45), QStringLiteral("45:abs 0.0%/rel 0.1%"));
  }

  // The scroll bar's context menu, "Scroll here", on the gain and on t1.
  void scrollHereTakesTheSliderRule() {
    PanelRig rig;
    rig.Open();
    QVERIFY(rig.Activate());
    const auto scrollHere = [&](int id) {
      QWidget* slider = rig.panel->Control(id);
      QTimer::singleShot(0, this, [] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
          QTest::keyClick(menu, Qt::Key_Down);
          QTest::keyClick(menu, Qt::Key_Return);
        }
      });
      rig.ClickAt(
          slider->mapTo(rig.panel.get(), QPoint(slider->width() * 3 / 4, slider->height() / 2)),
          Qt::RightButton);
    };
    scrollHere(IDC_GAIN);
    const int gain = rig.Get<QScrollBar>(IDC_GAIN)->value();
    QVERIFY(gain > 20);
    QCOMPARE(rig.Text(IDC_GAIN_LABEL), panel::GainText(gain));
    QCOMPARE(LastGainSent(rig), static_cast<std::int16_t>(gain));

    rig.ClearFrames();
    scrollHere(IDC_T1);
    const int t1 = rig.Get<QScrollBar>(IDC_T1)->value();
    QVERIFY(t1 > 8000);
    QCOMPARE(rig.panel->CurrentCurve().T(0), static_cast<std::uint16_t>(t1));
    QCOMPARE(rig.Frames(CMD_SET_EQUALIZATION).size(), std::size_t{1});
  }

  void valueLabelsFollowTheSettingsArea() {
    PanelRig rig;
    rig.SetFaults([](SimFaults& f) { f.bootLoaderOnly = true; });
    rig.Open();
    const int labels[] = {IDC_T1_LABEL, IDC_T2_LABEL, IDC_T3_LABEL, IDC_T4_LABEL};
    for (int id : labels) QVERIFY(!rig.Get<QWidget>(id)->isVisibleTo(rig.panel.get()));
    rig.SetFaults([](SimFaults& f) { f.bootLoaderOnly = false; });
    rig.panel->OnDeviceChange();
    for (int id : labels) QVERIFY(rig.Get<QWidget>(id)->isVisibleTo(rig.panel.get()));
  }

  void everyControlHasAnAccessibleName() {
    PanelRig rig;
    rig.Open(true);
    for (const ControlRow& row : panel::ControlTable()) {
      if (row.id == IDC_STATIC || !(TakesInput(row.kind) || row.kind == ControlKind::Picture ||
                                    row.kind == ControlKind::ProgressBar)) {
        continue;
      }
      QAccessibleInterface* named =
          QAccessible::queryAccessibleInterface(rig.panel->Control(row.id));
      QVERIFY(named);
      QVERIFY2(!named->text(QAccessible::Name).isEmpty(), qPrintable(QString::number(row.id)));
    }
    const auto name = [&](int id) {
      return QAccessible::queryAccessibleInterface(rig.panel->Control(id))->text(QAccessible::Name);
    };
    QCOMPARE(name(IDC_GAIN), QStringLiteral("Phono gain"));
    QCOMPARE(name(IDC_T1), QStringLiteral("t1"));
    // A combo's name on Linux is its text; its caption comes as its label.
    QAccessibleInterface* voltage =
        QAccessible::queryAccessibleInterface(rig.panel->Control(IDC_MOTOR_VOLTAGE));
    const auto labels = voltage->relations(QAccessible::Label);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels[0].first->text(QAccessible::Name), QStringLiteral("Motor voltage"));
    QCOMPARE(name(IDC_WRITE_SETTINGS), QStringLiteral("Write settings"));
  }

  // Latin-1 goes in, anything else is refused as it is typed, and 15 characters are the most.
  void curveNameTakesOnlyWhatTheImageHolds() {
    PanelRig rig;
    rig.Open();
    QVERIFY(rig.Activate());
    rig.ClickOn(IDC_EQ_TYPE);
    PanelRig::Retype(QString::fromUtf8("Crème brûlée"));
    PanelRig::Keys(QString::fromUtf8("€Ω"));
    PanelRig::Keys(QStringLiteral("XYZW"));
    const QString expected = QString::fromUtf8("Crème brûléeXYZ");
    QCOMPARE(rig.Text(IDC_EQ_TYPE), expected);
    rig.ClickOn(IDC_WRITE_SETTINGS);
    QCOMPARE(QString::fromLatin1(rig.device.StoredImage().Curve(0).Name().c_str()), expected);
  }

  // "Phono gain" has descenders; they stay inside the label.
  void gainLabelHoldsItsText() {
    PanelRig rig;
    rig.Open();
    QWidget* label = rig.panel->Control(IDC_GAIN_LABEL);
    QVERIFY(QFontMetrics(label->font()).height() <= label->height());
  }

  // The folder goes, comes back, and then the device appears in it.
  void deviceWatchSurvivesTheFolder() {
#ifdef _WIN32
    QSKIP("Windows tells of devices through WM_DEVICECHANGE, not a folder");
#endif
    const QByteArray before = qgetenv("VELMOR_DEVICE_DIR");
    const QString folder = m_folder.filePath(QStringLiteral("session/velmor"));
    QVERIFY(QDir().mkpath(folder));
    qputenv("VELMOR_DEVICE_DIR", folder.toLocal8Bit());
    {
      PanelRig rig;
      rig.Open();
      QVERIFY(rig.Get<QWidget>(IDC_WRITE_SETTINGS)->isEnabled());
      rig.device.Unplug();
      QVERIFY(QDir(m_folder.filePath(QStringLiteral("session"))).removeRecursively());
      QTRY_VERIFY(!rig.Get<QWidget>(IDC_WRITE_SETTINGS)->isEnabled());
      QVERIFY(QDir().mkpath(folder));
      rig.device.Plug();
      QFile object(folder + QStringLiteral("/VELMORUSBDevice0"));
      QVERIFY(object.open(QIODevice::WriteOnly));
      object.close();
      QTRY_VERIFY(rig.Get<QWidget>(IDC_WRITE_SETTINGS)->isEnabled());
    }
    qputenv("VELMOR_DEVICE_DIR", before);
  }
};

QTEST_MAIN(PanelInputTest)
#include "panel_input_test.moc"
