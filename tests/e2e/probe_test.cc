// quorlix-probe as a user runs it: every form of the command on the same
// synthetic line-in noise must tell the same story, --plan must judge the
// run shapes that cancel, and bad arguments and a dead input end with
// status 1 and one reason.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture/noise_bits.h"
#include "support/sanitized_build.h"
#include "support/strict_json.h"
#include "support/temp_dir.h"
#include "support/test_device.h"
#include "support/tool_runner.h"
#include "support/watched_run.h"

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
    EXPECT_EQ(StrictJsonFault(result.out), "");
    EXPECT_EQ(JsonField(result.out, "noiseBitsPerOutputBit", 1), c.depth);
    EXPECT_EQ(JsonField(result.out, "cancelledCaptures", 1), c.cancelled);
    // With midFiles 1, D is inputFiles, and full entropy only grows with D.
    const double least = JsonNumber(result.out, "leastInputFilesForFullEntropy");
    ASSERT_GT(least, 0);
    const bool full = std::stod(c.depth) >= least;
    EXPECT_EQ(JsonField(result.out, "fullEntropy"), full ? "true" : "false");
    // A plan short of full entropy is no plan to run.
    EXPECT_EQ(result.exitStatus, full ? 0 : 1) << result.err;
    EXPECT_EQ(JsonField(result.out, "reason"), full ? "null" : "\"plan\"");
    // The advice needs no more captures than 2 3 1, which gives D = 12.
    EXPECT_LE(JsonNumber(result.out, "captures"), 6);
    EXPECT_GE(JsonNumber(result.out, "noiseBitsPerOutputBit"), least);
  }
  // Values after '=', and counts read as quorlix reads them (8x is 8).
  const ToolResult text =
        RunProbeBinary({"--bits=" + noise.bitsFile, "--plan=3", "4", "8x"}, home.path);
  EXPECT_NE(text.out.find("Plan 3 4 8: D = 6, 6 of 12 captures cancel,\n"
                          "   min-entropy per output bit 1 - 2^-21.7: NOT full entropy"),
            std::string::npos)
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


