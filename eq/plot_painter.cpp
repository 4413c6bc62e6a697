#include "eq/plot_painter.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QVarLengthArray>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "eq/vector_state.h"

namespace eq {

// A font height counts the whole cell, ascent and descent: the largest pixel size whose cell
// fits is taken, so a 12 pixel label takes 12 rows, not the 14 of a 12 pixel em.
QFont BoldArial(int cellHeight) {
  QFont font(QStringLiteral("Arial"));
  font.setWeight(QFont::Bold);
  for (int pixels = cellHeight; pixels > 1; --pixels) {
    font.setPixelSize(pixels);
    if (QFontMetrics(font).height() <= cellHeight) break;
  }
  return font;
}

QFont LabelFont() {
  return BoldArial(12);
}

namespace {

constexpr int kPlotLeft = 21;  // room for the dB labels
constexpr int kPlotTop = 10;
constexpr int kRightMargin = 10;
constexpr int kBottomMargin = 15;  // room for the frequency labels
constexpr int kTickLength = 5;     // below a labelled frequency line, pixels

// The pens, brush and fonts of one paint.
struct PaintTools {
  QPen axis{QColor(128, 128, 128), 1, Qt::SolidLine, Qt::FlatCap};  // axes and the 0 dB line
  QPen tick{QColor(0, 0, 0), 1, Qt::SolidLine, Qt::FlatCap};
  QPen grid{QColor(192, 192, 192), 1, Qt::DotLine, Qt::FlatCap};
  // At 2 pixels a bevelled join looks like a round one and strokes 1024 points twice as fast.
  QPen curve{QColor(128, 128, 255), 2, Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin};
  QPen text{QColor(0, 0, 0)};
  QBrush marker{QColor(0, 0, 255)};
  QFont label = LabelFont();  // unit names and axis labels
  QFont readout = BoldArial(16);
};

// Truncates toward zero into pixels; values far off the picture (or not numbers) stay far off
// without overflowing int.
int ToPixel(double value) {
  constexpr double kFarOff = 1.0e7;
  if (std::isnan(value)) return 0;
  return static_cast<int>(std::trunc(std::clamp(value, -kFarOff, kFarOff)));
}

// Labels are written on an opaque white box the size of their text, which blanks the grid
// beneath; (x, y) is the box's top-left corner.
void DrawLabel(QPainter& painter, const PaintTools& tools, const QFontMetrics& metrics, int x,
               int y, const QString& text) {
  painter.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()), Qt::white);
  painter.setPen(tools.text);
  painter.drawText(x, y + metrics.ascent(), text);
}

// Returns the box of the topmost label, so that the unit can keep clear of it.
QRect DrawDbGrid(QPainter& painter, const PaintTools& tools, const QFontMetrics& metrics,
                 const PlotFrame& frame, DbRange range, double pixelsPerDb) {
  QRect topLabel;
  for (int db = range.lowDb + 3; db <= range.highDb - 1; ++db) {
    if (db % 3 != 0) continue;
    const int y = ToPixel(frame.plotTop + (range.highDb - db) * pixelsPerDb);
    painter.setPen(db == 0 ? tools.axis : tools.grid);
    painter.drawLine(frame.plotLeft, y, frame.plotRight, y);
    painter.setPen(tools.tick);
    painter.drawLine(frame.plotLeft - 2, y, frame.plotLeft, y);
    const QString text = QString::asprintf("%3d", db);
    const int x = frame.plotLeft - 3 - metrics.horizontalAdvance(text);
    DrawLabel(painter, tools, metrics, x, y - metrics.height() / 2, text);
    topLabel =
        QRect(x, y - metrics.height() / 2, metrics.horizontalAdvance(text), metrics.height());
  }
  return topLabel;
}

// Walks the points left to right, drawing each grid line on the first point above its
// frequency (at most one per point, none on the last), and stores every point's pixel position.
// Returns the box of the last frequency label.
QRect LayOutPoints(QPainter& painter, const PaintTools& tools, const QFontMetrics& metrics,
                   const PlotSeries& series, PlotStateRef state, int zeroDbY, double pixelsPerDb) {
  const PlotFrame& frame = state.frame;
  const std::size_t count = series.PointCount();
  const double plotWidth = frame.plotRight - frame.plotLeft;
  std::size_t mark = 0;
  QRect lastLabel;
  for (std::size_t i = 0; i < count; ++i) {
    const int x =
        ToPixel(static_cast<double>(i) * plotWidth / static_cast<double>(count) + frame.plotLeft);
    if (mark < series.grid.size() && i + 1 < count &&
        series.grid[mark].hz < series.frequencies[i]) {
      painter.setPen(tools.grid);
      painter.drawLine(x, frame.plotTop, x, frame.plotBottom);
      if (const char* label = series.grid[mark].label) {
        const QString text = QString::fromLatin1(label);
        DrawLabel(painter, tools, metrics, x + 2, frame.plotBottom + 2, text);
        lastLabel =
            QRect(x + 2, frame.plotBottom + 2, metrics.horizontalAdvance(text), metrics.height());
        painter.setPen(tools.tick);
        painter.drawLine(x, frame.plotBottom, x, frame.plotBottom + kTickLength);
      }
      ++mark;
    }
    state.points[i] = {x, ToPixel(zeroDbY - pixelsPerDb * series.PointLevel(i))};
  }
  return lastLabel;
}

