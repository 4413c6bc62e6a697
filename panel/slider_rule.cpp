#include "panel/slider_rule.h"

#include <algorithm>

namespace panel {

int ApplySliderRule(QAbstractSlider::SliderAction action, const SliderRange& range, int position,
                    int carried) {
  const int highest = range.Highest();
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      return position > range.minimum ? position - 1 : position;
    case QAbstractSlider::SliderSingleStepAdd:
      return position < highest ? position + 1 : position;
    case QAbstractSlider::SliderPageStepSub:
      return position > range.minimum ? std::max(position - range.page, range.minimum) : position;
    case QAbstractSlider::SliderPageStepAdd:
      return position < highest ? std::min(position + range.page, highest) : position;
    case QAbstractSlider::SliderMove:
      return carried;
    case QAbstractSlider::SliderToMinimum:
      return range.minimum;
    case QAbstractSlider::SliderToMaximum:
      return highest;
    case QAbstractSlider::SliderNoAction:
      break;
  }
  return position;
}

void SetSliderRange(QScrollBar& bar, const SliderRange& range) {
  bar.setRange(range.minimum, range.Highest());
  bar.setPageStep(range.page);
  bar.setSingleStep(1);
  bar.setValue(0);
}

}  // namespace panel
