// The settings controls, the three settings buttons and the round trip of a whole image.

#include <QDateEdit>
#include <QGuiApplication>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QTest>

#include "panel/control_ids.h"
#include "tests/panel/panel_rig.h"
#include "tests/panel/panel_test_main.h"

class PanelSettingsTest : public QObject {
  Q_OBJECT
  QTemporaryDir m_folder;

 private slots:
  void initTestCase() { PreparePanelTests(m_folder); }

  void gainLabelAndSlider() {
    PanelRig rig;
    rig.Open();
    QCOMPARE(rig.Text(IDC_GAIN_LABEL), QStringLiteral("Phono gain  0.0dB"));
    auto* gain = rig.Get<QScrollBar>(IDC_GAIN);
    gain->setSliderPosition(115);
    rig.ClearFrames();
    rig.Scroll(IDC_GAIN, QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(gain->value(), 120);
    QCOMPARE(rig.Text(IDC_GAIN_LABEL), QStringLiteral("Phono gain 12.0dB"));
    QCOMPARE(rig.Frames(CMD_SET_GAIN).back().Value(), std::uint16_t{120});
    rig.Scroll(IDC_GAIN, QAbstractSlider::SliderToMinimum);
    QCOMPARE(rig.Frames(CMD_SET_GAIN).back().Value(), std::uint16_t{0xFF88});
  }

  void outputRateAndPolaritySentAtOnce() {
    PanelRig rig;
    rig.Open();
    rig.ClearFrames();
    rig.Choose(IDC_OUTPUT_RATE, 2);
    QCOMPARE(rig.Frames(CMD_SET_OUTPUT_RATE).size(), std::size_t{1});
    QCOMPARE(rig.Frames(CMD_SET_OUTPUT_RATE)[0].Value(), std::uint16_t{3});
    QCOMPARE(rig.panel->Image().OutputRate(), std::uint8_t{2});  // until the next write
    rig.Choose(IDC_POLARITY, 1);
    QCOMPARE(rig.Frames(CMD_SET_POLARITY)[0].Value(), std::uint16_t{1});
  }

  void serialAndDeliveryDate() {
    PanelRig rig;
    rig.StoreDefaultsWith([](SettingsImage& image) {
      image.SetSerialNumber(42);
      image.SetDeliveryYear(6);
      image.SetDeliveryMonth(0);
      image.SetDeliveryDay(0);
    });
    rig.Open();
    QCOMPARE(rig.Text(IDC_SERIAL), QStringLiteral("00042"));
    QCOMPARE(rig.Get<QDateEdit>(IDC_DELIVERY)->text(), QStringLiteral("Sunday, 1. January 2006"));
  }

  void dayBeyondTheMonthRunsOn() {
    PanelRig rig;
    rig.StoreDefaultsWith([](SettingsImage& image) {
      image.SetDeliveryYear(6);
      image.SetDeliveryMonth(2);
      image.SetDeliveryDay(31);
    });
    rig.Open();
    QCOMPARE(rig.Get<QDateEdit>(IDC_DELIVERY)->date(), QDate(2006, 3, 3));
    // Written back untouched, it keeps its bytes; a picked date replaces them.
    rig.Click(IDC_WRITE_SETTINGS);
    QCOMPARE(rig.device.StoredImage().DeliveryDay(), std::uint8_t{31});
    rig.Get<QDateEdit>(IDC_DELIVERY)->setDate(QDate(2007, 4, 5));
    rig.Click(IDC_WRITE_SETTINGS);
    QCOMPARE(rig.device.StoredImage().DeliveryYear(), std::uint8_t{7});
    QCOMPARE(rig.device.StoredImage().DeliveryMonth(), std::uint8_t{4});
    QCOMPARE(rig.device.StoredImage().DeliveryDay(), std::uint8_t{5});
  }

  void writeWithoutImageSendsNothing() {
    PanelRig rig;
    rig.SetFaults([](SimFaults& f) { f.imageLength = 0; });
    rig.Open();
    const SettingsImage before = rig.panel->Image();
    rig.Choose(IDC_POLARITY, 1);
    rig.ClearFrames();
    rig.panel->OnWriteSettings();
    QVERIFY(rig.Frames(CMD_WRITE_SETTINGS).empty());
    QVERIFY(rig.Frames(CMD_READ_SETTINGS).empty());
    QCOMPARE(rig.Frames(CMD_SET_EQUALIZATION).size(), std::size_t{1});
    QVERIFY(rig.panel->Image() == before);
    QCOMPARE(rig.Get<QComboBox>(IDC_POLARITY)->currentIndex(), 0);  // refilled from the image
  }

  void aFailedReadStillShowsTheImageAndSendsTheCurve() {
    PanelRig rig;
    rig.Open();
    rig.Choose(IDC_POLARITY, 1);
    rig.SetFaults([](SimFaults& f) { f.failCommands.insert(CMD_READ_SETTINGS); });
    rig.ClearFrames();
    rig.Click(IDC_READ_SETTINGS);
    QCOMPARE(rig.Frames(CMD_READ_SETTINGS).size(), std::size_t{1});
    QCOMPARE(rig.Get<QComboBox>(IDC_POLARITY)->currentIndex(), 0);  // refilled from the image
    QCOMPARE(rig.Frames(CMD_SET_GAIN).size(), std::size_t{1});
    QCOMPARE(rig.Frames(CMD_SET_EQUALIZATION).size(), std::size_t{1});
  }

  void defaultSettingsKeepTheSystemData() {
    PanelRig rig;
    rig.StoreDefaultsWith([](SettingsImage& image) {
      image.SetSerialNumber(12345);
      image.SetDeliveryYear(6);
      image.SetDeliveryMonth(3);
      image.SetDeliveryDay(7);
    });
    const auto kept = rig.device.StoredImage().GetSystemData().Encode();
    bool asked = false;
    rig.services.askInitSystemData = [&](QWidget&) { return asked = true; };
    rig.Open();
    rig.Click(IDC_DEFAULT_SETTINGS);
    QVERIFY(!asked);
    QCOMPARE(rig.Frames(CMD_RESTORE_DEFAULTS).size(), std::size_t{1});
    QCOMPARE(rig.Frames(CMD_RESTORE_DEFAULTS)[0].Data(),
             std::vector<std::uint8_t>(kept.begin(), kept.end()));
    // The device's defaults came back with it: gain +3.0 dB.
    QCOMPARE(rig.Text(IDC_GAIN_LABEL), QStringLiteral("Phono gain  3.0dB"));
    QVERIFY(!QGuiApplication::overrideCursor());
  }

  void defaultSettingsInServiceModeCanStartAfresh() {
    PanelRig rig;
    bool answer = true;
    rig.services.askInitSystemData = [&](QWidget&) { return answer; };
    rig.services.today = [] { return settings::LocalDate{2006, 3, 7}; };
    rig.Open(true);
    rig.Click(IDC_DEFAULT_SETTINGS);
    const std::vector<std::uint8_t> fresh{0, 6, 3, 7, 0x64, 0, 0, 0, 3, 0, 0, 0};
    QCOMPARE(rig.Frames(CMD_RESTORE_DEFAULTS).back().Data(), fresh);
    QCOMPARE(rig.Text(IDC_SERIAL), QStringLiteral("00100"));

    answer = false;
    rig.Click(IDC_DEFAULT_SETTINGS);
    QCOMPARE(rig.Frames(CMD_RESTORE_DEFAULTS).back().Data(), fresh);
  }

  // The question box itself, answered with Enter alone: the serial number and the delivery
  // date must survive it.
  void enterInTheSystemDataQuestionKeepsTheSystemData() {
    PanelRig rig;
    rig.StoreDefaultsWith([](SettingsImage& image) { image.SetSerialNumber(4711); });
    const auto kept = rig.device.StoredImage().GetSystemData().Encode();
    rig.services.askInitSystemData = DesktopServices().askInitSystemData;  // the real box
    rig.Open(true);
    QString question;
    QTimer::singleShot(0, [&question] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      question = box->text();
      QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Return);
    });
    rig.Click(IDC_DEFAULT_SETTINGS);
    QCOMPARE(question, QStringLiteral("Initialize system data, too?"));
    QCOMPARE(rig.Frames(CMD_RESTORE_DEFAULTS).back().Data(),
             std::vector<std::uint8_t>(kept.begin(), kept.end()));
    QCOMPARE(rig.Text(IDC_SERIAL), QStringLiteral("04711"));
  }

  void serialBeyondFiveDigitsSurvives() {
    PanelRig rig;
    rig.Open(true);
    auto* serial = rig.Get<QLineEdit>(IDC_SERIAL);
    rig.Type(serial, QStringLiteral("4000000000"));
    rig.Click(IDC_WRITE_SETTINGS);
    QCOMPARE(rig.device.StoredImage().SerialNumber(), 4000000000u);
    QCOMPARE(serial->text(), QStringLiteral("4000000000"));
  }

  // Read and write with no edit give the device its image back byte for byte.
  void readThenWriteLosesNothing() {
    QRandomGenerator random(20061);
    for (int round = 0; round < 40; ++round) {
      PanelRig rig;
      SettingsImage image;
      for (auto& b : image.Bytes()) b = static_cast<std::uint8_t>(random.bounded(256));
      image.SetDeliveryMonth(static_cast<std::uint8_t>(random.bounded(16)));
      image.SetDeliveryDay(static_cast<std::uint8_t>(random.bounded(40)));
      image.SetSerialNumber(random.generate());
      for (auto s :
           {SettingsImage::Speed::k33, SettingsImage::Speed::k45, SettingsImage::Speed::k78}) {
        image.SetAbsoluteCorrection(s, static_cast<std::int16_t>(random.bounded(-500, 501)));
        image.SetRelativeCorrection(s, static_cast<std::int16_t>(random.bounded(-500, 501)));
      }
      image.SetOutputRate(static_cast<std::uint8_t>(random.bounded(1, 4)));
      image.SetPhonoGain(static_cast<std::int8_t>(random.bounded(-120, 121)));
      image.SetMotorVoltage(static_cast<std::uint16_t>(random.bounded(60, 241)));
      image.SetRampSpeed(static_cast<unsigned>(random.bounded(8)));
      rig.Store(image);
      rig.Open(round % 2 == 0);
      rig.Click(IDC_READ_SETTINGS);
      rig.Click(IDC_WRITE_SETTINGS);
      QVERIFY2(rig.Frames(CMD_WRITE_SETTINGS).size() == 11, "ten chunks and a commit");
      for (std::size_t i = 0; i < 238; ++i) {
        QVERIFY2(rig.device.StoredImage().Bytes()[i] == image.Bytes()[i],
                 qPrintable(QStringLiteral("round %1, byte %2").arg(round).arg(i)));
      }
    }
  }
};

QTEST_MAIN(PanelSettingsTest)
#include "panel_settings_test.moc"
