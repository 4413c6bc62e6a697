#pragma once
// Finds a plot label in a painted picture: the label's opaque box, painted alone, must appear
// pixel for pixel, so a label that something else painted over is not found.

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <optional>

#include "eq/plot_painter.h"

inline QImage LabelAlone(const QString& text) {
  const QFont font = eq::LabelFont();
  const QFontMetrics metrics(font);
  QImage label(metrics.horizontalAdvance(text), metrics.height(), QImage::Format_RGB32);
  label.fill(Qt::white);
  QPainter painter(&label);
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.drawText(0, metrics.ascent(), text);
  return label;
}

// The top-left corner of `text`'s whole label within `area` of `picture`, if it is there.
inline std::optional<QPoint> FindLabel(const QImage& picture, const QString& text, QRect area) {
  const QImage label = LabelAlone(text);
  const QImage image = picture.convertToFormat(QImage::Format_RGB32);
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      if (x < 0 || y < 0 || x + label.width() > image.width() ||
          y + label.height() > image.height())
        continue;
      if (image.copy(x, y, label.width(), label.height()) == label) return QPoint(x, y);
    }
  }
  return std::nullopt;
}
