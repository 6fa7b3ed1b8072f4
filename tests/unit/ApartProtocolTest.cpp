#include "PlugIns/ApartProtocol.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace vo::apart {
namespace {

TEST(ApartProtocol, DateTimeCrossesInTwoHalvesBitForBit) {
  for (const double value : {45000.123456789, 0.0, -1.5, 1e-300,
                             std::numeric_limits<double>::infinity()}) {
    const auto [low, high] = SplitDateTime(value);
    const double back = JoinDateTime(low, high);
    EXPECT_EQ(0, std::memcmp(&value, &back, sizeof value)) << value;
  }
  const auto [low, high] = SplitDateTime(1.0);  // 0x3FF00000'00000000
  EXPECT_EQ(0u, low);
  EXPECT_EQ(0x3FF00000u, high);
}

TEST(ApartProtocol, TelopRoundTripsAndRejectsMalformedBytes) {
  const auto packed = PackTelop("時報 15:00", "C:\\w.wav");
  const auto telop = UnpackTelop(packed);
  ASSERT_TRUE(telop);
  EXPECT_EQ("時報 15:00", telop->text);
  EXPECT_EQ("C:\\w.wav", telop->wave);

  const auto empty = UnpackTelop(PackTelop("", ""));
  ASSERT_TRUE(empty);
  EXPECT_EQ("", empty->text);
  EXPECT_EQ("", empty->wave);

  // From a helper that went wrong: no terminator, one string only, bytes after the second.
  const std::string unterminated = "abc";
  EXPECT_FALSE(UnpackTelop(unterminated));
  const std::string one("abc\0", 4);
  EXPECT_FALSE(UnpackTelop(one));
  const std::string trailing("a\0b\0c", 5);
  EXPECT_FALSE(UnpackTelop(trailing));
  EXPECT_FALSE(UnpackTelop(std::span<const char>()));
}

TEST(ApartProtocol, DescriptionIsCutToItsFieldAndReadNoFurther) {
  SharedBlock block{};
  StoreDescription(block, std::string(kDescriptionBytes + 10, 'x'));
  EXPECT_EQ(kDescriptionBytes - 1, DescriptionOf(block).size());
  // A helper that wrote no terminator: the text ends with the field.
  std::memset(block.description, 'y', kDescriptionBytes);
  EXPECT_EQ(std::string(kDescriptionBytes, 'y'), DescriptionOf(block));
}

}  // namespace
}  // namespace vo::apart
