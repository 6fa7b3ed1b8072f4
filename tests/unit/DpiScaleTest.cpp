#include <gtest/gtest.h>

#include <vector>

#include "Panel/Placement.h"
#include "Panel/SecBar.h"
#include "Panel/Telop.h"
#include "forms/ClockForm.h"
#include "support/DpiScale.h"

namespace vo {
namespace {

namespace form = forms::clock;

// The strip at the four common scales: 100, 125, 150 and 200 %.
struct StripCase {
  int dpi;
  int width, height, bevel;
  Box telop;
  int barWidth, barHeight;
  int telopStep;
  int startClampOn1024;  // where a stored Left of 5000 starts
};

const StripCase kStrips[] = {
    {96, 102, 21, 1, {2, 2, 98, 17}, 48, 2, 2, 830},
    {120, 128, 26, 1, {2, 2, 124, 22}, 60, 2, 3, 781},
    {144, 153, 32, 2, {4, 4, 145, 24}, 72, 3, 3, 733},
    {192, 204, 42, 2, {4, 4, 196, 34}, 96, 4, 4, 636},
};

TEST(DpiScale, RoundsAsMulDivAndKeepsLinesVisible) {
  const DpiScale scale144(144);
  EXPECT_EQ(scale144(21), 32);    // 31.5 rounds up
  EXPECT_EQ(scale144(-21), -32);  // and away from zero below it
  EXPECT_EQ(DpiScale(120).Line(1), 1);
  EXPECT_EQ(DpiScale(72).Line(1), 1);          // 0.75 would vanish
  EXPECT_EQ(DpiScale(0).Dpi(), 96);            // nothing reported: as designed
  EXPECT_EQ(DpiScale(192)(1 << 29), 1 << 30);  // no overflow on the way
}

TEST(ClockLayout, ScalesTheStripAndKeepsTheTelopInsideTheBevels) {
  for (const StripCase& c : kStrips) {
    SCOPED_TRACE(c.dpi);
    const form::ClockLayout layout = form::LayoutAt(DpiScale(c.dpi));
    EXPECT_EQ(layout.pnlClock.width, c.width);
    EXPECT_EQ(layout.pnlClock.height, c.height);
    EXPECT_EQ(layout.bevel, c.bevel);
    EXPECT_EQ(layout.pnlTelop, c.telop);
    EXPECT_EQ(layout.imgSec.width, c.barWidth);
    EXPECT_EQ(layout.imgSec.height, c.barHeight);
    // Date and time still meet in the overlap, and the labels stay inside the panel.
    EXPECT_GT(layout.lblDate.right(), layout.lblTime.left);
    EXPECT_LE(layout.lblTime.right(), layout.pnlClock.width);
    EXPECT_LT(layout.imgSec.bottom(), layout.pnlClock.height - 2 * layout.bevel + 1);
    const ScreenArea screen{0, 0, 1024, 768, true};
    EXPECT_EQ(StartPlace(5000, {&screen, 1}, layout.scale).left, c.startClampOn1024);
    EXPECT_EQ(StartPlace(-40, {&screen, 1}, layout.scale).left, 0);
  }
}

TEST(SecBar, GapKeepsItsShareOfTheBarAtEveryScale) {
  for (const StripCase& c : kStrips) {
    SCOPED_TRACE(c.dpi);
    const DpiScale scale(c.dpi);
    const auto start = SecBarFills(SecBarPosition(0, 0, c.barWidth, scale), c.barWidth, scale);
    EXPECT_EQ(start[1].right - start[1].left, scale(4));
    EXPECT_EQ(start[1].left, scale(1) + scale(2));
    // At the very end of the minute the gap reaches just past the right edge.
    const auto end = SecBarFills(SecBarPosition(59, 999, c.barWidth, scale), c.barWidth, scale);
    EXPECT_LT(end[1].left, c.barWidth);
    EXPECT_GT(end[1].right, c.barWidth);
    EXPECT_LE(end[1].right, c.barWidth + scale(4));
    // The position never moves backwards within the minute.
    int last = 0;
    for (int ms = 0; ms < 60000; ms += 250) {
      const int p = SecBarPosition(ms / 1000, ms % 1000, c.barWidth, scale);
      EXPECT_GE(p, last);
      last = p;
    }
  }
}

TEST(Telop, StepAndWrapScaleWithTheStrip) {
  for (const StripCase& c : kStrips) {
    SCOPED_TRACE(c.dpi);
    const DpiScale scale(c.dpi);
    TelopScroll telop;
    const int text = 2 * c.telopStep;
    EXPECT_EQ(telop.Step(text, c.width, scale), -c.telopStep);
    EXPECT_EQ(telop.Step(text, c.width, scale), -text);    // right end at the edge
    EXPECT_EQ(telop.Step(text, c.width, scale), c.width);  // wrapped
  }
}

}  // namespace
}  // namespace vo
