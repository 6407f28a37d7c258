#include "combine/xor_kernels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace quorlix {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Fold = void (*)(std::uint8_t*, const std::uint8_t*, std::size_t);

Bytes RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  Bytes bytes(count);
  for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(byte(generator));
  return bytes;
}

std::vector<std::size_t> TestLengths() {
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 64; ++n) lengths.push_back(n);
  for (std::size_t n : {95, 255, 256, 257, 4103, 11025, 176400}) lengths.push_back(n);
  return lengths;
}

TEST(XorIntoTest, MatchesScalarForManyLengthsAndAlignments) {
  for (std::size_t length : TestLengths()) {
    for (std::size_t targetOffset : {0, 1, 4, 7}) {
      for (std::size_t sourceOffset : {0, 3, 5}) {
        const unsigned seed = static_cast<unsigned>(length * 64 + targetOffset * 8 + sourceOffset);
        const Bytes source = RandomBytes(sourceOffset + length + 8, seed);
        // The bytes past the end, compared too, must come through untouched.
        Bytes expected = RandomBytes(targetOffset + length + 8, seed + 1);
        Bytes actual = expected;
        XorIntoScalar(expected.data() + targetOffset, source.data() + sourceOffset, length);
        XorInto(actual.data() + targetOffset, source.data() + sourceOffset, length);
        ASSERT_EQ(actual, expected) << "length " << length << ", target offset " << targetOffset
                                    << ", source offset " << sourceOffset;
      }
    }
  }
}

TEST(XorIntoTest, RunningBlockHoldsEveryFileFoldedSoFar) {
  // Raw files R1[i] = i, R2 = 0x80 and R3 = 0xFF; the running block must
  // read R1, then R1 ^ R2 = i | 0x80, then R1 ^ R2 ^ R3 = 0x7F - i.
  const std::size_t length = 100;
  Bytes r1(length), r2(length, 0x80), r3(length, 0xFF);
  for (std::size_t i = 0; i < length; ++i) r1[i] = static_cast<std::uint8_t>(i);
  Bytes running(length, 0);
  XorInto(running.data(), r1.data(), length);
  EXPECT_EQ(running, r1);
  XorInto(running.data(), r2.data(), length);
  for (std::size_t i = 0; i < length; ++i)
    EXPECT_EQ(running[i], static_cast<std::uint8_t>(i | 0x80)) << i;
  XorInto(running.data(), r3.data(), length);
  for (std::size_t i = 0; i < length; ++i)
    EXPECT_EQ(running[i], static_cast<std::uint8_t>(0x7F - i)) << i;
}

TEST(RotateXorIntoTest, WorkedExamples) {
  struct Step {
    Bytes source;
    Bytes result;
    unsigned counterAfter;
  };
  const std::vector<Step> steps = {
      {{0x81, 0x81, 0x81}, {0x81, 0x03, 0x06}, 3},
      {{0x81, 0x81}, {0x0C, 0x18}, 5},
  };
  for (Fold fold : {RotateXorIntoScalar, RotateXorInto}) {
    RotationCounter = 0;
    for (const Step& step : steps) {
      Bytes result(step.source.size(), 0);
      fold(result.data(), step.source.data(), step.source.size());
      EXPECT_EQ(result, step.result);
      EXPECT_EQ(RotationCounter, step.counterAfter);
    }
  }
}

TEST(RotateXorIntoTest, OneMidFileIsRotatedByPosition) {
  const Bytes source(9, 0x01);
  const Bytes expected = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x01};
  for (Fold fold : {RotateXorIntoScalar, RotateXorInto}) {
    RotationCounter = 0;
    Bytes result(source.size(), 0);
    fold(result.data(), source.data(), source.size());
    EXPECT_EQ(result, expected);
    EXPECT_EQ(RotationCounter, 1u);
  }
}

TEST(RotateXorIntoTest, CounterRunsOnIntoTheNextMidFile) {
  // 11025 is 1 modulo 8, so the second file's first byte is rotated by 1.
  const Bytes mid(11025, 0x01);
  RotationCounter = 0;
  Bytes result(mid.size(), 0);
  RotateXorInto(result.data(), mid.data(), mid.size());
  RotateXorInto(result.data(), mid.data(), mid.size());
  EXPECT_EQ(result[0], 0x01 ^ 0x02);
  EXPECT_EQ(result[7], 0x80 ^ 0x01);
  EXPECT_EQ(RotationCounter, 2u);
}

TEST(RotateXorIntoTest, MatchesScalarForEveryPhaseLengthAndAlignment) {
  for (unsigned phase = 0; phase < 8; ++phase) {
    for (std::size_t length : TestLengths()) {
      for (std::size_t offset : {0, 3}) {
        const unsigned seed = static_cast<unsigned>(length * 16 + phase * 2 + offset);
        const Bytes source = RandomBytes(offset + length + 8, seed);
        Bytes expected = RandomBytes(offset + length + 8, seed + 1);
        Bytes actual = expected;
        RotationCounter = phase;
        RotateXorIntoScalar(expected.data() + offset, source.data() + offset, length);
        const unsigned expectedCounter = RotationCounter;
        RotationCounter = phase;
        RotateXorInto(actual.data() + offset, source.data() + offset, length);
        ASSERT_EQ(actual, expected)
            << "phase " << phase << ", length " << length << ", offset " << offset;
        ASSERT_EQ(RotationCounter, expectedCounter) << "phase " << phase << ", length " << length;
      }
    }
  }
}

}  // namespace
}  // namespace quorlix
