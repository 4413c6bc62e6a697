#include "panel/panel_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace panel {

namespace {

// A white V on a blue disc, like a tone arm over a record; desktop/velmor-control.svg draws the
// same.
QPixmap Draw(int side) {
  QPixmap pixmap(side, side);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(40, 60, 160));
  painter.drawEllipse(QRectF(0.5, 0.5, side - 1.0, side - 1.0));
  QPainterPath v;
  v.moveTo(side * 0.25, side * 0.28);
  v.lineTo(side * 0.5, side * 0.76);
  v.lineTo(side * 0.75, side * 0.28);
  painter.setPen(QPen(Qt::white, side / 8.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(v);
  return pixmap;
}

}  // namespace

QIcon PanelIcon() {
  QIcon drawn;
  for (int side : {16, 32, 48}) drawn.addPixmap(Draw(side));
  // The installed icon is the one the menu and the dock show; the drawn one serves a panel run
  // from its build folder.
  return QIcon::fromTheme(QStringLiteral("velmor-control"), drawn);
}

}  // namespace panel
