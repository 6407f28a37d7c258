// Dead input never comes out as random bytes: each capture's bits are
// health-tested (a warning names a dead capture, the run goes on), and the
// output is tested before it is written (a dead output ends the run with no
// file).
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <set>
#include <string>

#include "support/random_bytes.h"
#include "support/reference_run.h"
#include "support/temp_dir.h"
#include "support/test_device.h"
#include "support/tool_runner.h"

namespace quorlix::testing {
namespace {

// Samples whose bit 0 always equals bit 8: a lively waveform that still
// carries no noise bits at all.
Bytes NoBitsButNoisyWaveform(std::size_t bytes) {
  std::mt19937 generator(5);
  Bytes samples(bytes);
  for (std::size_t i = 0; i < bytes; i += 2) {
    samples[i] = static_cast<std::uint8_t>(generator());
    samples[i + 1] = static_cast<std::uint8_t>((generator() & 0xFE) | (samples[i] & 1));
  }
  return samples;
}

TEST(HealthTests, DeadInputWarnsPerCaptureAndWritesNoOutput) {
  const struct {
    const char* name;
    Bytes samples;  // empty: read /dev/zero
  } cases[] = {{"silence", {}}, {"bit 0 equals bit 8", NoBitsButNoisyWaveform(6 * 176400)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir files;
    std::string infile = "/dev/zero";
    if (!c.samples.empty()) {
      infile = files.path + "/noise.raw";
      WriteWholeFile(infile, c.samples);
    }
    TestDevice device(infile);
    TempDir folder;
    WriteTextFile(folder.path + "/already-here", "");
    ToolResult result = RunQuorlixBinary({folder.path, "2", "3", "1"}, device.home.path);
    std::string warnings;
    for (int capture = 1; capture <= 6; ++capture) {
      warnings += "Warning: capture " + std::to_string(capture) + " failed the noise health test\n";
    }
    EXPECT_EQ(result.err, warnings + "Output failed the noise health test\n");
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_TRUE(result.out.ends_with("\t1 \rMerging input files...\nMerging mid files...\n"));
    EXPECT_EQ(ListFolder(folder.path), std::set<std::string>{"already-here"});
  }
}

TEST(HealthTests, OneDeadCaptureAmongLiveOnesIsNamedAndTheRunSucceeds) {
  Bytes samples = LineInNoise(21, 3);
  std::fill(samples.begin() + 176400, samples.begin() + 2 * 176400, 0);
  NoiseDevice device(samples);
  TempDir folder;
  ToolResult result = RunQuorlixBinary({folder.path, "1", "3", "1"}, device.device.home.path);
  EXPECT_EQ(result.err, "Warning: capture 2 failed the noise health test\n");
  EXPECT_EQ(result.exitStatus, 0);
  ASSERT_EQ(ListFolder(folder.path).size(), 1u);
  const Bytes output = ReadWholeFile(folder.path + "/" + *ListFolder(folder.path).begin());
  EXPECT_TRUE(output == ReferenceOutput(samples, {1, 3, 1}));
}

TEST(HealthTests, OutputOfRealisticLineInNoisePassesTheAssessment) {
  const RunShape shape = {4, 4, 10};
  NoiseDevice device(LineInNoise(2024, 160));
  TempDir folder;
  ToolResult run = RunQuorlixBinary({folder.path, "4", "4", "10"}, device.device.home.path);
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::string output = folder.path + "/" + *ListFolder(folder.path).begin();
  EXPECT_TRUE(ReadWholeFile(output) == ReferenceOutput(ReadWholeFile(device.noisePath), shape));

  ToolInvocation assess;
  assess.binary = "/bin/bash";
  assess.args = {SourceDir() + "/scripts/assess", output};
  assess.home = folder.path;
  ToolResult verdict = RunTool(assess);
  EXPECT_EQ(verdict.exitStatus, 0) << verdict.out << verdict.err;
  EXPECT_TRUE(verdict.out.ends_with("verdict: nothing looks wrong\n")) << verdict.out;
}

TEST(Assess, TakesAnyFileNameAndTellsAFailedToolFromASuspiciousFile) {
  // A name that would break out of quotes, or pass for an option; a tool
  // that fails must not read as the verdict "suspicious" (1), nor leave
  // anything beside the file.
  const struct {
    const char* name;
    bool plotFails;
    int status;
  } cases[] = {
      {"it's \"odd\" $HOME `x`", false, 0},
      {"-looks like an option", false, 0},
      {"it's plotted by a failing gnuplot", true, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir folder;
    const Bytes random = RandomBytes(30000, 7);
    WriteTextFile(folder.path + "/" + c.name, std::string(random.begin(), random.end()));
    std::string path = "/usr/bin:/bin";
    if (c.plotFails) {
      std::filesystem::create_directory(folder.path + "/bin");
      WriteTextFile(folder.path + "/bin/gnuplot", "#!/bin/sh\nexit 1\n");
      std::filesystem::permissions(folder.path + "/bin/gnuplot", std::filesystem::perms::owner_all);
      path = folder.path + "/bin:" + path;
    }
    ToolInvocation assess;
    assess.binary = "/usr/bin/env";
    assess.args = {"PATH=" + path, "bash", SourceDir() + "/scripts/assess",
                   folder.path + "/" + c.name};
    assess.home = folder.path;
    const ToolResult verdict = RunTool(assess);

    EXPECT_EQ(verdict.exitStatus, c.status) << verdict.out << verdict.err;
    std::set<std::string> expected = {c.name};
    if (c.status == 0) {
      EXPECT_TRUE(verdict.out.ends_with("verdict: nothing looks wrong\n")) << verdict.out;
      expected.insert(std::string(c.name) + ".png");
    } else {
      EXPECT_EQ(verdict.err, "assess: a tool failed; nothing was judged\n");
    }
    if (c.plotFails) expected.insert("bin");
    EXPECT_EQ(ListFolder(folder.path), expected);
  }
}

TEST(Assess, NamesAFileItCannotJudgeAndWritesNothing) {
  // Not the usage text: the command line was right, the file is not.
  const struct {
    const char* name;
    bool isFolder;
    const char* reason;
  } cases[] = {
      {"missing", false, "no such file"},
      {"a folder", true, "not a regular file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir folder;
    const std::string path = folder.path + "/" + c.name;
    if (c.isFolder) std::filesystem::create_directory(path);
    ToolInvocation assess;
    assess.binary = "/bin/bash";
    assess.args = {SourceDir() + "/scripts/assess", path};
    assess.home = folder.path;
    const ToolResult verdict = RunTool(assess);

    EXPECT_EQ(verdict.exitStatus, 2);
    EXPECT_EQ(verdict.err, "assess: " + path + ": " + c.reason + "\n");
    EXPECT_EQ(verdict.out, "");
    EXPECT_EQ(ListFolder(folder.path).size(), c.isFolder ? 1u : 0u);
  }
}

}  // namespace
}  // namespace quorlix::testing
