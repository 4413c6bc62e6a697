#include "eq/picture_control.h"

#include <QPainter>

namespace eq {

PictureControl::PictureControl(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setLineWidth(1);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  // The picture covers the whole client area, so nothing behind it needs painting first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureControl::SetPicture(const QPixmap& picture) {
  m_picture = picture;
  update();
}

QPoint PictureControl::MapToPicture(const QWidget* from, QPoint point) const {
  return mapFrom(from, point) - contentsRect().topLeft();
}

void PictureControl::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect client = contentsRect();
  painter.fillRect(client, palette().window());
  if (!m_picture.isNull()) painter.drawPixmap(client.topLeft(), m_picture);
  painter.end();
  QFrame::paintEvent(event);  // the border
}

QPixmap PictureFor(const PictureControl& control) {
  const qreal ratio = control.devicePixelRatioF();
  QPixmap picture(control.ClientSize() * ratio);
  picture.setDevicePixelRatio(ratio);
  return picture;
}

}  // namespace eq
