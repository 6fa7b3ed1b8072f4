#include <gtest/gtest.h>

#include <vector>

#include "Panel/PointerFade.h"

namespace vo {
namespace {

constexpr StripLook kPlain{false, 255, false};

// The alphas of the ticks until the fade settles, starting with the arrival's look.
std::vector<int> FadeAlphas(PointerFade& fade) {
  std::vector<int> alphas{fade.Look().alpha};
  for (int tick = 0; tick < kFadeTicks + 2; ++tick) {
    fade.Tick(true, false);
    alphas.push_back(fade.Look().alpha);
  }
  return alphas;
}

TEST(PointerFadeTest, OffLeavesThePlainWindowAndTurningOffMidFadeRestoresAtOnce) {
  PointerFade fade;
  fade.PointerArrived(false);
  fade.Tick(true, false);
  EXPECT_FALSE(fade.Watching());
  EXPECT_EQ(fade.Look(), kPlain);
  fade.Configure(true, 100);
  fade.PointerArrived(false);
  fade.Configure(false, 100);
  EXPECT_EQ(fade.Look(), kPlain);
  EXPECT_FALSE(fade.Watching());
  // An opacity at rest alone makes the window layered, never click-through.
  fade.Configure(false, 70);
  EXPECT_EQ(fade.Look(), (StripLook{true, AlphaOf(70), false}));
}

TEST(PointerFadeTest, ArrivalFadesInStepsToFaintAndLetsClicksThroughAtOnce) {
  PointerFade fade;
  fade.Configure(true, 100);
  EXPECT_EQ(fade.Look(), (StripLook{true, 255, false}));
  EXPECT_FALSE(fade.Watching()) << "the steady tick must not look at the pointer";
  fade.PointerArrived(false);
  EXPECT_TRUE(fade.Look().clickThrough);
  const std::vector<int> alphas = FadeAlphas(fade);
  for (size_t i = 1; i < alphas.size(); ++i) EXPECT_LE(alphas[i], alphas[i - 1]) << i;
  EXPECT_LT(alphas.front(), 255);
  EXPECT_EQ(alphas[kFadeTicks], AlphaOf(kFadedOpacity)) << "faint after kFadeTicks ticks";
  EXPECT_EQ(alphas.back(), AlphaOf(kFadedOpacity));
}

TEST(PointerFadeTest, PointerLeavingRestoresTheRestOpacityAndCtrlHoldsItSolidUntilReleased) {
  PointerFade fade;
  fade.Configure(true, 80);
  const StripLook rest{true, AlphaOf(80), false};
  fade.PointerArrived(false);
  FadeAlphas(fade);
  fade.Tick(false, false);
  EXPECT_EQ(fade.Look(), rest) << "the pointer gone";
  EXPECT_FALSE(fade.Watching());
  fade.PointerArrived(true);
  EXPECT_EQ(fade.Look(), rest) << "arrival with Ctrl held";
  EXPECT_TRUE(fade.Watching()) << "Ctrl's release must be seen without a mouse move";
  fade.PointerArrived(false);  // a move while held changes nothing
  EXPECT_FALSE(fade.Look().clickThrough);
  fade.Tick(true, false);
  EXPECT_TRUE(fade.Look().clickThrough);
  // Ctrl pressed over the faded strip brings it back at once.
  FadeAlphas(fade);
  fade.Tick(true, true);
  EXPECT_EQ(fade.Look(), rest) << "Ctrl pressed over the faded strip";
}

TEST(PointerFadeTest, RestOpacityIsKeptInRange) {
  EXPECT_EQ(RestOpacityFrom(0), kMinRestOpacity);
  EXPECT_EQ(RestOpacityFrom(-5), kMinRestOpacity);
  EXPECT_EQ(RestOpacityFrom(250), kMaxRestOpacity);
  EXPECT_EQ(RestOpacityFrom(45), 45);
  EXPECT_EQ(AlphaOf(100), 255);
  EXPECT_EQ(AlphaOf(30), 77);
}

}  // namespace
}  // namespace vo
