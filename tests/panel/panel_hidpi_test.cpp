// The panel on a screen of twice the pixel density: the plots are painted at that density and
// keep their geometry in logical pixels.

#include <QApplication>
#include <QTest>

#include "eq/picture_control.h"
#include "hwtest/hardware_test.h"
#include "tests/panel/panel_rig.h"
#include "tests/panel/panel_test_main.h"

class PanelHiDpiTest : public QObject {
  Q_OBJECT
  QTemporaryDir m_folder;

  static void CheckPicture(const eq::PictureControl& control) {
    const QPixmap& picture = control.Picture();
    QCOMPARE(picture.devicePixelRatio(), 2.0);
    QCOMPARE(picture.size(), control.ClientSize() * 2);
  }

 private slots:
  void initTestCase() {
    PreparePanelTests(m_folder);
    QCOMPARE(qApp->devicePixelRatio(), 2.0);
  }

  void responsePlot() {
    PanelRig rig;
    rig.Open();
    auto* plot = rig.Get<eq::PictureControl>(IDC_PLOT);
    const QImage before = plot->Picture().toImage();
    // The readout follows the pointer in logical pixels.
    QTest::mouseMove(rig.panel.get(), plot->geometry().center());
    QTRY_VERIFY(plot->Picture().toImage() != before);
    CheckPicture(*plot);
  }

  void spectrumPlot() {
    CHardwareTest test;
    CheckPicture(*test.PlotControl());
    QCOMPARE(test.Plot().frame.plotRight, test.PlotControl()->ClientSize().width() - 10);
  }
};

int main(int argc, char** argv) {
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  PanelHiDpiTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "panel_hidpi_test.moc"
