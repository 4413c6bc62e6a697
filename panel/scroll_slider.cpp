#include "panel/scroll_slider.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionSlider>

namespace panel {

namespace {

// The scroll bar's own words, so that Qt's translations still apply.
QString Word(const char* text) {
  return QCoreApplication::translate("QScrollBar", text);
}

}  // namespace

ScrollSlider::ScrollSlider(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {
  setFocusPolicy(Qt::StrongFocus);
}

int ScrollSlider::PositionAt(int x) const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  const QRect groove =
      style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarGroove, this);
  const QRect thumb =
      style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
  const int span = groove.width() - thumb.width();
  return QStyle::sliderValueFromPosition(minimum(), maximum(), x - thumb.width() / 2 - groove.x(),
                                         std::max(span, 1), option.upsideDown);
}

void ScrollSlider::keyPressEvent(QKeyEvent* event) {
  SliderAction action = SliderNoAction;
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
      action = SliderSingleStepSub;
      break;
    case Qt::Key_Right:
    case Qt::Key_Down:
      action = SliderSingleStepAdd;
      break;
    case Qt::Key_PageUp:
      action = SliderPageStepSub;
      break;
    case Qt::Key_PageDown:
      action = SliderPageStepAdd;
      break;
    case Qt::Key_Home:
      action = SliderToMinimum;
      break;
    case Qt::Key_End:
      action = SliderToMaximum;
      break;
    default:
      QScrollBar::keyPressEvent(event);
      return;
  }
  // Ctrl+Left and the like are the dialog's, not a move.
  if (event->modifiers() & ~Qt::KeypadModifier) {
    event->ignore();
    return;
  }
  triggerAction(action);
  event->accept();
}

void ScrollSlider::contextMenuEvent(QContextMenuEvent* event) {
  if (!style()->styleHint(QStyle::SH_ScrollBar_ContextMenu, nullptr, this)) {
    QScrollBar::contextMenuEvent(event);
    return;
  }
  QPointer<QMenu> menu = new QMenu(this);
  QAction* here = menu->addAction(Word("Scroll here"));
  menu->addSeparator();
  QAction* left = menu->addAction(Word("Left edge"));
  QAction* right = menu->addAction(Word("Right edge"));
  menu->addSeparator();
  QAction* pageLeft = menu->addAction(Word("Page left"));
  QAction* pageRight = menu->addAction(Word("Page right"));
  menu->addSeparator();
  QAction* lineLeft = menu->addAction(Word("Scroll left"));
  QAction* lineRight = menu->addAction(Word("Scroll right"));
  const int x = event->pos().x();
  QAction* chosen = menu->exec(event->globalPos());
  delete menu;
  if (chosen == nullptr) return;
  if (chosen == here) {
    // With tracking on, a new slider position is a thumb move: actionTriggered(SliderMove).
    setSliderPosition(PositionAt(x));
  } else if (chosen == left) {
    triggerAction(SliderToMinimum);
  } else if (chosen == right) {
    triggerAction(SliderToMaximum);
  } else if (chosen == pageLeft) {
    triggerAction(SliderPageStepSub);
  } else if (chosen == pageRight) {
    triggerAction(SliderPageStepAdd);
  } else if (chosen == lineLeft) {
    triggerAction(SliderSingleStepSub);
  } else if (chosen == lineRight) {
    triggerAction(SliderSingleStepAdd);
  }
}

}  // namespace panel
