#pragma once
// Dialog units to pixels, as the dialog framework computes them: base units from the dialog font
// (average width of the 52 letters A-Z a-z, and the font height); x px = x * baseX / 4,
// y px = y * baseY / 8.

#include <QFont>
#include <QRect>

class DialogUnits {
 public:
  // The font a dialog template names, e.g. "MS Shell Dlg" at 8 points.
  static QFont DialogFont(const QString& face = QStringLiteral("MS Shell Dlg"), int points = 8);

  explicit DialogUnits(const QFont& dialogFont);

  int BaseX() const { return m_baseX; }
  int BaseY() const { return m_baseY; }
  int X(int dlu) const;
  int Y(int dlu) const;
  // A control's place (x, y, width, height in dialog units) in pixels.
  QRect ToPixels(int x, int y, int width, int height) const;

 private:
  int m_baseX;  // pixels per 4 horizontal dialog units
  int m_baseY;  // pixels per 8 vertical dialog units
};
