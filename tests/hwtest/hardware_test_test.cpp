// The "Hardware test" window on its own: layout, picture, pointer readout, closing.

#include "hwtest/hardware_test.h"

#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <set>

#include "eq/picture_control.h"
#include "panel/dialog_units.h"
#include "tests/eq/label_finder.h"

namespace {

bool IsGridGrey(QRgb pixel) {
  return pixel == qRgb(192, 192, 192) || pixel == qRgb(128, 128, 128);
}

// Sends a pointer move to the dialog at the given pixel of its plot picture.
void MovePointerTo(CHardwareTest& dialog, QPoint picturePixel) {
  const QPoint local = dialog.PlotControl()->geometry().topLeft() + QPoint(1, 1) + picturePixel;
  QMouseEvent move(QEvent::MouseMove, QPointF(local), QPointF(dialog.mapToGlobal(local)),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&dialog, &move);
}

}  // namespace

class HardwareTestWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void controlsSitWhereTheLayoutPutsThem() {
    CHardwareTest dialog;
    const DialogUnits units(DialogUnits::DialogFont());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Hardware test"));
    QCOMPARE(dialog.size(), QSize(units.X(446), units.Y(336)));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QCOMPARE(dialog.PlotControl()->geometry(), units.ToPixels(0, 48, 446, 288));
    QCOMPARE(dialog.ShortButton()->geometry(), units.ToPixels(7, 7, 71, 14));
    QCOMPARE(dialog.ShortButton()->text(), QStringLiteral("SHORT - Motor off"));
    QCOMPARE(dialog.PlotControl()->Picture().size(), dialog.PlotControl()->ClientSize());
    QVERIFY(dialog.findChildren<QTimer*>().isEmpty());
  }

  void everyOpeningShowsTheSamePicture() {
    QImage first;
    {
      CHardwareTest dialog;
      first = dialog.PlotControl()->Picture().toImage();
    }
    CHardwareTest again;
    QCOMPARE(again.PlotControl()->Picture().toImage(), first);
    again.RedrawPlot();
    QCOMPARE(again.PlotControl()->Picture().toImage(), first);
  }

  void thePlotHasTheSpectrumsGrid() {
    CHardwareTest dialog;
    const QImage image = dialog.PlotControl()->Picture().toImage();
    const eq::PlotFrame frame = dialog.Plot().frame;
    QCOMPARE(frame.plotRight, image.width() - 10);
    QCOMPARE(frame.plotBottom, image.height() - 15);
    const double pixelsPerDb = (frame.plotBottom - frame.plotTop) / 110.0;
    std::set<int> expectedRows;
    for (int db = -96; db <= 9; db += 3)
      expectedRows.insert(int(frame.plotTop + (10 - db) * pixelsPerDb));
    QCOMPARE(expectedRows.size(), std::size_t{36});
    std::set<int> rows;
    for (int y = frame.plotTop; y < frame.plotBottom; ++y) {
      int grey = 0;
      for (int x = frame.plotLeft + 1; x < frame.plotRight; ++x)
        grey += IsGridGrey(image.pixel(x, y));
      if (grey > (frame.plotRight - frame.plotLeft) / 4) rows.insert(y);
    }
    QCOMPARE(rows, expectedRows);
    const int zero = int(frame.plotTop + 10 * pixelsPerDb);
    QCOMPARE(image.pixel(frame.plotLeft + 3, zero), qRgb(128, 128, 128));

    std::set<int> columns;
    for (int x = frame.plotLeft + 1; x < frame.plotRight; ++x) {
      int grey = 0;
      for (int y = frame.plotTop; y < frame.plotBottom; ++y) grey += IsGridGrey(image.pixel(x, y));
      if (grey > (frame.plotBottom - frame.plotTop) / 4) columns.insert(x);
    }
    QCOMPARE(columns.size(), std::size_t{25});

    // The highest point is the tone's peak.
    std::size_t top = 0;
    for (std::size_t i = 0; i < 2048; ++i) {
      if (dialog.Plot().points[i].y < dialog.Plot().points[top].y) top = i;
    }
    QCOMPARE(dialog.Spectrum().BinIndex()[top], 85);
  }

  // The fixed 110 dB scale sets its "9" label where "dB" stands on the response plot.
  void unitsAndLabelsAreWhole() {
    CHardwareTest dialog;
    const QImage image = dialog.PlotControl()->Picture().toImage();
    const auto unit = FindLabel(image, QStringLiteral("dB"), QRect(0, 0, 60, 4));
    QVERIFY(unit);
    const QRect unitBox(*unit, LabelAlone(QStringLiteral("dB")).size());
    const eq::PlotFrame frame = dialog.Plot().frame;
    const auto nine = FindLabel(image, QStringLiteral("  9"), QRect(0, 0, frame.plotLeft, 30));
    QVERIFY(nine);
    QVERIFY(!unitBox.intersects(QRect(*nine, LabelAlone(QStringLiteral("  9")).size())));

    // The axis ends at 24 kHz, so "20k" stands where "Hz" does on the response plot.
    const QRect corner(frame.plotRight - 60, frame.plotBottom - 20, 70, image.height());
    QVERIFY(FindLabel(image, QStringLiteral("20k"), corner));
    QVERIFY(FindLabel(image, QStringLiteral("Hz"), corner));
  }

  void theReadoutFollowsThePointerOverAll2048Points() {
    CHardwareTest dialog;
    const QImage plain = dialog.PlotControl()->Picture().toImage();
    const auto& points = dialog.Plot().points;
    // A column whose first point shows the peak bin.
    std::size_t peak = 1;
    while (!(dialog.Spectrum().BinIndex()[peak] == 85 && points[peak - 1].x != points[peak].x)) {
      ++peak;
    }
    QCOMPARE(qRound(dialog.Spectrum().PointLevel(peak) * 100), -165);
    MovePointerTo(dialog, QPoint(points[peak].x, dialog.Plot().frame.plotTop + 20));
    QCOMPARE(dialog.Plot().cursorIndex, int(peak));
    const QImage marked = dialog.PlotControl()->Picture().toImage();
    QVERIFY(marked != plain);
    QCOMPARE(marked.pixel(points[peak].x, points[peak].y), qRgb(0, 0, 255));

    // Points beyond the first 1024 are reached too.
    MovePointerTo(dialog, QPoint(points[2000].x, dialog.Plot().frame.plotTop + 20));
    QVERIFY(dialog.Plot().cursorIndex > 1900);

    // Off the plot the marker goes; back on, it returns on the column under the pointer.
    MovePointerTo(dialog, QPoint(dialog.Plot().frame.plotLeft - 5, 30));
    QCOMPARE(dialog.Plot().cursorIndex, -1);
    QCOMPARE(dialog.PlotControl()->Picture().toImage(), plain);
    MovePointerTo(dialog, QPoint(points[peak].x, dialog.Plot().frame.plotBottom));
    QCOMPARE(dialog.Plot().cursorIndex, int(peak));
    QCOMPARE(dialog.PlotControl()->Picture().toImage(), marked);

    // The readout runs whether or not the plot is enabled.
    dialog.PlotControl()->setEnabled(false);
    MovePointerTo(dialog, QPoint(dialog.Plot().frame.plotRight + 3, 30));
    QCOMPARE(dialog.Plot().cursorIndex, -1);
  }

  void theButtonDoesNothingAndEscapeCloses() {
    QWidget owner;
    CHardwareTest dialog(&owner);
    const QImage picture = dialog.PlotControl()->Picture().toImage();
    QTimer::singleShot(0, &dialog, [&dialog] {
      QTest::mouseClick(dialog.ShortButton(), Qt::LeftButton);
      QVERIFY(dialog.isVisible());
      QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QCOMPARE(dialog.PlotControl()->Picture().toImage(), picture);
    QVERIFY(owner.isEnabled());
  }
};

QTEST_MAIN(HardwareTestWindowTest)
#include "hardware_test_test.moc"
