// The response plot, checked pixel by pixel where it matters.

#include <QFontMetrics>
#include <QImage>
#include <QPixmap>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "eq/plot_painter.h"
#include "eq/response_curve.h"
#include "tests/eq/label_finder.h"

namespace {

constexpr int kWidth = 560;
constexpr int kHeight = 281;
const QRgb kSentinel = qRgb(255, 0, 255);

QImage Blank(int width = kWidth, int height = kHeight) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(kSentinel);
  return image;
}

bool IsWhite(QRgb pixel) {
  return (pixel & 0xFFFFFF) == 0xFFFFFF;
}
bool IsDark(QRgb pixel) {
  return qGray(pixel) < 80;
}
bool IsGridGrey(QRgb pixel) {
  return pixel == qRgb(192, 192, 192) || pixel == qRgb(128, 128, 128);
}

// Rows inside the plot area that are mostly drawn on: the horizontal grid lines.
std::set<int> LineRows(const QImage& image, const eq::PlotFrame& frame) {
  std::set<int> rows;
  for (int y = frame.plotTop; y < frame.plotBottom; ++y) {
    int drawn = 0;
    for (int x = frame.plotLeft + 1; x <= frame.plotRight; ++x)
      drawn += IsGridGrey(image.pixel(x, y));
    if (drawn >= (frame.plotRight - frame.plotLeft) / 4) rows.insert(y);
  }
  return rows;
}

// Columns inside the plot area that are mostly drawn on: the vertical grid lines.
std::set<int> LineColumns(const QImage& image, const eq::PlotFrame& frame) {
  std::set<int> columns;
  for (int x = frame.plotLeft + 1; x <= frame.plotRight; ++x) {
    int drawn = 0;
    for (int y = frame.plotTop; y < frame.plotBottom; ++y) drawn += IsGridGrey(image.pixel(x, y));
    if (drawn >= (frame.plotBottom - frame.plotTop) / 4) columns.insert(x);
  }
  return columns;
}

// Where the dB lines belong, worked out from the picture's geometry.
std::set<int> ExpectedRows(int lowDb, int highDb, const eq::PlotFrame& frame) {
  const double pixelsPerDb = (frame.plotBottom - frame.plotTop) / double(highDb - lowDb);
  std::set<int> rows;
  for (int db = lowDb + 3; db < highDb; ++db) {
    if (db % 3 == 0) rows.insert(int(frame.plotTop + (highDb - db) * pixelsPerDb));
  }
  return rows;
}

int ZeroDbRow(int highDb, int lowDb, const eq::PlotFrame& frame) {
  return int(frame.plotTop + highDb * (frame.plotBottom - frame.plotTop) / double(highDb - lowDb));
}

// Dark pixels of the readout's band beside the marker at `point`: left of it and right of it.
std::pair<int, int> ReadoutInk(const QImage& image, eq::PlotPoint point, int* rightmost) {
  int left = 0, right = 0;
  *rightmost = -1;
  for (int y = std::max(0, point.y - 8); y < std::min(image.height(), point.y + 12); ++y) {
    for (int x = 22; x < image.width(); ++x) {
      if (!IsDark(image.pixel(x, y)) || std::abs(x - point.x) <= 6) continue;
      (x < point.x ? left : right)++;
      *rightmost = std::max(*rightmost, x);
    }
  }
  return {left, right};
}

eq::ResponseCurve Riaa() {
  eq::ResponseCurve curve;
  curve.SetTimeConstants(3180, 318, 75, 7950);
  return curve;
}

}  // namespace

class PlotPainterTest : public QObject {
  Q_OBJECT

 private slots:
  void nothingIsDrawnWithoutATargetOfTwoByTwo() {
    eq::ResponseCurve curve = Riaa();
    eq::Paint(nullptr, curve, false);
    QPixmap none;
    eq::Paint(&none, curve, false);
    for (const QSize size : {QSize(1, 1), QSize(1, 50), QSize(50, 1)}) {
      QImage image = Blank(size.width(), size.height());
      eq::Paint(&image, curve, true);
      QCOMPARE(image, Blank(size.width(), size.height()));
    }
    QCOMPARE(curve.plot.frame.plotRight, 0);
    QCOMPARE(curve.plot.points[1023].x, 0);
  }

