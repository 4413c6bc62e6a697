#include "panel/dialog_units.h"

#include <QFontMetrics>

QFont DialogUnits::DialogFont(const QString& face, int points) {
  QFont font(face);
  font.setPointSize(points);
  return font;
}

DialogUnits::DialogUnits(const QFont& dialogFont) {
  const QFontMetrics metrics(dialogFont);
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  // Rounded as the framework rounds: (total width / 26 + 1) / 2.
  m_baseX = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
  m_baseY = metrics.height();
  if (m_baseX < 1) m_baseX = 1;
  if (m_baseY < 1) m_baseY = 1;
}

// The framework rounds to the nearest pixel (MulDiv).
int DialogUnits::X(int dlu) const {
  const int n = dlu * m_baseX;
  return n >= 0 ? (n + 2) / 4 : -((-n + 2) / 4);
}
int DialogUnits::Y(int dlu) const {
  const int n = dlu * m_baseY;
  return n >= 0 ? (n + 4) / 8 : -((-n + 4) / 8);
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
  return QRect(X(x), Y(y), X(width), Y(height));
}
