#include "analysis/health_tests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace quorlix {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kNever = std::numeric_limits<std::size_t>::max();
constexpr std::size_t kWindow = 1024;

unsigned BitAt(const Bytes& bytes, std::size_t index) {
  return (bytes[index / 8] >> (index % 8)) & 1u;
}

void SetBit(Bytes& bytes, std::size_t index, unsigned value) {
  auto mask = static_cast<std::uint8_t>(1u << (index % 8));
  bytes[index / 8] = static_cast<std::uint8_t>(value != 0 ? bytes[index / 8] | mask
                                                          : bytes[index / 8] & ~mask);
}

// The reference the word-wide code is held to: one bit at a time, straight
// from the rules. Each returns the index of the bit on which the stream first
// fails, or kNever.
std::size_t FirstRunFailure(const Bytes& bytes, std::size_t cutoff = 41) {
  std::size_t run = 0;
  unsigned previous = 0;
  for (std::size_t i = 0; i < bytes.size() * 8; ++i) {
    unsigned bit = BitAt(bytes, i);
    run = (i > 0 && bit == previous) ? run + 1 : 1;
    previous = bit;
    if (run >= cutoff) {
      return i;
    }
  }
  return kNever;
}

std::size_t FirstWindowFailure(const Bytes& bytes) {
  std::size_t total = bytes.size() * 8;
  for (std::size_t start = 0; start < total; start += kWindow) {
    unsigned reference = BitAt(bytes, start);
    std::size_t matches = 0;
    for (std::size_t i = start; i < std::min(start + kWindow, total); ++i) {
      matches += BitAt(bytes, i) == reference ? 1 : 0;
      if (matches >= 793) {
        return i;
      }
    }
  }
  return kNever;
}

std::size_t FirstFailure(const Bytes& bytes) {
  return std::min(FirstRunFailure(bytes), FirstWindowFailure(bytes));
}

// Feeds the stream cut at the given byte offsets, in rising order.
bool FailsWhenCut(const Bytes& bytes, const std::vector<std::size_t>& cuts) {
  HealthTestState state;
  std::size_t fed = 0;
  for (std::size_t cut : cuts) {
    FeedHealthTests(state, bytes.data() + fed, cut - fed);
    fed = cut;
  }
  FeedHealthTests(state, bytes.data() + fed, bytes.size() - fed);
  return HealthTestsFailed(state);
}

std::vector<std::size_t> EveryNBytes(std::size_t size, std::size_t step) {
  std::vector<std::size_t> cuts;
  for (std::size_t cut = step; cut < size; cut += step) {
    cuts.push_back(cut);
  }
  return cuts;
}

// The verdict must not depend on how the stream is cut: whole, at one byte
// in the middle of the feature under test, and in even pieces that put word
// and chunk boundaries everywhere relative to it.
void ExpectVerdictUnderAllCuts(const Bytes& bytes, std::size_t featureByte, bool fails) {
  struct Cutting {
    std::string name;
    std::vector<std::size_t> cuts;
  };
  std::vector<Cutting> cuttings = {
      {"whole", {}},
      {"split at feature", {featureByte}},
      {"split after feature byte", {featureByte + 1}},
      {"bytes", EveryNBytes(bytes.size(), 1)},
      {"3 bytes", EveryNBytes(bytes.size(), 3)},
      {"13 bytes", EveryNBytes(bytes.size(), 13)},
      {"64 bytes", EveryNBytes(bytes.size(), 64)},
  };
  for (const Cutting& cutting : cuttings) {
    EXPECT_EQ(FailsWhenCut(bytes, cutting.cuts), fails) << cutting.name;
  }
  EXPECT_EQ(PassesHealthTests(bytes.data(), bytes.size()), !fails);
}

// 0x55 bytes: bits alternate, so neither test comes near its cutoff.
Bytes Alternating(std::size_t bits) { return Bytes(bits / 8, 0x55); }

