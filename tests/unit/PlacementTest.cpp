#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

#include "MemorySettingsStore.h"
#include "Panel/Placement.h"
#include "forms/ClockForm.h"

namespace vo {
namespace {

using forms::clock::kDesignedWindow;

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int kScreen = 1024;
constexpr int kFittedWidth = 102;

struct ClampCase {
  int left, screen, width, expected;
};

TEST(ClampLeft, KeepsTheStripOnScreen) {
  const ClampCase cases[] = {
      {5000, kScreen, kDesignedWindow.width, 830},
      {-40, kScreen, kDesignedWindow.width, 0},
      {293, kScreen, kDesignedWindow.width, 293},
      {0, kScreen, kDesignedWindow.width, 0},
      {830, kScreen, kDesignedWindow.width, 830},
      {831, kScreen, kDesignedWindow.width, 830},
      {INT_MIN, kScreen, kDesignedWindow.width, 0},
      {INT_MAX, kScreen, kDesignedWindow.width, 830},
      // Wider than the screen: the right-edge test runs last and wins.
      {-40, 150, kDesignedWindow.width, -44},
      {10, 150, kDesignedWindow.width, -44},
  };
  for (const ClampCase& c : cases) {
    EXPECT_EQ(ClampLeft(c.left, c.screen, c.width), c.expected)
        << c.left << " on " << c.screen << " width " << c.width;
  }
}

struct DragCase {
  int current, mouseX, dragX, expected;
};

TEST(DragLeft, FollowsTheMouseUpToEitherEdge) {
  const DragCase cases[] = {
      {293, 50, 10, 333},  // right by 40
      {293, 10, 50, 253},  // left by 40
      {293, 30, 30, 293},  // no motion
      {900, 200, 10, kScreen - kFittedWidth},
      {20, -100, 10, 0},
      {INT_MAX, INT_MAX, INT_MIN, kScreen - kFittedWidth},  // no overflow
      {INT_MIN, INT_MIN, INT_MAX, 0},
  };
  for (const DragCase& c : cases) {
    EXPECT_EQ(DragLeft(c.current, c.mouseX, c.dragX, kScreen, kFittedWidth), c.expected)
        << c.current << " + " << c.mouseX << " - " << c.dragX;
  }
}

// Monitor arrangements, primary first; right and bottom just outside.
const std::vector<ScreenArea> kOne{{0, 0, 1024, 768, true}};
const std::vector<ScreenArea> kSideBySide{{0, 0, 1024, 768, true}, {1024, 0, 1824, 600}};
const std::vector<ScreenArea> kLeftAndHigher{{0, 0, 1024, 768, true}, {-1280, -200, 0, 824}};
const std::vector<ScreenArea> kStacked{{0, 0, 1024, 768, true}, {0, 768, 1024, 1536}};
const std::vector<ScreenArea> kWithAGap{{0, 0, 1024, 768, true}, {1200, 0, 2000, 600}};

struct PlaceCase {
  const std::vector<ScreenArea>* monitors;
  StripPlace from;
  StripPlace expected;
};

TEST(PlaceOnMonitor, KeepsTheColumnsMonitorElseThePrimary) {
  const PlaceCase cases[] = {
      {&kOne, {5000, 0}, {kScreen - kFittedWidth, 0}},
      {&kOne, {-40, 0}, {0, 0}},
      {&kOne, {500, 0}, {500, 0}},
      {&kSideBySide, {1500, 0}, {1500, 0}},
      {&kSideBySide, {1800, 0}, {1824 - kFittedWidth, 0}},     // pulled in on its own monitor
      {&kSideBySide, {5000, 0}, {kScreen - kFittedWidth, 0}},  // beyond all: the primary
      {&kLeftAndHigher, {-500, 0}, {-500, -200}},              // onto that monitor's top edge
      {&kStacked, {300, 768}, {300, 768}},                     // the one it is at first
      {&kStacked, {300, 555}, {300, 0}},                       // then the primary
      {&kWithAGap, {1100, 0}, {kScreen - kFittedWidth, 0}},    // in the gap: the primary
  };
  for (const PlaceCase& c : cases) {
    const StripPlace placed = PlaceOnMonitor(c.from, kFittedWidth, *c.monitors);
    EXPECT_EQ(placed, c.expected) << c.from.left << "," << c.from.top << " -> " << placed.left
                                  << "," << placed.top;
    EXPECT_TRUE(OnAMonitor(placed, kFittedWidth, *c.monitors));
  }
  EXPECT_EQ(PlaceOnMonitor({7, 9}, kFittedWidth, {}), (StripPlace{7, 9}));
  // At start the stored left edge alone tells the monitor, the designed width clamps.
  EXPECT_EQ(StartPlace(1800, kSideBySide, DpiScale()), (StripPlace{1824 - 194, 0}));
  EXPECT_EQ(StartPlace(300, kStacked, DpiScale()), (StripPlace{300, 0}));
}

TEST(OnAMonitor, OnlyWhollyOnOneAtItsTopEdge) {
  EXPECT_TRUE(OnAMonitor({922, 0}, kFittedWidth, kSideBySide));
  EXPECT_FALSE(OnAMonitor({923, 0}, kFittedWidth, kSideBySide));  // across the seam
  EXPECT_TRUE(OnAMonitor({1024, 0}, kFittedWidth, kSideBySide));
  EXPECT_FALSE(OnAMonitor({1024, 10}, kFittedWidth, kSideBySide));
  EXPECT_FALSE(OnAMonitor({1723, 0}, kFittedWidth, kSideBySide));
  EXPECT_FALSE(OnAMonitor({0, 0}, kFittedWidth, {}));
}

struct DragAcrossCase {
  const std::vector<ScreenArea>* monitors;
  StripPlace from;
  int motion;
  StripPlace expected;
};

TEST(DragPlace, ChangesMonitorOnceMoreOfTheStripWouldLieOnTheNext) {
  const DragAcrossCase cases[] = {
      {&kSideBySide, {922, 0}, 50, {922, 0}},   // nearer its own edge
      {&kSideBySide, {922, 0}, 51, {922, 0}},   // a tie keeps its monitor
      {&kSideBySide, {922, 0}, 52, {1024, 0}},  // nearer the next one
      {&kSideBySide, {1024, 0}, -51, {1024, 0}},
      {&kSideBySide, {1024, 0}, -52, {922, 0}},
      {&kSideBySide, {1600, 0}, 500, {1824 - kFittedWidth, 0}},
      {&kLeftAndHigher, {0, 0}, -60, {-kFittedWidth, -200}},
      {&kLeftAndHigher, {-kFittedWidth, -200}, 60, {0, 0}},
      {&kStacked, {300, 768}, 100, {400, 768}},  // stacked: sideways on its own
      {&kWithAGap, {922, 0}, 178, {1200, 0}},    // jumps the gap
  };
  for (const DragAcrossCase& c : cases) {
    const StripPlace dragged = DragPlace(c.from, c.motion, 0, kFittedWidth, *c.monitors);
    EXPECT_EQ(dragged, c.expected) << c.from.left << "," << c.from.top << " by " << c.motion
                                   << " -> " << dragged.left << "," << dragged.top;
  }
}

TEST(Covers, TheWholeMonitorOnly) {
  const ScreenArea monitor{1024, 0, 1824, 600};
  EXPECT_TRUE(Covers(monitor, monitor));
  EXPECT_TRUE(Covers({1000, -8, 1900, 700}, monitor));
  EXPECT_FALSE(Covers({1024, 0, 1823, 600}, monitor));
  EXPECT_FALSE(Covers({1024, 23, 1824, 600}, monitor));  // a maximised window's client area
  EXPECT_FALSE(Covers({0, 0, 1024, 768}, monitor));      // the other monitor
}

// The clock window with its designed place and colours.
struct FakeClock final : PositionTarget {
  int left = kDesignedWindow.left;
  Color fore = kYellow;
  Color back = kBlack;
  std::vector<std::pair<Color, Color>> colorCalls;

