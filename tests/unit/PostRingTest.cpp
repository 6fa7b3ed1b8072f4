#include <gtest/gtest.h>

#include <string>

#include "support/PostRing.h"

namespace vo {
namespace {

// A pointer handed out survives the posts that may overtake it; its slot is the next to be
// written only once every other slot has been.
TEST(PostRing, KeepsEachItemUntilEverySlotHasBeenUsedAgain) {
  PostRing<std::string, 4> ring;
  const std::string& first = ring.Keep("first");
  const char* text = first.c_str();
  for (const char* later : {"second", "third", "fourth"}) {
    EXPECT_NE(&ring.Keep(later), &first);
    EXPECT_STREQ(text, "first");
  }
  EXPECT_EQ(&ring.Keep("fifth"), &first);
}

}  // namespace
}  // namespace vo