TEST(HealthTestsTest, RunOneShortOfTheCutoffPassesAndTheCutoffFailsWherever) {
  // The captures' cutoff of 41 and the output's of 61.
  constexpr std::size_t kBits = 4 * kWindow;
  constexpr std::size_t kEndsInSecondWindow = kNever - 1;
  struct Placement {
    const char* name;
    std::size_t start;  // kNever: the run ends the stream
  };
  const Placement placements[] = {
      {"start of stream", 0},
      {"inside one word", 70},
      {"across a word boundary", 100},
      {"across a window boundary", 1010},
      // Carried into a window, then 15 bits: as far as a run reaches into a
      // window without filling its first 16-bit lane.
      {"ending 15 bits into a window", kEndsInSecondWindow},
      {"odd offset across a word boundary", 187},
      {"end of stream", kNever},
  };
  for (bool output : {false, true}) {
    const std::size_t cutoff = output ? 61 : 41;
    for (const Placement& placement : placements) {
      for (unsigned value : {0u, 1u}) {
        for (std::size_t length : {cutoff - 1, cutoff}) {
          std::size_t start = placement.start;
          if (start == kNever) start = kBits - length;
          if (start == kEndsInSecondWindow) start = kWindow + 15 - length;
          SCOPED_TRACE(std::string(output ? "output, " : "capture, ") + placement.name +
                       ", value " + std::to_string(value) + ", length " + std::to_string(length));
          Bytes bytes = Alternating(kBits);
          for (std::size_t i = start; i < start + length; ++i) {
            SetBit(bytes, i, value);
          }
          if (start > 0) {
            SetBit(bytes, start - 1, 1 - value);
          }
          if (start + length < kBits) {
            SetBit(bytes, start + length, 1 - value);
          }
          bool fails = length == cutoff;
          ASSERT_EQ(FirstRunFailure(bytes, cutoff), fails ? start + cutoff - 1 : kNever);
          ASSERT_EQ(FirstWindowFailure(bytes), kNever);
          if (output) {
            EXPECT_EQ(PassesOutputHealthTests(bytes.data(), bytes.size()), !fails);
          } else {
            ExpectVerdictUnderAllCuts(bytes, (start + length / 2) / 8, fails);
          }
        }
      }
    }
  }
}

// Writes a stretch of the stream whose first bit is reference and in which
// exactly matches bits equal it; the others are spread evenly so that no run
// comes near 41.
void FillWindow(Bytes& bytes, std::size_t start, std::size_t length, unsigned reference,
                std::size_t matches) {
  std::size_t others = length - matches;
  SetBit(bytes, start, reference);
  for (std::size_t j = 1; j < length; ++j) {
    bool other = j * others / (length - 1) != (j - 1) * others / (length - 1);
    SetBit(bytes, start + j, other ? 1 - reference : reference);
  }
}

TEST(HealthTestsTest, WindowOf792PassesAnd793FailsWherever) {
  struct Placement {
    const char* name;
    std::size_t start;
    std::size_t length;  // bits of the window present
    std::size_t streamBits;
  };
  const Placement placements[] = {
      {"first window", 0, kWindow, 4 * kWindow},
      {"third window", 2 * kWindow, kWindow, 4 * kWindow},
      {"last window, ending the stream", 3 * kWindow, kWindow, 4 * kWindow},
      {"trailing partial window of 904 bits", 4 * kWindow, 904, 4 * kWindow + 904},
  };
  for (const Placement& placement : placements) {
    for (unsigned reference : {0u, 1u}) {
      for (std::size_t matches : {std::size_t{792}, std::size_t{793}}) {
        SCOPED_TRACE(std::string(placement.name) + ", reference " + std::to_string(reference) +
                     ", matches " + std::to_string(matches));
        Bytes bytes = Alternating(placement.streamBits);
        FillWindow(bytes, placement.start, placement.length, reference, matches);
        bool fails = matches == 793;
        ASSERT_EQ(FirstRunFailure(bytes), kNever);
        ASSERT_EQ(FirstWindowFailure(bytes) != kNever, fails);
        ExpectVerdictUnderAllCuts(bytes, (placement.start + placement.length / 2) / 8, fails);
        EXPECT_EQ(PassesOutputHealthTests(bytes.data(), bytes.size()), !fails) << "the output's too";
      }
    }
  }
}

