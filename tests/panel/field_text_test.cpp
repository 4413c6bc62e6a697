// Texts and numbers of the panel's fields, the common slider rule and the start-up modes.

#include <QTest>

#include "app/command_line.h"
#include "panel/field_text.h"
#include "panel/slider_rule.h"
#include "settings/settings_fields.h"

class FieldTextTest : public QObject {
  Q_OBJECT

 private slots:
  void gainTakesFourPlaces() {
    QCOMPARE(panel::GainText(0), QStringLiteral("Phono gain  0.0dB"));
    QCOMPARE(panel::GainText(-35), QStringLiteral("Phono gain -3.5dB"));
    QCOMPARE(panel::GainText(-120), QStringLiteral("Phono gain -12.0dB"));
    QCOMPARE(panel::GainText(120), QStringLiteral("Phono gain 12.0dB"));
  }

  void serialNumbers() {
    QCOMPARE(panel::SerialText(42), QStringLiteral("00042"));
    QCOMPARE(panel::SerialText(4000000000u), QStringLiteral("4000000000"));
    QCOMPARE(panel::ParseSerialNumber(QStringLiteral("  +00042")), 42u);
    QCOMPARE(panel::ParseSerialNumber(QStringLiteral("4294967295")), 4294967295u);
    QCOMPARE(panel::ParseSerialNumber(QStringLiteral("9999999999")), 4294967295u);
    QCOMPARE(panel::ParseSerialNumber(QStringLiteral("-5")), 0u);
    QCOMPARE(panel::ParseSerialNumber(QStringLiteral("abc")), 0u);
    QCOMPARE(panel::ParseSerialNumber(QStringLiteral("12x3")), 12u);
  }

  void voltageTexts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<unsigned>("voltage");
    QTest::newRow("typed") << "13.3" << 133u;
    QTest::newRow("list entry") << "12.0 Volt" << 120u;
    QTest::newRow("whole number") << "12" << 120u;
    QTest::newRow("above") << "30" << 240u;
    QTest::newRow("empty") << "" << 60u;
    QTest::newRow("no digits") << "Volt" << 60u;
    QTest::newRow("negative") << "-13" << 60u;
    QTest::newRow("blanks first") << "  15.5 Volt" << 155u;
    QTest::newRow("fraction cut") << "12.99" << 129u;
    QTest::newRow("huge") << "99999999999999999999" << 240u;
  }
  void voltageTexts() {
    QFETCH(QString, text);
    QFETCH(unsigned, voltage);
    QCOMPARE(panel::ParseVoltageText(text), voltage);
  }

  void everyVoltageSurvivesItsOwnText() {
    const auto& voltage = settings::kMotorVoltageField;
    for (auto v = static_cast<unsigned>(voltage.min); v <= voltage.max; ++v) {
      QCOMPARE(panel::ParseVoltageText(panel::VoltageText(v)), v);
    }
    QCOMPARE(panel::VoltageText(300), QStringLiteral("24.0 Volt"));
    QCOMPARE(panel::VoltageText(0), QStringLiteral("6.0 Volt"));
  }

  void timeConstantLabels_data() {
    QTest::addColumn<int>("t");
    QTest::addColumn<QString>("label");
    QTest::newRow("0") << 0 << "disabled";
    QTest::newRow("3180") << 3180 << "3180usec/50.0Hz";
    QTest::newRow("318") << 318 << "318usec/500.5Hz";
    QTest::newRow("75") << 75 << "75usec/2122.1Hz";
    QTest::newRow("7950") << 7950 << "7950usec/20.0Hz";
    QTest::newRow("398") << 398 << "398usec/399.9Hz";
    QTest::newRow("64") << 64 << "64usec/2486.8Hz";
    QTest::newRow("57") << 57 << "57usec/2792.2Hz";
    QTest::newRow("16383") << 16383 << "16383usec/9.7Hz";
    QTest::newRow("20000") << 20000 << "20000usec/8.0Hz";
  }
  void timeConstantLabels() {
    QFETCH(int, t);
    QFETCH(QString, label);
    QCOMPARE(panel::TimeConstantText(static_cast<std::uint16_t>(t)), label);
  }

  void speedCaption() {
    QCOMPARE(panel::SpeedCaption(45, -12, 5), QStringLiteral("45:abs -1.2%/rel 0.5%"));
  }

  void sliderRule_data() {
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    using A = QAbstractSlider;
    QTest::newRow("page right stops at the highest position")
        << int(A::SliderPageStepAdd) << 115 << 120;
    QTest::newRow("page right at the end") << int(A::SliderPageStepAdd) << 120 << 120;
    QTest::newRow("page left stops at the minimum") << int(A::SliderPageStepSub) << -115 << -120;
    QTest::newRow("line right at the end") << int(A::SliderSingleStepAdd) << 120 << 120;
    QTest::newRow("line left") << int(A::SliderSingleStepSub) << 0 << -1;
    QTest::newRow("right end") << int(A::SliderToMaximum) << 0 << 120;
    QTest::newRow("left end") << int(A::SliderToMinimum) << 0 << -120;
    QTest::newRow("thumb") << int(A::SliderMove) << 0 << 77;
    QTest::newRow("end of scrolling") << int(A::SliderNoAction) << 33 << 33;
  }
  void sliderRule() {
    QFETCH(int, action);
    QFETCH(int, from);
    QFETCH(int, to);
    const panel::SliderRange gain{-120, 129, 10};
    QCOMPARE(
        panel::ApplySliderRule(static_cast<QAbstractSlider::SliderAction>(action), gain, from, 77),
        to);
  }

  void modes_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("service");
    QTest::addColumn<bool>("advanced");
    QTest::newRow("none") << QStringList{} << false << false;
    QTest::newRow("service") << QStringList{"-service"} << true << false;
    QTest::newRow("advanced") << QStringList{"-advanced"} << false << true;
    QTest::newRow("both") << QStringList{"-service", "-advanced"} << false << false;
    QTest::newRow("both reversed") << QStringList{"-advanced", "-service"} << false << false;
    QTest::newRow("capitals") << QStringList{"-SERVICE"} << false << false;
    QTest::newRow("slash") << QStringList{"/service"} << false << false;
    QTest::newRow("trailing blank") << QStringList{"-service "} << false << false;
    QTest::newRow("more letters") << QStringList{"-servicex"} << false << false;
    QTest::newRow("empty argument") << QStringList{""} << false << false;
  }
  void modes() {
    QFETCH(QStringList, args);
    QFETCH(bool, service);
    QFETCH(bool, advanced);
    std::vector<QByteArray> bytes{"/opt/velmor tool/velmor-panel"};
    for (const QString& a : args) bytes.push_back(a.toUtf8());
    std::vector<const char*> argv;
    for (const QByteArray& b : bytes) argv.push_back(b.constData());
    const app::Modes modes =
        app::ModesFromTail(app::CommandLineTail(static_cast<int>(argv.size()), argv.data()));
    QCOMPARE(modes.service, service);
    QCOMPARE(modes.advanced, advanced);
  }
};

QTEST_APPLESS_MAIN(FieldTextTest)
#include "field_text_test.moc"
