// The equalization controls on the simulated device.

#include <QTest>

#include "eq/picture_control.h"
#include "eq/plot_painter.h"
#include "panel/control_ids.h"
#include "panel/field_text.h"
#include "tests/panel/panel_rig.h"
#include "tests/panel/panel_test_main.h"

namespace {

constexpr int kLabels[] = {IDC_T1_LABEL, IDC_T2_LABEL, IDC_T3_LABEL, IDC_T4_LABEL};

EqualizationPayload LastEqualization(PanelRig& rig) {
  const auto frames = rig.Frames(CMD_SET_EQUALIZATION);
  if (frames.empty()) return {};
  return EqualizationPayload::Decode(frames.back().Data().data());
}

}  // namespace

class PanelEqualizationTest : public QObject {
  Q_OBJECT
  QTemporaryDir m_folder;

 private slots:
  void initTestCase() { PreparePanelTests(m_folder); }

  void presetsAtStartWithoutDevice() {
    PanelRig rig;
    rig.device.Unplug();
    rig.Open();
    auto* combo = rig.Get<QComboBox>(IDC_EQ_TYPE);
    const QStringList expected{"RIAA (IEC)",      "RIAA", "TELDEC", "AES",
                               "Columbia LP M33", "NAB",  "NARTB",  "London M33&M45"};
    QStringList names;
    for (int i = 0; i < combo->count(); ++i) names << combo->itemText(i);
    QCOMPARE(names, expected);
    QCOMPARE(combo->currentIndex(), 0);
    QCOMPARE(rig.Text(IDC_T1_LABEL), QStringLiteral("3180usec/50.0Hz"));
    QCOMPARE(rig.Text(IDC_T2_LABEL), QStringLiteral("318usec/500.5Hz"));
    QCOMPARE(rig.Text(IDC_T3_LABEL), QStringLiteral("75usec/2122.1Hz"));
    QCOMPARE(rig.Text(IDC_T4_LABEL), QStringLiteral("7950usec/20.0Hz"));
  }

  // The device lists its own curves; unplugged, the panel falls back to its defaults, and the
  // list, the labels and the plot must all show the same one of them.
  void unplugShowsOneCurveEverywhere() {
    PanelRig rig;
    rig.StoreDefaultsWith([](SettingsImage& image) {
      EqCurve plain = image.Curve(0);
      plain.SetName("RIAA");
      plain.SetT(3, 0);
      EqCurve rumble = image.Curve(0);
      rumble.SetName("RIAA + rumble");
      image.SetCurve(0, plain);
      image.SetCurve(1, rumble);
      image.SetPresetIndex(1);
    });
    rig.Open();
    auto* combo = rig.Get<QComboBox>(IDC_EQ_TYPE);
    QCOMPARE(combo->currentText(), QStringLiteral("RIAA + rumble"));
    rig.device.Unplug();
    rig.panel->OnDeviceChange();

    const EqCurve& shown = rig.panel->CurrentCurve();
    QCOMPARE(QString::fromLatin1(shown.Name()), QStringLiteral("RIAA (IEC)"));
    QCOMPARE(combo->currentText(), QStringLiteral("RIAA (IEC)"));
    for (int i = 0; i < combo->count(); ++i) {
      QCOMPARE(combo->itemText(i), QString::fromLatin1(rig.panel->Image().Curve(i).Name()));
    }
    for (int i = 0; i < 4; ++i) QCOMPARE(rig.Text(kLabels[i]), panel::TimeConstantText(shown.T(i)));

    const QPixmap& picture = rig.Get<eq::PictureControl>(IDC_PLOT)->Picture();
    QPixmap expected(picture.size());
    expected.setDevicePixelRatio(picture.devicePixelRatio());
    eq::ResponseCurve curve;
    curve.SetRange(5.0, 31000.0);
    curve.SetTimeConstants(shown.T(0), shown.T(1), shown.T(2), shown.T(3));
    eq::Paint(&expected, curve, false);
    QCOMPARE(picture.toImage(), expected.toImage());
  }

  void choosingAesShowsAndSendsIt() {
    PanelRig rig;
    rig.Open();
    rig.ClearFrames();
    rig.Choose(IDC_EQ_TYPE, 3);
    QCOMPARE(rig.Text(kLabels[0]), QStringLiteral("disabled"));
    QCOMPARE(rig.Text(kLabels[1]), QStringLiteral("398usec/399.9Hz"));
    QCOMPARE(rig.Text(kLabels[2]), QStringLiteral("64usec/2486.8Hz"));
    QCOMPARE(rig.Text(kLabels[3]), QStringLiteral("disabled"));
    const auto frames = rig.Frames(CMD_SET_EQUALIZATION);
    QCOMPARE(frames.size(), std::size_t{1});
    const std::vector<std::uint8_t> expected{0x00, 0x01, 0, 0, 0x8E, 0x01, 64, 0, 0, 0};
    QCOMPARE(frames[0].Data(), expected);
  }

