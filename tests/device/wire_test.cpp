#include <gtest/gtest.h>

#include "device/wire.h"

TEST(ProgramPacket, ShortTailIsPaddedToAMultipleOfFour) {
  std::uint8_t data[13];
  for (int i = 0; i < 13; ++i) data[i] = static_cast<std::uint8_t>(i);
  const ProgramPacket p = ProgramPacket::Make(0x40010000, data);
  std::uint8_t out[22];
  ASSERT_EQ(p.Encode(out), 22u);
  EXPECT_EQ(p.count, 16);
  EXPECT_EQ(out[0], 0x00);
  EXPECT_EQ(out[3], 0x40);
  EXPECT_EQ(out[4], 16);
  EXPECT_EQ(out[18], 12);
  EXPECT_EQ(out[19], 0xFF);
  EXPECT_EQ(out[21], 0xFF);
}