  void tinyTargetsPaintWithoutFault() {
    eq::ResponseCurve curve = Riaa();
    curve.plot.cursorIndex = 512;
    for (int size = 2; size < 40; ++size) {
      QImage image = Blank(size, size);
      eq::Paint(&image, curve, size % 2 == 0);
      for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) QVERIFY(image.pixel(x, y) != kSentinel);
      QCOMPARE(curve.plot.frame.plotRight, size - 10);
    }
  }

  void axesAreGreyAndUnitsAreNamed() {
    eq::ResponseCurve curve = Riaa();
    QImage image = Blank();
    eq::Paint(&image, curve, false);
    const eq::PlotFrame frame = curve.plot.frame;
    QCOMPARE(frame.plotLeft, 21);
    QCOMPARE(frame.plotTop, 10);
    QCOMPARE(frame.plotRight, kWidth - 10);
    QCOMPARE(frame.plotBottom, kHeight - 15);
    // The opaque "dB" label, 12 rows high, covers the axis' top; the dotted dB lines and the
    // curve start on the axis below it.
    constexpr int kLabelRows = 12;
    for (int y = kLabelRows; y < frame.plotBottom; ++y) {
      const QRgb pixel = image.pixel(frame.plotLeft, y);
      QVERIFY2(IsGridGrey(pixel) || pixel == qRgb(128, 128, 255), qPrintable(QString::number(y)));
    }
    // "Hz" sits on rows H - 13 .. H - 2, below the axis, which runs grey to its end.
    for (int x = frame.plotLeft; x < frame.plotRight; ++x) {
      const QRgb pixel = image.pixel(x, frame.plotBottom);  // ticks of labelled lines are black
      QVERIFY2(IsGridGrey(pixel) || IsDark(pixel), qPrintable(QString::number(x)));
    }
    // "dB" top left, "Hz" bottom right: ink in both corners, none in the sentinel colour anywhere.
    auto inked = [&](QRect box) {
      for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
          if (IsDark(image.pixel(x, y))) return true;
      return false;
    };
    // Where the system's font makes "20k" wide enough to meet "Hz" (Windows), the unit stands
    // just above the axis' end instead.
    const bool hzBelow = inked(QRect(kWidth - 14, kHeight - kLabelRows - 1, 14, kLabelRows));
    const bool hzAbove =
        inked(QRect(kWidth - 14, frame.plotBottom - 2 - kLabelRows, 14, kLabelRows));
    QVERIFY(hzBelow || hzAbove);
    QVERIFY(!inked(QRect(kWidth - 30, kHeight - 1, 30, 1)));
    QVERIFY(inked(QRect(6, 0, 15, 10)));
    QVERIFY(!inked(QRect(0, kHeight - 12, 5, 12)));
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) QVERIFY(image.pixel(x, y) != kSentinel);
  }

  // At device pixel ratio 2 the same plot, in the same logical pixels, on twice the raster.
  void paintsAtTheDevicePixelRatio() {
    eq::ResponseCurve plain = Riaa();
    QImage single = Blank();
    eq::Paint(&single, plain, false);
    eq::ResponseCurve fine = Riaa();
    QImage twice = Blank(kWidth * 2, kHeight * 2);
    twice.setDevicePixelRatio(2);
    eq::Paint(&twice, fine, false);
    QCOMPARE(fine.plot.frame.plotRight, plain.plot.frame.plotRight);
    QCOMPARE(fine.plot.frame.plotBottom, plain.plot.frame.plotBottom);
    for (std::size_t i = 0; i < 1024; i += 97) {
      QCOMPARE(fine.plot.points[i].x, plain.plot.points[i].x);
      QCOMPARE(fine.plot.points[i].y, plain.plot.points[i].y);
    }
    // The vertical axis covers both physical columns of its logical one, and nothing is left
    // unpainted.
    const int axis = plain.plot.frame.plotLeft;
    for (int y = 2 * 40; y < 2 * 60; ++y) {
      QVERIFY(IsGridGrey(twice.pixel(2 * axis, y)) || IsGridGrey(twice.pixel(2 * axis + 1, y)));
    }
    for (int y = 0; y < twice.height(); y += 3)
      for (int x = 0; x < twice.width(); x += 3) QVERIFY(twice.pixel(x, y) != kSentinel);
  }

  void dbLinesFollowTheRange_data() {
    QTest::addColumn<QList<int>>("timeConstants");
    QTest::addColumn<bool>("autoscale");
    QTest::addColumn<int>("lowDb");
    QTest::addColumn<int>("highDb");
    QTest::newRow("fixed") << QList<int>{3180, 318, 75, 7950} << false << -24 << 24;
    QTest::newRow("fixed, curve far below") << QList<int>{0, 0, 0, 0} << false << -24 << 24;
    QTest::newRow("riaa autoscaled") << QList<int>{3180, 318, 75, 7950} << true << -26 << 20;
    QTest::newRow("all disabled autoscaled") << QList<int>{0, 0, 0, 0} << true << -72 << 2;
  }

  void dbLinesFollowTheRange() {
    QFETCH(QList<int>, timeConstants);
    QFETCH(bool, autoscale);
    QFETCH(int, lowDb);
    QFETCH(int, highDb);
    eq::ResponseCurve curve;
    curve.SetTimeConstants(timeConstants[0], timeConstants[1], timeConstants[2], timeConstants[3]);
    QImage image = Blank();
    eq::Paint(&image, curve, autoscale);
    const eq::PlotFrame frame = curve.plot.frame;
    const std::set<int> expected = ExpectedRows(lowDb, highDb, frame);
    QCOMPARE(LineRows(image, frame), expected);
    // Every line has its tick and a label ending left of it.
    for (const int y : expected) {
      QVERIFY(IsDark(image.pixel(frame.plotLeft - 2, y)));
      bool labelled = false;
      for (int x = 0; x < frame.plotLeft - 2; ++x) labelled |= IsDark(image.pixel(x, y));
      QVERIFY2(labelled, qPrintable(QString::number(y)));
    }
    // 0 dB, when shown, is solid grey: no gap, and grey where nothing crosses it.
    const int zero = ZeroDbRow(highDb, lowDb, frame);
    if (lowDb < 0 && highDb > 0) {
      int grey = 0;
      for (int x = frame.plotLeft; x < frame.plotRight; ++x) {
        QVERIFY(!IsWhite(image.pixel(x, zero)));
        grey += image.pixel(x, zero) == qRgb(128, 128, 128);
      }
      QVERIFY(grey > (frame.plotRight - frame.plotLeft) * 8 / 10);
      QVERIFY(image.pixel(frame.plotLeft + 1, *std::next(expected.begin())) != qRgb(128, 128, 128));
    }
  }

  void aFlatCurveIsScaledWithoutFault() {
    for (const double level : {-40.0, 0.0, 12.5}) {
      const std::vector<double> frequencies{10, 100, 1000, 10000};
      const std::vector<double> levels(4, level);
      eq::PlotState<4> state;
      eq::PlotSeries series;
      series.frequencies = frequencies;
      series.levels = levels;
      series.grid = eq::ResponseGrid();
      QImage image = Blank();
      eq::PaintPlot(&image, series, state, true);
      const eq::DbRange range = eq::ChooseDbRange(series, true);
      QCOMPARE(LineRows(image, state.frame), ExpectedRows(range.lowDb, range.highDb, state.frame));
      for (const auto& point : state.points) {
        QVERIFY(point.y >= state.frame.plotTop && point.y <= state.frame.plotBottom);
      }
    }
  }

  void eachGridFrequencyHasOneLine() {
    eq::ResponseCurve curve = Riaa();
    QImage image = Blank();
    eq::Paint(&image, curve, false);
    const eq::PlotFrame frame = curve.plot.frame;
    std::set<int> expected;
    std::set<int> labelled;
    for (const eq::GridMark& mark : eq::ResponseGrid()) {
      std::size_t i = 0;
      while (curve.Frequencies()[i] <= mark.hz) ++i;
      QVERIFY(i < 1023);
      const int x = int(i * (frame.plotRight - frame.plotLeft) / 1024.0 + frame.plotLeft);
      QCOMPARE(curve.plot.points[i].x, x);
      expected.insert(x);
      if (mark.label != nullptr) labelled.insert(x);
    }
    QCOMPARE(expected.size(), std::size_t{24});
    QCOMPARE(LineColumns(image, frame), expected);
    // A tick below each labelled line only; labels start two pixels below the axis.
    for (const int x : expected) {
      QCOMPARE(IsDark(image.pixel(x, frame.plotBottom + 1)), labelled.count(x) == 1);
    }
    QCOMPARE(labelled.size(), std::size_t{8});
  }

  void theCurveRunsThroughItsPoints() {
    eq::ResponseCurve curve = Riaa();
    QImage image = Blank();
    eq::Paint(&image, curve, false);
    const QRgb curveColour = qRgb(128, 128, 255);
    for (std::size_t i = 0; i < 1024; i += 37) {
      const eq::PlotPoint point = curve.plot.points[i];
      QCOMPARE(image.pixel(point.x, point.y), curveColour);
    }
    // 0 dB at the middle of -24..+24; the level at 1 kHz is just above it.
    const int zero = ZeroDbRow(24, -24, curve.plot.frame);
    std::size_t k = 0;
    while (curve.Frequencies()[k] < 1000) ++k;
    QVERIFY(curve.plot.points[k].y <= zero && curve.plot.points[k].y >= zero - 1);
  }

  void theReadoutFlipsBeforeItPassesTheRightEdge() {
    // Flat at 0 dB, so the readout stays clear of the axis labels.
    eq::ResponseCurve curve;
    curve.SetTimeConstants(100, 100, 1, 65535);
    QImage image = Blank();
    curve.plot.cursorIndex = 300;
    eq::Paint(&image, curve, false);
    int rightmost = 0;
    auto [left, right] = ReadoutInk(image, curve.plot.points[300], &rightmost);
    QVERIFY(right > 100);
    QCOMPARE(left, 0);
    QCOMPARE(image.pixel(curve.plot.points[300].x, curve.plot.points[300].y), qRgb(0, 0, 255));

    bool flipped = false;
    for (int c = 800; c < 1024; c += 4) {
      curve.plot.cursorIndex = c;
      eq::Paint(&image, curve, false);
      std::tie(left, right) = ReadoutInk(image, curve.plot.points[std::size_t(c)], &rightmost);
      QVERIFY2(rightmost <= curve.plot.frame.plotRight, qPrintable(QString::number(c)));
      QVERIFY((left > 100) != (right > 100));
      if (left > 100) flipped = true;
      if (flipped) QVERIFY2(left > 100, "once flipped, it stays flipped further right");
    }
    QVERIFY(flipped);
  }

  // Shellac 78 B rises past +24 dB at the treble end and falls below -24 dB in the bass.
  void aCurveBeyondTheScaleStaysInsideThePlotArea() {
    eq::ResponseCurve curve;
    curve.SetTimeConstants(0, 450, 100, 0);
    const auto [low, high] = std::minmax_element(curve.Levels().begin(), curve.Levels().end());
    QVERIFY(*high > 24.0 || *low < -24.0);
    QImage image = Blank();
    eq::Paint(&image, curve, false);
    const eq::PlotFrame frame = curve.plot.frame;
    const QRect area(QPoint(frame.plotLeft - 1, frame.plotTop - 1),
                     QPoint(frame.plotRight + 1, frame.plotBottom + 1));
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QRgb pixel = image.pixel(x, y);
        const bool curveInk = qBlue(pixel) > qRed(pixel) + 40;
        QVERIFY2(!curveInk || area.contains(x, y),
                 qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
      }
    }
    QVERIFY(FindLabel(image, QStringLiteral("dB"), QRect(0, 0, 40, 4)));
    QVERIFY(
        FindLabel(image, QStringLiteral("20k"),
                  QRect(frame.plotLeft, frame.plotBottom, frame.plotRight - frame.plotLeft, 4)));
  }

  void pointerColumnsWithoutAPointChangeNothing() {
    eq::ResponseCurve curve = Riaa();
    QImage image = Blank();
    eq::Paint(&image, curve, false);
    const int y = curve.plot.frame.plotTop + 5;
    const auto& points = curve.plot.points;
    int first = 1023;
    while (points[std::size_t(first) - 1].x == points[1023].x) --first;
    QVERIFY(eq::MovePointer(curve.plot, points[1023].x, y));
    QCOMPARE(curve.plot.cursorIndex, first);
    QVERIFY(points[1023].x < curve.plot.frame.plotRight);
    QVERIFY(!eq::MovePointer(curve.plot, curve.plot.frame.plotRight, y));
    QCOMPARE(curve.plot.cursorIndex, first);

    // Wider than the points: some columns between two points hold none.
    QImage wide = Blank(1300, 200);
    eq::Paint(&wide, curve, false);
    int empty = 0;
    for (int x = 21; x <= curve.plot.frame.plotRight; ++x) {
      if (!eq::MovePointer(curve.plot, x, 100)) ++empty;
    }
    QVERIFY(empty > 200);
  }
};

QTEST_MAIN(PlotPainterTest)
#include "plot_painter_test.moc"