// The marker on point c and its readout, which flips to the marker's left where it would run
// past the plot's right edge.
void DrawReadout(QPainter& painter, const PaintTools& tools, QPaintDevice* target,
                 const PlotSeries& series, PlotStateRef state, std::size_t c) {
  const PlotPoint point = state.points[c];
  painter.setPen(tools.curve);
  painter.setBrush(tools.marker);
  painter.drawEllipse(QPoint(point.x, point.y), 5, 5);

  painter.setFont(tools.readout);
  const QFontMetrics metrics(tools.readout, target);
  const QString text =
      QString::asprintf("%.0fHz, %.2fdB", series.frequencies[c], series.PointLevel(c));
  const int width = metrics.horizontalAdvance(text);
  const bool flip = (point.x + 5) + width + 4 > state.frame.plotRight;
  const int x = flip ? point.x - width - 9 : point.x + 9;
  painter.setPen(tools.text);
  painter.drawText(x, point.y - 7 + metrics.ascent(), text);
}

}  // namespace

void PaintPlot(QPaintDevice* target, const PlotSeries& series, PlotStateRef state, bool autoscale) {
  if (target == nullptr) return;
  // A target of device pixel ratio 2 has twice the pixels for the same picture: the geometry
  // stays in logical pixels and the painter draws it at the finer raster.
  const qreal ratio = std::max<qreal>(target->devicePixelRatio(), 1.0);
  const int width = static_cast<int>(std::floor(target->width() / ratio));
  const int height = static_cast<int>(std::floor(target->height() / ratio));
  if (width < 2 || height < 2 || !series.IsValid()) return;
  if (state.points.size() < series.PointCount()) return;
  QPainter painter(target);
  if (!painter.isActive()) return;

  const PaintTools tools;
  painter.fillRect(0, 0, width, height, Qt::white);
  const DbRange range = ChooseDbRange(series, autoscale);
  PlotFrame& frame = state.frame;
  frame = {kPlotLeft, width - kRightMargin, kPlotTop, height - kBottomMargin};
  const int plotHeight = frame.plotBottom - frame.plotTop;

  painter.setPen(tools.axis);
  painter.drawLine(frame.plotLeft, frame.plotTop, frame.plotLeft, frame.plotBottom);
  painter.drawLine(frame.plotLeft, frame.plotBottom, frame.plotRight, frame.plotBottom);

  // hi - lo is never 0 with autoscale; the guard covers a fixed range given as one value.
  const double pixelsPerDb =
      plotHeight / static_cast<double>(std::max(std::abs(range.highDb - range.lowDb), 1));
  painter.setFont(tools.label);
  const QFontMetrics labelMetrics(tools.label, target);
  const QRect topLabel = DrawDbGrid(painter, tools, labelMetrics, frame, range, pixelsPerDb);
  // A dense scale (the test plot's 110 dB) puts its top label where "dB" sits; the unit then
  // goes right of the axis, above the plot's top line.
  const QString db = QStringLiteral("dB");
  QRect unit(6, 0, labelMetrics.horizontalAdvance(db), labelMetrics.height());
  if (unit.intersects(topLabel)) unit.moveLeft(frame.plotLeft + 3);
  DrawLabel(painter, tools, labelMetrics, unit.x(), unit.y(), db);
  // 0 dB's place on the axis, whether or not the range shows it.
  const int zeroDbY = ToPixel(frame.plotTop + range.highDb * pixelsPerDb);
  const QRect lastLabel =
      LayOutPoints(painter, tools, labelMetrics, series, state, zeroDbY, pixelsPerDb);
  // Likewise an axis that ends close above 20 kHz (the test plot's 24 kHz) puts "20k" where
  // "Hz" sits; the unit then goes above the axis.
  const QString hz = QStringLiteral("Hz");
  QRect hzUnit(width - labelMetrics.horizontalAdvance(hz), height - labelMetrics.height() - 1,
               labelMetrics.horizontalAdvance(hz), labelMetrics.height());
  if (hzUnit.intersects(lastLabel)) hzUnit.moveBottom(frame.plotBottom - 2);
  DrawLabel(painter, tools, labelMetrics, hzUnit.x(), hzUnit.y(), hz);

  const std::size_t count = series.PointCount();
  QVarLengthArray<QPoint, 2048> polyline(static_cast<qsizetype>(count));
  for (std::size_t i = 0; i < count; ++i)
    polyline[static_cast<qsizetype>(i)] = {state.points[i].x, state.points[i].y};
  painter.setPen(tools.curve);
  ClearUpperVectorState();  // the stroke's maths follow the grid's raster fills
  // A level beyond the scale leaves the plot area at its edge instead of crossing the labels.
  painter.setClipRect(
      QRect(QPoint(frame.plotLeft, frame.plotTop), QPoint(frame.plotRight, frame.plotBottom)));
  painter.drawPolyline(polyline.data(), static_cast<int>(count));
  painter.setClipping(false);

  if (state.cursorIndex >= 0 && static_cast<std::size_t>(state.cursorIndex) < count) {
    DrawReadout(painter, tools, target, series, state, static_cast<std::size_t>(state.cursorIndex));
  }
}

void Paint(QPaintDevice* target, ResponseCurve& curve, bool autoscale) {
  PaintPlot(target, curve.Series(), curve.plot, autoscale);
}

}  // namespace eq
