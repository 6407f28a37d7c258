// The command line as a user meets it: usage, path and count checks in their
// order, the fifth-argument warning, the plan lines, and exit statuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/test_device.h"
#include "support/tool_runner.h"

namespace quorlix::testing {
namespace {

const char kUsage[] = "Usage:\n\n\tQUORLIX path inputFiles midFiles seconds [/LIST]\n";

struct RefusedCase {
  std::vector<std::string> args;  // "DIR" stands for an existing empty folder
  std::string err;
};

TEST(RefusedCommandLine, PrintsOneTextAndLeavesTheFolderAlone) {
  const RefusedCase cases[] = {
        RefusedCase{{}, kUsage}, RefusedCase{{"DIR", "1", "1"}, kUsage},
        RefusedCase{{"DIR", "1", "1", "1", "/LIST", "x"}, kUsage},
        RefusedCase{{"nowhere", "1", "1", "1"}, "Invalid path - nowhere\n"},
        RefusedCase{{"nowhere", "0", "0", "0"}, "Invalid path - nowhere\n"},
        RefusedCase{{"DIR", "0", "1", "1"}, "InputFiles must be >= 1\n"},
        RefusedCase{{"DIR", "-3", "1", "1"}, "InputFiles must be >= 1\n"},
        RefusedCase{{"DIR", "abc", "1", "1"}, "InputFiles must be >= 1\n"},
        RefusedCase{{"DIR", "0", "0", "0"}, "InputFiles must be >= 1\n"},
        RefusedCase{{"DIR", "-99999999999", "1", "1"}, "InputFiles must be >= 1\n"},
        RefusedCase{{"DIR", "1", "0", "1"}, "MidFiles must be >= 1\n"},
        RefusedCase{{"DIR", "1", "x1", "0"}, "MidFiles must be >= 1\n"},
        RefusedCase{{"DIR", "1", "1", "0"}, "Seconds must be >= 1\n"},
        RefusedCase{{"DIR", "1", "1", "0", "/LST"}, "Seconds must be >= 1\n"},
        RefusedCase{{"DIR", "1", "1", "24348"}, "Seconds must be <= 24347\n"},
        RefusedCase{{"DIR", "1", "1", "99999999999"}, "Seconds must be <= 24347\n"},
        RefusedCase{{"DIR", "256", "257", "1"}, "InputFiles x MidFiles must be <= 65535\n"},
        RefusedCase{{"DIR", "99999999999", "1", "1"}, "InputFiles x MidFiles must be <= 65535\n"},
        RefusedCase{{"DIR", "99999999999", "1", "0", "/LST"}, "Seconds must be >= 1\n"},
        RefusedCase{{"DIR", "1", "1", "1"}, "Unable to create DirectSoundCapture8 interface\n"},
        RefusedCase{{"DIR", "1", "1", "1", "/LST"},
                    "Invalid argument - /LST\nUnable to create DirectSoundCapture8 interface\n"}};
  for (const RefusedCase& c : cases) {
    TempDir folder;
    ConfiguredDevice device(kMissingDeviceConfig);
    std::vector<std::string> args = c.args;
    std::string shown;
    for (std::string& arg : args) {
      shown += arg + ' ';
      if (arg == "DIR") arg = folder.path;
    }
    SCOPED_TRACE(shown);
    ToolResult result = RunQuorlixBinary(args, device.home.path);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(ListFolder(folder.path).empty());
  }
}

struct PlanCase {
  std::vector<std::string> counts;  // inputFiles, midFiles, seconds
  std::string plan;
};

TEST(PlanLines, AreTheFirstLinesOfAValidRun) {
  const PlanCase cases[] = {
        PlanCase{{"1", "1", "1"},
                 "\tFiles to record = 1\n\tEstimated time = 0 minute(s)\n"
                 "\tOutput file size = 11,025 bytes\nCapturing...\n\t1 \r"},
        PlanCase{{"59", "1", "1"},
                 "\tFiles to record = 59\n\tEstimated time = 0 minute(s)\n"
                 "\tOutput file size = 11,025 bytes\nCapturing...\n\t59 \r\t58 \r"},
        PlanCase{{"3", "20", "1"},
                 "\tFiles to record = 60\n\tEstimated time = 1 minute(s)\n"
                 "\tOutput file size = 11,025 bytes\n"},
        PlanCase{{"1", "119", "1"},
                 "\tFiles to record = 119\n\tEstimated time = 1 minute(s)\n"
                 "\tOutput file size = 11,025 bytes\n"},
        PlanCase{{"1", "1", "100"},
                 "\tFiles to record = 1\n\tEstimated time = 1 minute(s)\n"
                 "\tOutput file size = 1,102,500 bytes\n"},
        PlanCase{{" +2", "3junk", "1", "/list"},
                 "\tFiles to record = 6\n\tEstimated time = 0 minute(s)\n"
                 "\tOutput file size = 11,025 bytes\n"}};
  for (const PlanCase& c : cases) {
    SCOPED_TRACE(c.counts[0] + " " + c.counts[1] + " " + c.counts[2]);
    TempDir folder;
    TestDevice device("/dev/urandom");
    std::vector<std::string> args = {folder.path};
    args.insert(args.end(), c.counts.begin(), c.counts.end());
    ToolResult result = RunQuorlixBinary(args, device.home.path);
    EXPECT_EQ(result.out.substr(0, c.plan.size()), c.plan);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitStatus, 0);
  }
}

TEST(InvalidFifthArgument, IsAWarningAndTheRunSucceeds) {
  TempDir folder;
  TestDevice device("/dev/urandom");
  ToolResult result = RunQuorlixBinary({folder.path, "1", "1", "1", "/LST"}, device.home.path);
  EXPECT_EQ(result.err, "Invalid argument - /LST\n");
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out.find("  0 "), std::string::npos) << "no listing without /LIST";
  EXPECT_EQ(ListFolder(folder.path).size(), 1u);
}

}  // namespace
}  // namespace quorlix::testing
