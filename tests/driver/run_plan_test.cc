#include "driver/run_plan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "driver/failure.h"

namespace quorlix {
namespace {

TEST(ReadDecimal, ReadsLikeAtolAndClampsToThirtyTwoBits) {
  const struct {
    const char* text;
    std::int32_t value;
  } cases[] = {
      {"0", 0},
      {"17", 17},
      {"+17", 17},
      {"-17", -17},
      {"  \t\n 42", 42},
      {"42abc", 42},
      {"4 2", 4},
      {"abc", 0},
      {"", 0},
      {"-", 0},
      {"+-3", 0},
      {" - 3", 0},
      {"0x10", 0},
      {"007", 7},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"-2147483648", INT32_MIN},
      {"-2147483649", INT32_MIN},
      {"99999999999999999999999999999", 2147483647},
      {"-99999999999999999999999999999", INT32_MIN},
      {"00000000000000000000000000005", 5},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadDecimal(c.text), c.value) << '"' << c.text << '"';
}

RunPlan Read(std::vector<const char*> args) {
  args.insert(args.begin(), "quorlix");
  return ReadRunPlan(static_cast<int>(args.size()), args.data());
}

std::string Refusal(std::vector<const char*> args) {
  try {
    Read(args);
  } catch (const FailureMessage& failure) {
    return failure.text;
  }
  return "";
}

TEST(ReadRunPlan, DerivesTheSizes) {
  RunPlan plan = Read({".", "2", "3", "100"});
  EXPECT_EQ(plan.inputFiles, 2);
  EXPECT_EQ(plan.midFiles, 3);
  EXPECT_EQ(plan.seconds, 100);
  EXPECT_EQ(plan.totalCaptures, 6);
  EXPECT_EQ(plan.captureBytes, 17640000u);
  EXPECT_EQ(plan.outputSize, 1102500u);
  EXPECT_FALSE(plan.listing);
  EXPECT_EQ(plan.invalidArgument, nullptr);

  RunPlan largest = Read({".", "255", "257", "24347"});
  EXPECT_EQ(largest.captureBytes, 4294810800u);
  EXPECT_EQ(largest.outputSize, 268425675u);
  EXPECT_EQ(largest.totalCaptures, 65535);
  EXPECT_EQ(EstimatedMinutes(largest), 65535LL * 24347 / 60);
}

TEST(ReadRunPlan, TakesTheListingFlagInAnyCase) {
  for (const char* flag : {"/LIST", "/list", "/LiSt"}) EXPECT_TRUE(Read({".", "1", "1", "1", flag}).listing);
  for (const char* other : {"/LST", "/LISTS", "/LIS", "LIST", "", "-list"}) {
    RunPlan plan = Read({".", "1", "1", "1", other});
    EXPECT_FALSE(plan.listing) << other;
    EXPECT_STREQ(plan.invalidArgument, other);
  }
}

TEST(ReadRunPlan, ChecksInOrderAndReportsTheFirstOffender) {
  EXPECT_EQ(Refusal({".", "1"}), "Usage:\n\n\tQUORLIX path inputFiles midFiles seconds [/LIST]");
  EXPECT_EQ(Refusal({"/no/such/place", "0", "0", "0"}), "Invalid path - /no/such/place");
  EXPECT_EQ(Refusal({".", "0", "0", "0"}), "InputFiles must be >= 1");
  EXPECT_EQ(Refusal({".", "1", "0", "0"}), "MidFiles must be >= 1");
  EXPECT_EQ(Refusal({".", "1", "1", "0", "/LST"}), "Seconds must be >= 1");
  EXPECT_EQ(Refusal({".", "65536", "1", "24348"}), "Seconds must be <= 24347");
  EXPECT_EQ(Refusal({".", "65536", "1", "24347"}), "InputFiles x MidFiles must be <= 65535");
  EXPECT_EQ(Refusal({".", "65535", "1", "24347"}), "");
}

TEST(EstimatedMinutes, TruncatesWholeMinutes) {
  const struct {
    const char* inputFiles;
    const char* seconds;
    std::int64_t minutes;
  } cases[] = {{"59", "1", 0}, {"60", "1", 1}, {"119", "1", 1}, {"1", "120", 2}, {"3", "7", 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(EstimatedMinutes(Read({".", c.inputFiles, "1", c.seconds})), c.minutes);
  }
}

}  // namespace
}  // namespace quorlix
