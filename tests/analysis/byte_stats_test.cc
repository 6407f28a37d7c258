#include "analysis/byte_stats.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "support/random_bytes.h"

namespace quorlix {
namespace {

using Bytes = std::vector<std::uint8_t>;

using testing::RandomBytes;

Bytes EveryValueOnce() {
  Bytes bytes(256);
  for (std::size_t v = 0; v < 256; ++v) bytes[v] = static_cast<std::uint8_t>(v);
  return bytes;
}

std::string CaptureAnalysis(const Bytes& block, bool listing) {
  std::ostringstream captured;
  std::streambuf* const console = std::cout.rdbuf(captured.rdbuf());
  AnalyzeBytes(block.data(), static_cast<std::uint32_t>(block.size()), listing);
  std::cout.rdbuf(console);
  return captured.str();
}

// One listing cell: the value right-aligned in three places, then the rest,
// blank-padded to 20 characters.
std::string Cell(unsigned value, const std::string& rest) {
  std::string text = std::to_string(value);
  text.insert(0, 3 - text.size(), ' ');
  text += " " + rest;
  text.resize(20, ' ');
  return text;
}

TEST(CountBytesTest, MatchesScalar) {
  struct Case {
    const char* name;
    Bytes block;
  };
  std::vector<Case> cases = {
      {"every value once", EveryValueOnce()},
      {"one value repeated", Bytes(5003, 0xAB)},
      {"large random", RandomBytes(100003, 1)},
  };
  for (std::size_t n = 0; n <= 40; ++n)
    cases.push_back({"short random", RandomBytes(n, static_cast<unsigned>(n))});
  for (const Case& c : cases) {
    EXPECT_EQ(CountBytes(c.block.data(), c.block.size()),
              CountBytesScalar(c.block.data(), c.block.size()))
        << c.name << ", " << c.block.size() << " bytes";
  }
}

TEST(CountBytesTest, CountsEachValueOfARepeatingPattern) {
  // A period of three puts each value in every one of the four tables.
  Bytes block;
  for (int i = 0; i < 1001; ++i) block.push_back(static_cast<std::uint8_t>(0x10 * (i % 3)));
  const ByteCounts counts = CountBytes(block.data(), block.size());
  EXPECT_EQ(counts[0x00], 334u);
  EXPECT_EQ(counts[0x10], 334u);
  EXPECT_EQ(counts[0x20], 333u);
  EXPECT_EQ(counts[0x30], 0u);
}

TEST(AnalyzeBytesTest, EveryValueOnceWithoutListingPrintsOnlyTheMean) {
  EXPECT_EQ(CaptureAnalysis(EveryValueOnce(), false), "\tMean byte = 127.5\n");
}

TEST(AnalyzeBytesTest, EveryValueOnceListsTwoHundredFiftySixCellsThenTheMean) {
  std::string expected;
  for (unsigned v = 0; v < 256; ++v) expected += Cell(v, "1 0.391");
  expected += "\tMean byte = 127.5\n";
  const std::string output = CaptureAnalysis(EveryValueOnce(), true);
  EXPECT_EQ(output.substr(0, 20), "  0 1 0.391         ");
  EXPECT_EQ(output, expected);
}

TEST(AnalyzeBytesTest, AllOnesBlock) {
  const Bytes block(11025, 0xFF);
  EXPECT_EQ(CaptureAnalysis(block, false), "\tMean byte = 255\n");

  std::string expected;
  for (unsigned v = 0; v < 255; ++v) expected += Cell(v, "0 0.000");
  expected += "255 11025 100.000   ";
  expected += "\tMean byte = 255\n";
  EXPECT_EQ(CaptureAnalysis(block, true), expected);
}

TEST(AnalyzeBytesTest, MeanIsRoundedToSixSignificantDigits) {
  // 100247 bytes of 127 and 99753 of 128 average exactly 127.498765.
  Bytes block(100247, 127);
  block.insert(block.end(), 99753, 128);
  EXPECT_EQ(CaptureAnalysis(block, false), "\tMean byte = 127.499\n");
}

}  // namespace
}  // namespace quorlix
