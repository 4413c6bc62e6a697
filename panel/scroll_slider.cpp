#include "panel/scroll_slider.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
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

void ScrollSlider::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOptionSlider option;
  initStyleOption(&option);
  option.subControls =
      QStyle::SubControls(QStyle::SC_All) &
      ~QStyle::SubControls(QStyle::SC_ScrollBarAddPage | QStyle::SC_ScrollBarSubPage);
  if (m_pressed != QStyle::SC_None) {
    option.activeSubControls = m_pressed;
    option.state |= QStyle::State_Sunken;
  } else if (underMouse()) {
    option.activeSubControls = style()->hitTestComplexControl(QStyle::CC_ScrollBar, &option,
                                                              mapFromGlobal(QCursor::pos()), this);
  }

  // The option's palette is in the slider's colour group: disabled ones get a disabled track.
  const QPalette& colours = option.palette;
  const QColor window = colours.color(QPalette::Window);
  const auto mix = [&window](QColor other) {
    return QColor((window.red() + other.red()) / 2, (window.green() + other.green()) / 2,
                  (window.blue() + other.blue()) / 2);
  };
  const QColor track = mix(colours.color(QPalette::Mid));
  const QColor pressedTrack = mix(colours.color(QPalette::Dark));
  for (const QStyle::SubControl page : {QStyle::SC_ScrollBarSubPage, QStyle::SC_ScrollBarAddPage}) {
    const QRect area = style()->subControlRect(QStyle::CC_ScrollBar, &option, page, this);
    painter.fillRect(area, m_pressed == page ? pressedTrack : track);
  }
  style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, this);

  if (hasFocus()) {
    painter.setPen(QPen(colours.color(QPalette::Highlight), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void ScrollSlider::mousePressEvent(QMouseEvent* event) {
  QStyleOptionSlider option;
  initStyleOption(&option);
  m_pressed = style()->hitTestComplexControl(QStyle::CC_ScrollBar, &option,
                                             event->position().toPoint(), this);
  QScrollBar::mousePressEvent(event);
}

void ScrollSlider::mouseReleaseEvent(QMouseEvent* event) {
  m_pressed = QStyle::SC_None;
  QScrollBar::mouseReleaseEvent(event);
  update();
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
