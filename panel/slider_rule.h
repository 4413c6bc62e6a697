#pragma once
// The panel's common scrolling rule for its horizontal sliders.

#include <QAbstractSlider>
#include <QScrollBar>

namespace panel {

// A slider's range as the resource states it; the highest reachable position is max - page + 1.
struct SliderRange {
  int minimum;
  int maximum;
  int page;
  int Highest() const { return maximum - page + 1; }
};

// The new position for one scroll request. `position` is the current one, `carried` the position
// a thumb request carries.
int ApplySliderRule(QAbstractSlider::SliderAction action, const SliderRange& range, int position,
                    int carried);

// Gives the scroll bar the range, page step and single step of `range`, at position 0.
void SetSliderRange(QScrollBar& bar, const SliderRange& range);

}  // namespace panel