  void sliderEditStaysInItsSlot() {
    PanelRig rig;
    rig.Open();
    rig.Choose(IDC_EQ_TYPE, 1);
    rig.Get<QScrollBar>(IDC_T3)->setSliderPosition(76);  // thumb dragged
    QCOMPARE(rig.panel->CurrentCurve().T(2), std::uint16_t{76});
    const EqualizationPayload sent = LastEqualization(rig);
    QCOMPARE(sent.t[2], std::uint16_t{76});
    QVERIFY(!sent.preset);
    rig.Choose(IDC_EQ_TYPE, 2);
    QCOMPARE(rig.Text(IDC_T3_LABEL), QStringLiteral("50usec/3183.1Hz"));
    rig.Choose(IDC_EQ_TYPE, 1);
    QCOMPARE(rig.Get<QScrollBar>(IDC_T3)->value(), 76);
    QCOMPARE(rig.Text(IDC_T3_LABEL), QStringLiteral("76usec/2094.1Hz"));
  }

  void rightEndIsTheHighestPosition() {
    PanelRig rig;
    rig.Open();
    rig.Scroll(IDC_T2, QAbstractSlider::SliderToMaximum);
    QCOMPARE(rig.Get<QScrollBar>(IDC_T2)->value(), 16383);
    QCOMPARE(rig.Text(IDC_T2_LABEL), QStringLiteral("16383usec/9.7Hz"));
    QCOMPARE(LastEqualization(rig).t[1], std::uint16_t{16383});
  }

  void renameInPlaceSendsNothing() {
    PanelRig rig;
    rig.Open();
    rig.Choose(IDC_EQ_TYPE, 2);
    rig.ClearFrames();
    auto* combo = rig.Get<QComboBox>(IDC_EQ_TYPE);
    rig.Type(combo->lineEdit(), QStringLiteral("My own curve with a long name"));
    QVERIFY(rig.FrameCount() == 0);
    QCOMPARE(combo->itemText(2), QStringLiteral("My own curve wi"));
    QCOMPARE(combo->itemText(1), QStringLiteral("RIAA"));
    QCOMPARE(combo->itemText(3), QStringLiteral("AES"));
    QCOMPARE(combo->count(), 8);
    QCOMPARE(QString::fromStdString(rig.panel->CurrentCurve().Name()),
             QStringLiteral("My own curve wi"));
    // The slot takes the name when another curve is chosen.
    rig.Choose(IDC_EQ_TYPE, 0);
    QCOMPARE(QString::fromStdString(rig.panel->Image().Curve(2).Name()),
             QStringLiteral("My own curve wi"));
  }

  void valueBeyondTheSliderStaysUntilMoved() {
    PanelRig rig;
    rig.StoreDefaultsWith([](SettingsImage& image) {
      EqCurve curve = image.Curve(0);
      curve.SetT(1, 20000);
      image.SetCurve(0, curve);
    });
    rig.Open();
    QCOMPARE(rig.Text(IDC_T2_LABEL), QStringLiteral("20000usec/8.0Hz"));
    QCOMPARE(rig.Get<QScrollBar>(IDC_T2)->value(), 16383);
    QCOMPARE(LastEqualization(rig).t[1], std::uint16_t{20000});
    rig.Scroll(IDC_T1, QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(rig.panel->CurrentCurve().T(1), std::uint16_t{20000});
    rig.Scroll(IDC_T2, QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(rig.panel->CurrentCurve().T(1), std::uint16_t{16382});
  }

  void plotFollowsCurvePointerAndScale() {
    PanelRig rig;
    rig.Open();
    auto* plot = rig.Get<eq::PictureControl>(IDC_PLOT);
    const QImage first = plot->Picture().toImage();
    QVERIFY(!first.isNull());
    rig.Choose(IDC_EQ_TYPE, 3);
    const QImage aes = plot->Picture().toImage();
    QVERIFY(aes != first);
    // The plot lets the pointer through to the panel, which marks the point under it.
    QTest::mouseMove(rig.panel.get(), plot->geometry().center());
    QTRY_VERIFY(plot->Picture().toImage() != aes);
    const QImage marked = plot->Picture().toImage();
    rig.Click(IDC_AUTOSCALE);
    QVERIFY(plot->Picture().toImage() != marked);
  }
};

QTEST_MAIN(PanelEqualizationTest)
#include "panel_equalization_test.moc"
