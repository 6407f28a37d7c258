// D and the prediction built on it, held against the combining code itself:
// the XOR kernels are run in the order the two merges run them, on captures
// with a single bit set, and every output bit counts the noise bits that
// still reach it. (The merges themselves cannot be fed such captures: their
// output fails the health tests, by design.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <vector>

#include "combine/xor_kernels.h"
#include "probe/run_shape.h"

namespace quorlix {
namespace {

struct Arrivals {
  std::int64_t fewestAtAnOutputBit = 0;
  std::int64_t vanishedCaptures = 0;
};

// Stage one XORs the captures into one running block that is copied out
// after every inputFiles of them; stage two folds the copies, in order, with
// the rotation counter starting at 0 as it does in a fresh process.
std::vector<std::uint8_t> CombineAsTheMergesDo(const std::vector<std::vector<std::uint8_t>>& captures,
                                               std::int32_t inputFiles, std::uint32_t outputSize) {
  std::vector<std::uint8_t> running(outputSize, 0);
  std::vector<std::vector<std::uint8_t>> midFiles;
  for (std::size_t c = 0; c < captures.size(); ++c) {
    XorInto(running.data(), captures[c].data(), outputSize);
    if ((c + 1) % static_cast<std::size_t>(inputFiles) == 0) midFiles.push_back(running);
  }
  RotationCounter = 0;
  std::vector<std::uint8_t> result(outputSize, 0);
  for (const auto& mid : midFiles) RotateXorInto(result.data(), mid.data(), outputSize);
  return result;
}

Arrivals TraceEveryNoiseBit(std::int32_t inputFiles, std::int32_t midFiles, std::uint32_t outputSize) {
  const std::size_t captureCount = static_cast<std::size_t>(inputFiles) * midFiles;
  std::vector<std::vector<std::uint8_t>> captures(captureCount,
                                                  std::vector<std::uint8_t>(outputSize, 0));
  std::vector<std::int64_t> reached(outputSize * 8, 0);
  Arrivals arrivals;
  for (std::size_t c = 0; c < captureCount; ++c) {
    bool anyReached = false;
    for (std::size_t bit = 0; bit < outputSize * 8; ++bit) {
      captures[c][bit / 8] = static_cast<std::uint8_t>(1u << (bit % 8));
      const std::vector<std::uint8_t> output = CombineAsTheMergesDo(captures, inputFiles, outputSize);
      captures[c][bit / 8] = 0;
      for (std::size_t out = 0; out < outputSize * 8; ++out) {
        if ((output[out / 8] >> (out % 8)) & 1u) {
          ++reached[out];
          anyReached = true;
        }
      }
    }
    if (!anyReached) ++arrivals.vanishedCaptures;
  }
  arrivals.fewestAtAnOutputBit = *std::min_element(reached.begin(), reached.end());
  return arrivals;
}

struct ShapeCase {
  std::int32_t inputFiles;
  std::int32_t midFiles;
  std::uint32_t outputSize;  // only its remainder mod 8 matters to quorlix
};

TEST(RunShape, CountsTheNoiseBitsTheMergesLeaveInTheWorstOutputBit) {
  const ShapeCase cases[] = {
        {1, 1, 3},   // one capture, once
        {3, 1, 5},   // midFiles 1: D is inputFiles
        {2, 3, 1},   // every mid file rotates one step further
        {2, 4, 8},   // seconds a multiple of 8: mid files alike, even counts vanish
        {3, 3, 16},  // the same with an odd count: the first group stays
        {1, 6, 4},   // rotations 0 and 4 alternate: partly cancelling
        {2, 5, 6},   // rotations 0, 6, 4, 2, 0
        {1, 9, 7},   // nine mid files: one rotation comes back
  };
  for (const ShapeCase& shape : cases) {
    SCOPED_TRACE(::testing::Message() << shape.inputFiles << ' ' << shape.midFiles << " size "
                                    << shape.outputSize);
    const Arrivals traced = TraceEveryNoiseBit(shape.inputFiles, shape.midFiles, shape.outputSize);
    const RunShapeDepth depth = MeasureRunShape(shape.inputFiles, shape.midFiles, shape.outputSize);
    EXPECT_EQ(depth.noiseBitsPerOutputBit, traced.fewestAtAnOutputBit);
    EXPECT_EQ(depth.cancelledCaptures, traced.vanishedCaptures);
  }
}

TEST(RunShape, SecondsModEightDecidesWhetherTheFirstCapturesVanish) {
  // Same shape, one more second: whether the first captures vanish turns on
  // seconds mod 8 alone.
  EXPECT_EQ(MeasureRunShape(5, 2, OutputSizeOfSeconds(8)).cancelledCaptures, 5);
  EXPECT_EQ(MeasureRunShape(5, 2, OutputSizeOfSeconds(8)).noiseBitsPerOutputBit, 5);
  EXPECT_EQ(MeasureRunShape(5, 2, OutputSizeOfSeconds(9)).cancelledCaptures, 0);
  EXPECT_EQ(MeasureRunShape(5, 2, OutputSizeOfSeconds(9)).noiseBitsPerOutputBit, 15);
}

TEST(RunShape, TheCheapestRunHasTheFewestCapturesOfAllThatReachTheDepth) {
  // Against every shape of up to 60 captures and every remainder of seconds.
  for (std::int64_t depth : {1, 2, 7, 10, 12, 26, 40, 61, 100}) {
    SCOPED_TRACE(depth);
    std::int64_t fewest = 0;
    for (std::int32_t inputFiles = 1; inputFiles <= 60; ++inputFiles) {
      for (std::int32_t midFiles = 1; inputFiles * midFiles <= 60; ++midFiles) {
        for (std::int32_t seconds = 1; seconds <= 8; ++seconds) {
          const std::int64_t captures = std::int64_t{inputFiles} * midFiles;
          if (MeasureRunShape(inputFiles, midFiles, OutputSizeOfSeconds(seconds)).noiseBitsPerOutputBit >= depth &&
              (fewest == 0 || captures < fewest)) {
            fewest = captures;
          }
        }
      }
    }
    RunShape shape;
    ASSERT_TRUE(CheapestRunShape(depth, 10, shape));
    EXPECT_EQ(std::int64_t{shape.inputFiles} * shape.midFiles, fewest);
    EXPECT_EQ(shape.depth.noiseBitsPerOutputBit,
              MeasureRunShape(shape.inputFiles, shape.midFiles, OutputSizeOfSeconds(shape.seconds))
                    .noiseBitsPerOutputBit);
    EXPECT_GE(shape.depth.noiseBitsPerOutputBit, depth);
    EXPECT_LE(std::abs(shape.seconds - 10), 4);
  }
  // The wanted seconds stay when they serve; 8 cancels, so 9 serves instead.
  RunShape shape;
  ASSERT_TRUE(CheapestRunShape(10, 10, shape));
  EXPECT_EQ(shape.seconds, 10);
  ASSERT_TRUE(CheapestRunShape(10, 8, shape));
  EXPECT_EQ(shape.seconds, 9);
  ASSERT_TRUE(CheapestRunShape(kMostNoiseBitsPerOutputBit, 1, shape));
  EXPECT_LE(std::int64_t{shape.inputFiles} * shape.midFiles, 65535);
}

TEST(RunShape, CapturesCancelOnceHeldByTheCancellingCountOfMidFiles) {
  for (std::int32_t seconds = 1; seconds <= 24; ++seconds) {
    SCOPED_TRACE(seconds);
    std::int32_t first = 1;
    while (MeasureRunShape(1, first, OutputSizeOfSeconds(seconds)).cancelledCaptures == 0) ++first;
    EXPECT_EQ(CancellingMidFiles(seconds), first);
  }
}

TEST(OutputEntropy, OneNoiseBitKeepsItsOwnAndTheLeastRunIsTheFirstFullOne) {
  for (double h : {0.05, 0.3, 0.5, 0.87, 0.999}) {
    SCOPED_TRACE(h);
    EXPECT_NEAR(PredictOutputEntropy(h, 1).minEntropy, h, 1e-12);
    const std::int32_t least = LeastInputFilesForFullEntropy(h);
    ASSERT_GT(least, 0);
    EXPECT_TRUE(PredictOutputEntropy(h, least).full);
    if (least > 1) {
      EXPECT_FALSE(PredictOutputEntropy(h, least - 1).full);
    }
  }
  // 2e = sqrt(2) - 1 and (2e)^D must fall to about 2^-32 ln 2: D = 26.
  EXPECT_EQ(LeastInputFilesForFullEntropy(0.5), 26);
  EXPECT_EQ(LeastInputFilesForFullEntropy(0.0), 0);
  EXPECT_EQ(LeastInputFilesForFullEntropy(1.0), 1);
}

}  // namespace
}  // namespace quorlix
