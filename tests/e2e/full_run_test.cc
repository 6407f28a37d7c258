// Whole runs on the test capture device: every byte of the standard output
// and of the output file is predicted from the samples the device delivers.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>
#include <sstream>
#include <string>

#include "support/reference_run.h"
#include "support/temp_dir.h"
#include "support/test_device.h"
#include "support/tool_runner.h"

namespace quorlix::testing {
namespace {

std::string ExpectedConsole(const RunShape& shape, const std::string& outputName,
                            const Bytes& output, bool listing) {
  const int captures = shape.inputFiles * shape.midFiles;
  const char* grouped = shape.seconds == 1 ? "11,025" : shape.seconds == 2 ? "22,050" : "88,200";
  std::ostringstream text;
  text << "\tFiles to record = " << captures << "\n\tEstimated time = "
       << captures * shape.seconds / 60 << " minute(s)\n\tOutput file size = " << grouped
       << " bytes\nCapturing...\n";
  for (int left = captures; left >= 1; --left) text << '\t' << left << " \r";
  text << "Merging input files...\nMerging mid files...\n\t" << outputName << "\nAnalysis...\n"
       << ReferenceAnalysis(output, listing);
  return text.str();
}

TEST(FullRun, MatchesTheReferenceByteForByte) {
  const struct {
    RunShape shape;
    const char* fifthArgument;
  } cases[] = {
      {{1, 1, 1}, nullptr}, {{2, 3, 1}, nullptr}, {{3, 2, 2}, "/LIST"},
      {{1, 2, 8}, nullptr}, {{2, 1, 1}, "/list"},
  };
  for (const auto& c : cases) {
    const RunShape& shape = c.shape;
    SCOPED_TRACE(std::to_string(shape.inputFiles) + "x" + std::to_string(shape.midFiles) + "x" +
                 std::to_string(shape.seconds));
    const int captures = shape.inputFiles * shape.midFiles;
    NoiseDevice device(LineInNoise(7 + static_cast<std::uint64_t>(captures), static_cast<std::uint64_t>(captures * shape.seconds)));
    TempDir folder;
    testing::WriteTextFile(folder.path + "/already-here", "x");
    std::vector<std::string> args = {folder.path, std::to_string(shape.inputFiles),
                                     std::to_string(shape.midFiles), std::to_string(shape.seconds)};
    if (c.fifthArgument != nullptr) args.push_back(c.fifthArgument);

    ToolResult result = RunQuorlixBinary(args, device.device.home.path);

    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitStatus, 0);
    std::set<std::string> left = ListFolder(folder.path);
    ASSERT_EQ(left.size(), 2u) << "the output file and nothing else is new";
    left.erase("already-here");
    const std::string outputName = folder.path + "/" + *left.begin();
    EXPECT_TRUE(std::regex_match(*left.begin(), std::regex("dat[0-9A-F]{4}\\.tmp")));
    struct stat info;
    ASSERT_EQ(stat(outputName.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    const Bytes expected = ReferenceOutput(ReadWholeFile(device.noisePath), shape);
    const Bytes output = ReadWholeFile(outputName);
    EXPECT_TRUE(output == expected) << "output file differs from the reference";
    EXPECT_EQ(result.out, ExpectedConsole(shape, outputName, expected, c.fifthArgument != nullptr));
  }
}

TEST(FullRun, WithEightSecondCapturesTheFirstCaptureCancels) {
  // With outputSize a multiple of 8 both mid files meet the same rotation
  // pattern, so R1 drops out and the output is R2 rotated byte by byte.
  NoiseDevice device(LineInNoise(99, 16));
  TempDir folder;
  ToolResult result = RunQuorlixBinary({folder.path, "1", "2", "8"}, device.device.home.path);
  ASSERT_EQ(result.exitStatus, 0);
  const Bytes samples = ReadWholeFile(device.noisePath);
  const Bytes second = ReferenceBits(samples.data() + 8 * 176400, 8 * 176400);
  const Bytes output = ReadWholeFile(folder.path + "/" + *ListFolder(folder.path).begin());
  ASSERT_EQ(output.size(), second.size());
  for (std::size_t b = 0; b < output.size(); ++b) {
    unsigned r = b % 8;
    ASSERT_EQ(output[b], ((second[b] << r) | (second[b] >> (8 - r))) & 0xFF) << b;
  }
}

}  // namespace
}  // namespace quorlix::testing
