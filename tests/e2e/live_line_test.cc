// The live line of a run: on a terminal the countdown also shows how far the
// capture is, the time left and the noise level of each channel; through a
// pipe the standard output is the countdown alone, byte for byte.
#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>

#include "support/reference_run.h"
#include "support/run_checks.h"
#include "support/temp_dir.h"
#include "support/test_device.h"
#include "support/watched_run.h"

namespace quorlix::testing {
namespace {

// Five seconds whose left samples are +3 or -3 LSB and right ones +10 or
// -10, each sign followed by its opposite: every second of them has a mean
// of 0 and a noise level of exactly 3 and 10 LSB.
Bytes KnownLevelSamples() {
  Bytes samples;
  std::mt19937 signs(5);
  for (int pair = 0; pair < 5 * 44100 / 2; ++pair) {
    const int left = signs() % 2 == 0 ? 3 : -3;
    const int right = signs() % 2 == 0 ? 10 : -10;
    for (const int value : {left, right, -left, -right}) {
      samples.push_back(static_cast<std::uint8_t>(value & 0xFF));
      samples.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    }
  }
  return samples;
}

TEST(LiveLine, ShowsOnATerminalAndNeverThroughAPipe) {
  const Bytes samples = KnownLevelSamples();
  const std::string plan =
      "\tFiles to record = 1\n\tEstimated time = 0 minute(s)\n"
      "\tOutput file size = 55,125 bytes\nCapturing...\n\t1 \r";
  // The line starts at once, and ends with the whole capture, the second
  // that was measured last, and blanks over itself.
  const std::string live =
      "\t1  capture 0%  0:05 left\r"
      "(\t1  capture [0-9]{1,3}%  0:0[0-5] left(  noise L [0-9.]+ R [0-9.]+ LSB)? *\r)*"
      "\t1  capture 100%  0:00 left  noise L 3\\.0 R 10\\.0 LSB\r"
      "\t {50}\r";
  for (const bool terminal : {false, true}) {
    SCOPED_TRACE(terminal ? "terminal" : "pipe");
    NoiseDevice device(samples);
    TempDir folder;
    WatchedInvocation invocation;
    invocation.args = {folder.path, "1", "1", "5"};
    invocation.home = device.device.home.path;
    invocation.terminal = terminal;

    const ToolResult result = RunWatched(invocation).tool;

    ASSERT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.err, "");
    const std::string outputName = folder.path + "/" + *ListFolder(folder.path).begin();
    const std::string rest = "Merging input files...\nMerging mid files...\n\t" + outputName +
                             "\nAnalysis...\n" +
                             ReferenceAnalysis(ReadWholeFile(outputName), false);
    if (terminal) {
      EXPECT_TRUE(std::regex_match(result.out, std::regex(RegexQuoted(plan) + live +
                                                          RegexQuoted(rest))))
          << result.out;
    } else {
      EXPECT_EQ(result.out, plan + rest);
    }
  }
}

}  // namespace
}  // namespace quorlix::testing
