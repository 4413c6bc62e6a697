#pragma once
// The panel's horizontal slider: a scroll bar that takes the keyboard focus (Left/Right a line,
// Page Up/Page Down a page, Home/End the ends) and whose every move of the thumb reaches
// actionTriggered, where the panel applies its common slider rule and the slider's action.
//
// QScrollBar's own context menu moves the thumb for "Scroll here" with setValue, which no
// action sees; this one offers the same entries and sends "Scroll here" as a thumb position.
// setValue stays the quiet way to show a value, as filling the controls from the image does.

#include <QScrollBar>
#include <QStyle>

namespace panel {

class ScrollSlider : public QScrollBar {
  Q_OBJECT

 public:
  explicit ScrollSlider(QWidget* parent = nullptr);

  // The position the thumb would take when centred on x, in the slider's own coordinates.
  int PositionAt(int x) const;

 protected:
  // The keys of a horizontal scroll bar: Left and Up a line left, Right and Down a line right,
  // Page Up a page left, Page Down a page right, Home and End the ends. (Qt's own mapping
  // turns with the scroll bar's inverted controls.)
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  // The track and the focus frame are painted here, alike in every style: the Windows style
  // draws the track as a pattern of two almost equal system colours, and no style frames a
  // focused scroll bar.
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QStyle::SubControl m_pressed = QStyle::SC_None;  // under the button held down, for painting
};

}  // namespace panel
