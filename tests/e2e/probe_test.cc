// quorlix-probe as a user runs it: every form of the command on the same
// synthetic line-in noise must tell the same story, --plan must judge the
// run shapes that cancel, and bad arguments and a dead input end with
// status 1 and one reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture/noise_bits.h"
#include "support/temp_dir.h"
#include "support/test_device.h"
#include "support/tool_runner.h"

namespace quorlix::testing {
namespace {

constexpr std::size_t kTwelveSeconds = 12 * 176400;

// The raw token after the n-th "key": in a JSON text, up to the next
// separator; empty when there is no such key.
std::string JsonField(const std::string& json, const std::string& key, int occurrence = 0) {
  std::size_t at = 0;
  for (int seen = 0; seen <= occurrence; ++seen) {
    at = json.find('"' + key + "\": ", at);
    if (at == std::string::npos) return "";
    at += key.size() + 4;
  }
  return json.substr(at, json.find_first_of(",}]\n", at) - at);
}

double JsonNumber(const std::string& json, const std::string& key, int occurrence = 0) {
  const std::string token = JsonField(json, key, occurrence);
  return token.empty() ? -1 : std::strtod(token.c_str(), nullptr);
}

// The noise files every test here reads: 12 s of samples, and their noise
// bits extracted by quorlix's reference form.
struct NoiseFiles {
  NoiseFiles() {
    samples = LineInNoise(41, 13);
    const std::vector<std::uint8_t> twelve(samples.begin(), samples.begin() + kTwelveSeconds);
    std::vector<std::uint8_t> bits(kTwelveSeconds / 16, 0);
    ExtractNoiseBitsScalar(bits.data(), twelve.data(), twelve.size());
    for (std::uint8_t byte : bits) ones += static_cast<unsigned>(std::popcount(byte));
    pcm = folder.path + "/noise.pcm";
    bitsFile = folder.path + "/noise.bits";
    WriteWholeFile(pcm, twelve);
    WriteWholeFile(bitsFile, bits);
  }
  TempDir folder;
  std::vector<std::uint8_t> samples;  // 13 s, for the capture device
  std::string pcm;
  std::string bitsFile;
  unsigned ones = 0;
};

std::string AfterFirstLine(const std::string& text) { return text.substr(text.find('\n') + 1); }

TEST(Probe, RecordingAndPcmFileOfTheSameSamplesGiveTheSameFullReport) {
  NoiseFiles noise;
  NoiseDevice device(noise.samples);
  const ToolResult recorded = RunProbeBinary({}, device.device.home.path);
  const ToolResult fromFile = RunProbeBinary({"--pcm", noise.pcm}, device.device.home.path);
  EXPECT_EQ(recorded.err, "");
  EXPECT_EQ(recorded.exitStatus, 0);
  EXPECT_EQ(fromFile.exitStatus, 0);
  EXPECT_TRUE(recorded.out.starts_with(
        "quorlix-probe: 12 s recorded from the default capture device\n"));
  EXPECT_EQ(AfterFirstLine(recorded.out), AfterFirstLine(fromFile.out));
  for (const char* expected :
       {"1. Samples", "529,200         529,200", "2. Noise bits", "1,058,400 bits", ": passed",
        "3. Min-entropy", "of the first 1,000,000 bits", "set by", "4. What it means",
        "Assuming the noise bits are independent", "\n     quorlix path ", "\nFit: "}) {
    EXPECT_NE(fromFile.out.find(expected), std::string::npos) << expected;
  }
}

TEST(Probe, JsonFromPcmAndFromItsNoiseBitsAgreeWithTheBitsQuorlixKeeps) {
  NoiseFiles noise;
  TempDir home;
  const ToolResult pcm = RunProbeBinary({"--json", "--pcm", noise.pcm}, home.path);
  const ToolResult bits = RunProbeBinary({"--bits", noise.bitsFile, "--json"}, home.path);
  ASSERT_EQ(pcm.exitStatus, 0) << pcm.err;
  ASSERT_EQ(bits.exitStatus, 0) << bits.err;
  for (const ToolResult* result : {&pcm, &bits}) {
    EXPECT_TRUE(result->out.starts_with("{") && result->out.ends_with("}\n")) << result->out;
    EXPECT_EQ(JsonField(result->out, "bits"), "1000000");
    EXPECT_EQ(JsonField(result->out, "noiseBits"), "1058400");
    EXPECT_EQ(JsonField(result->out, "onesShare"),
              std::to_string(static_cast<double>(noise.ones) / 1058400.0));
    double least = 1;
    for (const char* key : {"mostCommonValue", "collision", "markov", "compression", "tTuple",
                            "longestRepeatedSubstring", "multiMostCommonInWindow", "lag",
                            "multiMarkovModelWithCounting", "lz78y"}) {
      const double value = JsonNumber(result->out, key);
      EXPECT_GT(value, 0) << key;
      EXPECT_LE(value, 1) << key;
      least = std::min(least, value);
    }
    EXPECT_EQ(JsonNumber(result->out, "assessed"), least);
    EXPECT_EQ(JsonField(result->out, "fit"), "true");
  }
  const auto minEntropyObject = [](const std::string& json) {
    const std::size_t start = json.find("\"minEntropy\"");
    return json.substr(start, json.find('}', start) - start);
  };
  EXPECT_EQ(minEntropyObject(pcm.out), minEntropyObject(bits.out));
  // The synthetic noise's own DC offsets, 23 and -17 LSB.
  EXPECT_NEAR(JsonNumber(pcm.out, "dcOffset", 0), 23, 0.5);
  EXPECT_NEAR(JsonNumber(pcm.out, "dcOffset", 1), -17, 0.5);
  EXPECT_EQ(JsonField(bits.out, "channels"), "[");
}

TEST(Probe, PlanGivesDAndTheCapturesThatCancel) {
  NoiseFiles noise;
  TempDir home;
  const struct {
    std::vector<std::string> plan;
    std::string depth;
    std::string cancelled;
  } cases[] = {
        {{"3", "4", "8"}, "6", "6"},    // seconds a multiple of 8, even mid file count
        {{"2", "2", "16"}, "2", "2"},
        {{"3", "3", "24"}, "6", "3"},   // odd count: the first group stays
        {{"3", "4", "9"}, "30", "0"},   // every mid file rotates one further
        {{"40", "1", "1"}, "40", "0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.plan[0] + ' ' + c.plan[1] + ' ' + c.plan[2]);
    const ToolResult result = RunProbeBinary(
          {"--json", "--bits", noise.bitsFile, "--plan", c.plan[0], c.plan[1], c.plan[2]},
          home.path);
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(JsonField(result.out, "noiseBitsPerOutputBit"), c.depth);
    EXPECT_EQ(JsonField(result.out, "cancelledCaptures"), c.cancelled);
    // With midFiles 1, D is inputFiles, and full entropy only grows with D.
    const double least = JsonNumber(result.out, "leastInputFilesForFullEntropy");
    ASSERT_GT(least, 0);
    EXPECT_EQ(JsonField(result.out, "fullEntropy"), std::stod(c.depth) >= least ? "true" : "false");
  }
  // Values after '=', and counts read as quorlix reads them (8x is 8).
  const ToolResult text =
        RunProbeBinary({"--bits=" + noise.bitsFile, "--plan=3", "4", "8x"}, home.path);
  EXPECT_NE(text.out.find("Plan 3 4 8: D = 6, 6 of 12 captures cancel"), std::string::npos)
        << text.out;
}

TEST(Probe, RefusesBadArgumentsAndDeadInputWithOneReason) {
  TempDir files;
  const std::string zeros = files.path + "/zeros.bits";
  WriteWholeFile(zeros, std::vector<std::uint8_t>(20000, 0));
  const std::string usage =
        "Usage:\n\n\tquorlix-probe [--json] [--device NAME] [seconds]\n"
        "\tquorlix-probe [--json] --pcm FILE\n"
        "\tquorlix-probe [--json] --bits FILE\n"
        "\tany of them followed by --plan inputFiles midFiles seconds\n"
        "\tquorlix-probe [--json] --list\n";
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
        {{"--pcm"}, usage},
        {{"--bits", zeros, "--pcm", zeros}, usage},
        {{"12", "--bits", zeros}, usage},
        {{"--jsonx"}, usage},
        {{"--json=1"}, usage},
        {{"abc"}, "Seconds must be >= 1\n"},
        {{"--plan", "1", "1"}, usage},
        {{"--list", "12"}, usage},
        {{"--device=x", "--bits", zeros}, usage},
        {{"--device"}, usage},
        {{"0"}, "Seconds must be >= 1\n"},
        {{"24348"}, "Seconds must be <= 24347\n"},
        {{"--bits", zeros, "--plan", "0", "1", "1"}, "InputFiles must be >= 1\n"},
        {{"--bits", zeros, "--plan", "256", "257", "1"}, "InputFiles x MidFiles must be <= 65535\n"},
        {{"--bits", files.path + "/none"}, "Unable to open input file - " + files.path + "/none\n"},
        {{"--pcm", files.path}, "Unable to read input file - " + files.path + "\n"},
        // quorlix's fixed text, then ALSA's own reason.
        {{}, "Unable to create DirectSoundCapture8 interface - Invalid card index 99\n"},
  };
  ConfiguredDevice missing(kMissingDeviceConfig);
  for (const auto& c : cases) {
    std::string shown;
    for (const std::string& arg : c.args) shown += arg + ' ';
    SCOPED_TRACE(shown);
    const ToolResult result = RunProbeBinary(c.args, missing.home.path);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.exitStatus, 1);
  }
  for (const char* asked : {"--help", "--version"}) {
    const ToolResult result = RunProbeBinary({asked, "--bogus"}, missing.home.path);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(result.out.starts_with(asked[2] == 'h' ? usage : "quorlix-probe 0.")) << result.out;
  }
  const ToolResult dead = RunProbeBinary({"--bits", zeros}, missing.home.path);
  EXPECT_EQ(dead.exitStatus, 1);
  EXPECT_NE(dead.out.find("Warning: only 160,000 bits"), std::string::npos);
  EXPECT_TRUE(dead.out.ends_with("\nUnfit: the noise bits failed the health tests (41 equal bits "
                                 "in a row, or 793 alike in a 1024-bit window), as a muted, dead "
                                 "or stuck input does.\n"))
        << dead.out;
}

}  // namespace
}  // namespace quorlix::testing