TEST(HealthTestsTest, WindowsAreCountedApartFromTheFirstBitOfEach) {
  struct Case {
    const char* name;
    void (*build)(Bytes&);
    std::size_t featureBit;
    bool fails;
  };
  const Case cases[] = {
      // A count that ran on from window to window would reach 1584.
      {"two neighbouring windows of 792", [](Bytes& b) {
         FillWindow(b, 0, kWindow, 1, 792);
         FillWindow(b, kWindow, kWindow, 1, 792);
       }, kWindow, false},
      // 793 ones, but the count is of the first bit's value: 231 zeros.
      {"majority unlike the first bit", [](Bytes& b) { FillWindow(b, kWindow, kWindow, 0, 231); },
       kWindow + 512, false},
      // 793 ones between two window starts: no single window holds them.
      {"793 matches straddling two windows",
       [](Bytes& b) { FillWindow(b, kWindow / 2, kWindow, 1, 793); }, kWindow, false},
      {"793 matches in the window after a straddle", [](Bytes& b) {
         FillWindow(b, kWindow / 2, kWindow, 1, 792);
         FillWindow(b, 2 * kWindow, kWindow, 0, 793);
       }, 2 * kWindow + 512, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = Alternating(4 * kWindow);
    c.build(bytes);
    ASSERT_EQ(FirstRunFailure(bytes), kNever);
    ASSERT_EQ(FirstWindowFailure(bytes) != kNever, c.fails);
    ExpectVerdictUnderAllCuts(bytes, c.featureBit / 8, c.fails);
  }
}

TEST(HealthTestsTest, RepeatedPatterns) {
  struct Case {
    const char* name;
    Bytes pattern;
    std::size_t bytes;
    bool passes;
  };
  const Case cases[] = {
      {"40 zero bits", {0x00}, 5, true},
      {"48 zero bits", {0x00}, 6, false},
      {"40 one bits", {0xFF}, 5, true},
      {"48 one bits", {0xFF}, 6, false},
      {"silence", {0x00}, 11025, false},
      {"all ones", {0xFF}, 11025, false},
      // Runs of one bit and 512 matches per window.
      {"0x55", {0x55}, 11025, true},
      {"0xAA", {0xAA}, 11025, true},
      {"0x55 0xAA, runs of two", {0x55, 0xAA}, 11025, true},
      {"0x00 0xFF, runs of eight", {0x00, 0xFF}, 11025, true},
      // Seven ones in eight: every window starts on a zero and counts 128
      // zeros, so this bias is the proportion test's blind spot by design.
      {"0xFE", {0xFE}, 11025, true},
      // The same bias with windows starting on a one: 896 ones each.
      {"0x7F", {0x7F}, 11025, false},
      // From bit 0 up these hold 46 zeros in a row; read from bit 7 down,
      // only 32.
      {"0x01 0 0 0 0 0x80", {0x01, 0, 0, 0, 0, 0x80}, 6, false},
      {"0x80 0 0 0 0 0x01", {0x80, 0, 0, 0, 0, 0x01}, 6, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes(c.bytes);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      bytes[i] = c.pattern[i % c.pattern.size()];
    }
    ASSERT_EQ(FirstFailure(bytes) == kNever, c.passes);
    ExpectVerdictUnderAllCuts(bytes, bytes.size() / 2, !c.passes);
  }
}

Bytes RandomBytes(std::mt19937_64& rng, std::size_t size) {
  Bytes bytes(size);
  for (std::uint8_t& byte : bytes) {
    byte = static_cast<std::uint8_t>(rng());
  }
  return bytes;
}

TEST(HealthTestsTest, RandomStreamsPass) {
  for (std::size_t size : {std::size_t{11025}, std::size_t{1} << 20}) {
    std::mt19937_64 rng(size);
    Bytes bytes = RandomBytes(rng, size);
    SCOPED_TRACE(size);
    ASSERT_EQ(FirstFailure(bytes), kNever);
    EXPECT_TRUE(PassesHealthTests(bytes.data(), bytes.size()));
    EXPECT_FALSE(FailsWhenCut(bytes, EveryNBytes(size, 11025)));
    EXPECT_FALSE(FailsWhenCut(bytes, EveryNBytes(size, 1001)));
  }
}

TEST(HealthTestsTest, EmptyStreamAndEmptyChunksChangeNothing) {
  EXPECT_TRUE(PassesHealthTests(nullptr, 0));
  // 48 zero bits fail only if the run is carried through the empty chunk.
  Bytes silence(6, 0x00);
  for (std::size_t split = 1; split < silence.size(); ++split) {
    HealthTestState state;
    FeedHealthTests(state, silence.data(), split);
    FeedHealthTests(state, silence.data() + split, 0);
    FeedHealthTests(state, silence.data() + split, silence.size() - split);
    EXPECT_TRUE(HealthTestsFailed(state)) << split;
  }
}

TEST(HealthTestsTest, FailureLastsUntilReset) {
  std::mt19937_64 rng(7);
  Bytes good = RandomBytes(rng, 1 << 16);
  Bytes silence(6, 0x00);

  HealthTestState state;
  FeedHealthTests(state, silence.data(), silence.size());
  ASSERT_TRUE(HealthTestsFailed(state));
  FeedHealthTests(state, good.data(), good.size());
  EXPECT_TRUE(HealthTestsFailed(state));

  ResetHealthTests(state);
  EXPECT_FALSE(HealthTestsFailed(state));
  FeedHealthTests(state, good.data(), good.size());
  EXPECT_FALSE(HealthTestsFailed(state));

  // A failure in the last bits of a chunk sticks as well.
  Bytes tail = good;
  std::fill(tail.end() - 6, tail.end(), std::uint8_t{0xFF});
  ResetHealthTests(state);
  FeedHealthTests(state, tail.data(), tail.size());
  FeedHealthTests(state, good.data(), good.size());
  EXPECT_TRUE(HealthTestsFailed(state));
}

// Runs mostly short, now and then close to the cutoff.
Bytes RunStream(std::mt19937_64& rng, std::size_t size) {
  Bytes bytes(size);
  std::uniform_int_distribution<std::size_t> shortRun(1, 8);
  std::uniform_int_distribution<std::size_t> longRun(30, 45);
  std::bernoulli_distribution rare(0.02);
  unsigned value = static_cast<unsigned>(rng() & 1);
  for (std::size_t i = 0; i < size * 8;) {
    std::size_t run = rare(rng) ? longRun(rng) : shortRun(rng);
    for (std::size_t j = 0; j < run && i < size * 8; ++j, ++i) {
      SetBit(bytes, i, value);
    }
    value = 1 - value;
  }
  return bytes;
}

// Bits biased so that windows land near 793 matches either way.
Bytes BiasedStream(std::mt19937_64& rng, std::size_t size) {
  std::uniform_real_distribution<double> bias(0.70, 0.80);
  double p = bias(rng);
  if ((rng() & 1) != 0) {
    p = 1 - p;
  }
  std::bernoulli_distribution one(p);
  Bytes bytes(size);
  for (std::size_t i = 0; i < size * 8; ++i) {
    SetBit(bytes, i, one(rng) ? 1 : 0);
  }
  return bytes;
}

// After every chunk the verdict must be exactly whether the reference has
// failed by the last bit fed, so a failure found a chunk late or early shows.
TEST(HealthTestsTest, AgreesWithBitByBitReferenceUnderRandomChunking) {
  std::mt19937_64 rng(2024);
  std::uniform_int_distribution<std::size_t> streamSize(1, 3000);
  std::uniform_int_distribution<std::size_t> smallChunk(0, 20);
  std::uniform_int_distribution<std::size_t> largeChunk(0, 700);
  std::size_t passed = 0;
  std::size_t runFailures = 0;
  std::size_t windowFailures = 0;
  constexpr std::size_t kStreams = 1500;
  for (std::size_t n = 0; n < kStreams; ++n) {
    std::size_t size = streamSize(rng);
    Bytes bytes;
    switch (n % 3) {
      case 0: bytes = RandomBytes(rng, size); break;
      case 1: bytes = RunStream(rng, size); break;
      default: bytes = BiasedStream(rng, size); break;
    }
    std::size_t runFailure = FirstRunFailure(bytes);
    std::size_t windowFailure = FirstWindowFailure(bytes);
    std::size_t failure = std::min(runFailure, windowFailure);
    passed += failure == kNever ? 1 : 0;
    runFailures += runFailure < windowFailure ? 1 : 0;
    windowFailures += windowFailure < runFailure ? 1 : 0;

    SCOPED_TRACE("stream " + std::to_string(n) + ", " + std::to_string(size) + " bytes");
    ASSERT_EQ(PassesHealthTests(bytes.data(), bytes.size()), failure == kNever);
    HealthTestState state;
    std::size_t fed = 0;
    while (fed < size) {
      std::size_t chunk = (rng() & 1) != 0 ? smallChunk(rng) : largeChunk(rng);
      chunk = std::min(chunk, size - fed);
      FeedHealthTests(state, bytes.data() + fed, chunk);
      fed += chunk;
      ASSERT_EQ(HealthTestsFailed(state), failure < fed * 8) << "after " << fed << " bytes";
    }
  }
  // The comparison only means something if all three outcomes are common.
  EXPECT_GT(passed, kStreams / 10);
  EXPECT_GT(runFailures, kStreams / 10);
  EXPECT_GT(windowFailures, kStreams / 10);
}

}  // namespace
}  // namespace quorlix
