#include "driver/console_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace quorlix {
namespace {

TEST(FormatGrouped, PutsACommaBetweenGroupsOfThreeDigits) {
  const struct {
    std::uint64_t value;
    const char* grouped;
  } cases[] = {
      {0, "0"},
      {7, "7"},
      {999, "999"},
      {1000, "1,000"},
      {11025, "11,025"},
      {100000, "100,000"},
      {999999, "999,999"},
      {1000000, "1,000,000"},
      {1102500, "1,102,500"},
      {1234567, "1,234,567"},
      {268425675, "268,425,675"},
      {UINT64_MAX, "18,446,744,073,709,551,615"},
  };
  for (const auto& c : cases) EXPECT_STREQ(FormatGrouped(c.value), c.grouped) << c.value;
}

TEST(ComposeMessage, JoinsPrefixAndNameAndReusesItsBuffer) {
  const char* first = ComposeMessage("Invalid path - ", "nowhere");
  EXPECT_STREQ(first, "Invalid path - nowhere");
  const char* second = ComposeMessage("Unable to open input file - ", "/tmp/capA.tmp");
  EXPECT_STREQ(second, "Unable to open input file - /tmp/capA.tmp");
  EXPECT_STREQ(first, "Unable to open input file - /tmp/capA.tmp") << "one shared buffer";
}

TEST(ComposeMessage, ReportsALongNameWhole) {
  for (std::size_t length : {495u, 496u, 497u, 4000u, 70000u}) {
    std::string name(length, 'p');
    name.back() = 'Z';
    EXPECT_EQ(ComposeMessage("Invalid path - ", name.c_str()), "Invalid path - " + name);
  }
}

}  // namespace
}  // namespace quorlix
