// The Qt-free rules of the plots: the dB range and the pointer readout.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "eq/plot_series.h"
#include "eq/plot_state.h"
#include "eq/response_curve.h"

namespace {

eq::DbRange RangeOf(const std::vector<double>& levels, bool autoscale = true) {
  eq::PlotSeries series;
  series.frequencies = levels;
  series.levels = levels;
  return eq::ChooseDbRange(series, autoscale);
}

TEST(DbRangeTest, FixedOrFittedToTheCurve) {
  eq::ResponseCurve curve;
  curve.SetTimeConstants(3180, 318, 75, 7950);
  EXPECT_EQ(eq::ChooseDbRange(curve.Series(), false).lowDb, -24);
  EXPECT_EQ(eq::ChooseDbRange(curve.Series(), false).highDb, 24);
  EXPECT_EQ(eq::ChooseDbRange(curve.Series(), true).lowDb, -26);
  EXPECT_EQ(eq::ChooseDbRange(curve.Series(), true).highDb, 20);

  curve.SetTimeConstants(0, 0, 0, 0);
  EXPECT_EQ(eq::ChooseDbRange(curve.Series(), true).lowDb, -72);
  EXPECT_EQ(eq::ChooseDbRange(curve.Series(), true).highDb, 2);
}

TEST(DbRangeTest, AFlatCurveStillSpansAtLeastFourDecibels) {
  for (double level : {-100.5, -10.0, -3.0, -1.0, 0.0, 0.5, 1.0, 3.0, 4.9, 17.0}) {
    const eq::DbRange range = RangeOf({level, level, level});
    EXPECT_GE(range.highDb - range.lowDb, 4) << level;
    EXPECT_LE(range.lowDb, level - 1) << level;
    EXPECT_GE(range.highDb, std::max(level, 0.0) + 1) << level;
    EXPECT_EQ(range.lowDb % 2, 0);
    EXPECT_EQ(range.highDb % 2, 0);
  }
}

TEST(DbRangeTest, LevelsThatAreNotNumbersAreLeftOut) {
  const eq::DbRange range = RangeOf({-10.0, NAN, -INFINITY, 5.0, INFINITY});
  EXPECT_EQ(range.lowDb, -12);
  EXPECT_EQ(range.highDb, 8);
  const eq::DbRange none = RangeOf({NAN, NAN});
  EXPECT_GE(none.highDb - none.lowDb, 4);
}

TEST(PlotSeriesTest, ASeriesIsValidOnlyWithALevelForEveryPoint) {
  const std::vector<double> five(5, 1.0);
  const std::vector<std::int32_t> index{0, 1, 2, 3, 99};
  eq::PlotSeries series;
  series.frequencies = five;
  EXPECT_FALSE(series.IsValid());
  series.levels = std::span(five).first(4);
  EXPECT_FALSE(series.IsValid());
  series.levelIndex = index;
  EXPECT_TRUE(series.IsValid());
  EXPECT_EQ(series.PointLevel(4), 1.0);  // an index past the levels reads the last one
}

// Ten points laid out two to a column over x = 21..25, the plot area reaching to 30.
eq::PlotState<10> PaintedState() {
  eq::PlotState<10> state;
  state.frame = {21, 30, 10, 50};
  for (int i = 0; i < 10; ++i) state.points[static_cast<std::size_t>(i)] = {21 + i / 2, 20 + i};
  return state;
}

TEST(PointerReadoutTest, MarksTheFirstPointOfTheColumnUnderThePointer) {
  auto state = PaintedState();
  EXPECT_TRUE(eq::MovePointer(state, 23, 30));
  EXPECT_EQ(state.cursorIndex, 4);
  EXPECT_TRUE(eq::MovePointer(state, 23, 12));  // same point: still a redraw
  EXPECT_EQ(state.cursorIndex, 4);
  EXPECT_TRUE(eq::MovePointer(state, 21, 50));  // corners of the area count as inside
  EXPECT_EQ(state.cursorIndex, 0);
}

TEST(PointerReadoutTest, AColumnWithoutAPointChangesNothing) {
  auto state = PaintedState();
  state.cursorIndex = 7;
  EXPECT_FALSE(eq::MovePointer(state, 28, 30));
  EXPECT_FALSE(eq::MovePointer(state, 30, 10));
  EXPECT_EQ(state.cursorIndex, 7);
}

TEST(PointerReadoutTest, LeavingThePlotAreaRemovesTheMarkerOnce) {
  auto state = PaintedState();
  state.cursorIndex = 3;
  EXPECT_TRUE(eq::MovePointer(state, 20, 30));
  EXPECT_EQ(state.cursorIndex, -1);
  EXPECT_FALSE(eq::MovePointer(state, 31, 30));
  EXPECT_FALSE(eq::MovePointer(state, 25, 9));
  EXPECT_FALSE(eq::MovePointer(state, 25, 51));
  EXPECT_EQ(state.cursorIndex, -1);
}

TEST(PointerReadoutTest, NothingIsUnderThePointerBeforeTheFirstPaint) {
  eq::ResponseCurve curve;
  for (int x = -5; x < 40; ++x) EXPECT_FALSE(eq::MovePointer(curve.plot, x, 12)) << x;
  EXPECT_EQ(curve.plot.cursorIndex, -1);
}

}  // namespace
