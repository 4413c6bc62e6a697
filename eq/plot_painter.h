#pragma once
// Paints a plot completely into an off-screen pixmap or image: white background, grey axes,
// the dB grid with labels, the frequency grid with labels, the curve, and, when a point is
// marked, the marker with its readout "<f>Hz, <level>dB". The caller then shows the picture in
// one piece (eq/picture_control.h).
//
// The geometry is fixed in pixels: the axes at x = 21 and y = height - 15, the plot area up to
// width - 10 and down from y = 10. Every paint rewrites the plot state's frame and points.

#include <QFont>
#include <QPaintDevice>

#include "eq/plot_series.h"
#include "eq/plot_state.h"
#include "eq/response_curve.h"

namespace eq {

// Paints `series` into `target` (a QPixmap or QImage). Sizes and positions are logical pixels:
// a target of device pixel ratio 2 holds the same plot painted twice as fine. Marks
// state.cursorIndex when it is a point. Draws nothing and leaves the state alone when there is
// no target, when it is narrower or lower than 2 pixels, or when the series is not valid.
// `state` must have room for series.PointCount() points. Needs a QGuiApplication (fonts).
void PaintPlot(QPaintDevice* target, const PlotSeries& series, PlotStateRef state, bool autoscale);

// The font of the unit names and axis labels, and the readout's font (cell heights 12 and 16).
QFont BoldArial(int cellHeight);
QFont LabelFont();

// The response plot as the panel shows it: the curve's 1024 points, -24..+24 dB, or scaled to
// the curve when `autoscale` is set.
void Paint(QPaintDevice* target, ResponseCurve& curve, bool autoscale);

}  // namespace eq
