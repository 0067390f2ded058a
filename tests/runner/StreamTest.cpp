#include <gtest/gtest.h>

#include "runner/Stream.h"

using namespace kestro;

TEST(CalcCRC, KnownValues) {
  const uint8_t abc[] = {'a', 'b', 'c'};
  EXPECT_EQ(CalcCRC(abc, 3), 0xCADBBE3Du);
  EXPECT_EQ(CalcCRCReference(abc, 3), 0xCADBBE3Du);
  EXPECT_EQ(CalcCRC(abc, 0), 0xFFFFFFFFu);
}