// Inputs that must not be called fit, each for its own reason, and the same
// noise as above under a name that is not UTF-8, which is fit; every JSON
// report must satisfy a strict reader.
TEST(Probe, FitOnlyWithHealthyBitsEnoughOfThemAndFullEntropyInReach) {
  NoiseFiles noise;
  TempDir files;
  const std::vector<std::uint8_t> noiseBits = ReadWholeFile(noise.bitsFile);
  std::vector<std::uint8_t> repeated;
  while (repeated.size() < 125000) repeated.insert(repeated.end(), noiseBits.begin(), noiseBits.begin() + 125);
  // The recording ran out after five sixths and was padded with zeros.
  std::vector<std::uint8_t> padded = ReadWholeFile(noise.pcm);
  std::fill(padded.begin() + static_cast<std::ptrdiff_t>(padded.size() / 6 * 5), padded.end(), 0);
  const struct {
    std::string name;
    std::vector<std::uint8_t> content;
    const char* form;
    int exitStatus;
    std::string reason;
  } cases[] = {
        {"alternating.bits", std::vector<std::uint8_t>(125000, 0x55), "--bits", 1, "\"minEntropy\""},
        {"repeated.bits", repeated, "--bits", 1, "\"minEntropy\""},
        {"one-byte.bits", {0xA7}, "--bits", 1, "\"fewBits\""},
        {"constant.bits", std::vector<std::uint8_t>(125000, 0xFF), "--bits", 1, "\"healthTests\""},
        {"padded.pcm", padded, "--pcm", 1, "\"healthTests\""},
        {"we\xFFird\xC3.bits", noiseBits, "--bits", 0, "null"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = files.path + '/' + c.name;
    WriteWholeFile(path, c.content);
    const ToolResult result = RunProbeBinary({"--json", c.form, path}, files.path);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << result.err;
    EXPECT_EQ(StrictJsonFault(result.out), "") << result.out;
    EXPECT_EQ(JsonField(result.out, "fit"), c.exitStatus == 0 ? "true" : "false");
    EXPECT_EQ(JsonField(result.out, "reason"), c.reason);
    EXPECT_EQ(result.err.starts_with("Unfit: "), c.exitStatus == 1) << result.err;
  }
  const ToolResult oneByte = RunProbeBinary({"--json", "--bits", files.path + "/one-byte.bits"}, files.path);
  EXPECT_EQ(JsonField(oneByte.out, "compression"), "null");
  const ToolResult hinted = RunProbeBinary({"--pcm", files.path + "/padded.pcm"}, files.path);
  for (const char* hint : {"left: far more exact zeros than noise gives",
                           "right: runs of exact zeros, as from padding or dropouts",
                           "left: neighbouring samples strongly correlated"}) {
    EXPECT_NE(hinted.out.find(hint), std::string::npos) << hint;
  }
  const ToolResult named = RunProbeBinary({"--json", "--bits", files.path + "/we\xFFird\xC3.bits"}, files.path);
  EXPECT_NE(named.out.find("we\xEF\xBF\xBDird\xEF\xBF\xBD.bits\""), std::string::npos);
  EXPECT_NE(named.out.find("ff6972"), std::string::npos);
}

// However large the input, only the bits to assess are kept: a 600 MB file
// under an address-space limit a whole copy of it would break, and memory
// beside the assessment's own. And where no second thread can be had, the
// assessment runs on one: a thread's stack is as large as the stack limit,
// which here is larger than the address-space limit.
TEST(Probe, GivesItsReportWithinMemoryAndThreadLimits) {
  if (kSanitizedBuild) GTEST_SKIP() << "an address-space limit cannot hold a sanitizer build";
  NoiseFiles noise;
  TempDir files;
  const std::string large = files.path + "/large.bits";
  {
    std::vector<std::uint8_t> bits = ReadWholeFile(noise.bitsFile);
    WriteWholeFile(large, bits);
    // The rest reads as zeros, without taking the disk space.
    ASSERT_EQ(truncate(large.c_str(), 600'000'000), 0);
  }
  const TempDir home;
  WatchedInvocation capped;
  capped.binary = "/usr/bin/prlimit";
  capped.home = home.path;
  capped.args = {"--as=1536000000", ProbeBinary(), "--json", "--bits", large};
  const WatchedResult big = RunWatched(capped);
  EXPECT_EQ(big.tool.exitStatus, 1) << big.tool.err;
  EXPECT_EQ(JsonField(big.tool.out, "noiseBits"), "4800000000");
  EXPECT_EQ(JsonField(big.tool.out, "reason"), "\"healthTests\"");
  EXPECT_LT(big.peakResidentKiB, 64 * 1024);

  const ToolResult free = RunProbeBinary({"--json", "--bits", noise.bitsFile}, home.path);
  capped.args = {"--stack=1073741824", "--as=629145600", ProbeBinary(), "--json", "--bits",
                 noise.bitsFile};
  const WatchedResult oneThread = RunWatched(capped);
  EXPECT_EQ(oneThread.tool.exitStatus, 0) << oneThread.tool.err;
  EXPECT_EQ(oneThread.tool.out, free.out);
}

// Ctrl-C while the input comes through a pipe whose writer is slow.
TEST(Probe, InterruptedWhileReadingAPipe) {
  TempDir files;
  const std::string pipe = files.path + "/pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  int errors[2];
  ASSERT_EQ(::pipe(errors), 0);
  const std::string binary = ProbeBinary();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(errors[1], STDERR_FILENO);
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    execl(binary.c_str(), binary.c_str(), "--bits", pipe.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(errors[1]);
  // The probe opens the pipe only once it handles Ctrl-C, and this open
  // waits for that.
  const int writer = open(pipe.c_str(), O_WRONLY);
  ASSERT_GE(writer, 0);
  const std::vector<std::uint8_t> some(1000, 0x5A);
  ASSERT_EQ(write(writer, some.data(), some.size()), 1000);
  kill(child, SIGINT);
  // No more data comes and the writer stays: only the interrupt can end the
  // probe now. A probe that hangs is killed after a minute.
  int status = 0;
  pid_t ended = 0;
  for (int tenth = 0; tenth < 600 && ended == 0; ++tenth) {
    ended = waitpid(child, &status, WNOHANG);
    if (ended == 0) usleep(100000);
  }
  if (ended == 0) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
  }
  close(writer);
  char text[256] = {};
  const ssize_t got = read(errors[0], text, sizeof text - 1);
  close(errors[0]);
  EXPECT_NE(ended, 0) << "the probe did not end";
  EXPECT_EQ(std::string(text, got > 0 ? static_cast<std::size_t>(got) : 0), "Interrupted\n");
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
}
}  // namespace
}  // namespace quorlix::testing