  int Left() const override { return left; }
  void SetLeft(int value) override { left = value; }
  Color ForeColor() const override { return fore; }
  Color BackColor() const override { return back; }
  void SetColors(Color newFore, Color newBack) override {
    fore = newFore;
    back = newBack;
    colorCalls.emplace_back(newFore, newBack);
  }
};

void StorePosition(MemorySettingsBackend& backend, int left, Color fore, Color back) {
  backend.PutDword(kClockKeyPath, "Left", left);
  backend.PutDword(kClockKeyPath, "ForeColor", fore);
  backend.PutDword(kClockKeyPath, "BackColor", back);
}

TEST(LoadPosition, AppliesLeftThenBothColoursTogether) {
  MemorySettingsBackend backend;
  StorePosition(backend, -40, kRed, kBlue);
  FakeClock clock;
  LoadPosition(backend, clock);
  EXPECT_EQ(clock.left, -40);  // the clamp is the caller's next step
  EXPECT_THAT(clock.colorCalls, ElementsAre(std::pair{kRed, kBlue}));
  EXPECT_THAT(backend.readLog(), ElementsAre("Left", "ForeColor", "BackColor"));
  EXPECT_EQ(backend.openKeys(), 0);
}

TEST(LoadPosition, WithoutAKeyKeepsTheDesignAndCreatesNothing) {
  MemorySettingsBackend backend;
  FakeClock clock;
  LoadPosition(backend, clock);
  EXPECT_EQ(clock.left, kDesignedWindow.left);
  EXPECT_THAT(clock.colorCalls, IsEmpty());
  EXPECT_FALSE(backend.HasKey(kClockKeyPath));
  EXPECT_EQ(backend.opens(), 0);
}

struct PartialLoadCase {
  const char* label;
  void (*damage)(MemorySettingsBackend&);
  int expectedLeft;
  bool coloursApplied;
};

TEST(LoadPosition, StopsSilentlyAtTheFirstBadValue) {
  const PartialLoadCase cases[] = {
      {"Left as a two-digit REG_SZ",
       [](MemorySettingsBackend& b) { b.PutText(kClockKeyPath, "Left", "12"); },
       kDesignedWindow.left, false},
      {"Left missing", [](MemorySettingsBackend& b) { b.Erase(kClockKeyPath, "Left"); },
       kDesignedWindow.left, false},
      {"ForeColor missing", [](MemorySettingsBackend& b) { b.Erase(kClockKeyPath, "ForeColor"); },
       500, false},
      {"BackColor missing", [](MemorySettingsBackend& b) { b.Erase(kClockKeyPath, "BackColor"); },
       500, false},
      {"BackColor of 8 bytes",
       [](MemorySettingsBackend& b) {
         b.Put(kClockKeyPath, "BackColor", {ValueType::kDword, {0, 0, 0, 0, 0, 0, 0, 0}});
       },
       500, false},
      {"only readable", [](MemorySettingsBackend& b) { b.SetReadOnly(kClockKeyPath); }, 500, true},
      {"not openable", [](MemorySettingsBackend& b) { b.DenyAccess(kClockKeyPath); },
       kDesignedWindow.left, false},
  };
  for (const PartialLoadCase& c : cases) {
    SCOPED_TRACE(c.label);
    MemorySettingsBackend backend;
    StorePosition(backend, 500, kRed, kBlue);
    c.damage(backend);
    FakeClock clock;
    EXPECT_NO_THROW(LoadPosition(backend, clock));
    EXPECT_EQ(clock.left, c.expectedLeft);
    EXPECT_EQ(clock.colorCalls.size(), c.coloursApplied ? 1u : 0u);
    EXPECT_EQ(clock.fore, c.coloursApplied ? kRed : kYellow);
    EXPECT_EQ(backend.openKeys(), 0);
  }
}

TEST(SavePosition, FirstSaveCreatesTheKeyWithThreeValues) {
  MemorySettingsBackend backend;
  FakeClock clock;
  clock.left = -40;
  clock.fore = kFuchsia;
  SavePosition(backend, clock);
  EXPECT_THAT(backend.writeLog(), ElementsAre("Left", "ForeColor", "BackColor"));
  EXPECT_EQ(backend.GetDword(kClockKeyPath, "Left"), -40);
  EXPECT_EQ(backend.GetDword(kClockKeyPath, "ForeColor"), kFuchsia);
  EXPECT_EQ(backend.GetDword(kClockKeyPath, "BackColor"), kBlack);
  EXPECT_EQ(backend.openKeys(), 0);

  FakeClock reloaded;
  LoadPosition(backend, reloaded);
  EXPECT_EQ(reloaded.left, -40);
  EXPECT_EQ(reloaded.fore, kFuchsia);
}

TEST(SavePosition, RefusedForeColorKeepsLeftAndStops) {
  MemorySettingsBackend backend;
  backend.RefuseWrite(kClockKeyPath, "ForeColor");
  FakeClock clock;
  EXPECT_NO_THROW(SavePosition(backend, clock));
  EXPECT_THAT(backend.writeLog(), ElementsAre("Left", "ForeColor"));
  EXPECT_EQ(backend.GetDword(kClockKeyPath, "Left"), kDesignedWindow.left);
  EXPECT_FALSE(backend.Get(kClockKeyPath, "BackColor"));
  EXPECT_EQ(backend.openKeys(), 0);
}

TEST(SavePosition, KeyThatCannotBeOpenedForWritingGetsNothing) {
  ExpectNothingSaved(kClockKeyPath,
                     [](MemorySettingsBackend& backend) { SavePosition(backend, FakeClock{}); });
}

}  // namespace
}  // namespace vo
