// Choosing the input by name: an .asoundrc that defines two capture devices,
// each reading other noise, beside a default device that does not exist.
// QUORLIX_DEVICE and --device must record from the one named, --list must
// show both with the name to give, and a name that chooses nothing, or a
// device that cannot be opened, must end the run before anything is made.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/reference_run.h"
#include "support/run_checks.h"
#include "support/temp_dir.h"
#include "support/test_device.h"
#include "support/watched_run.h"

namespace quorlix::testing {
namespace {

struct TwoInputs {
  TwoInputs() {
    WriteWholeFile(files.path + "/a.raw", noiseA);
    WriteWholeFile(files.path + "/b.raw", noiseB);
    WriteTextFile(home.path + "/.asoundrc",
                  std::string(kMissingDeviceConfig) +
                        NamedFileDeviceConfig("quorlix-a", "First test input",
                                              files.path + "/a.raw") +
                        NamedFileDeviceConfig("quorlix-b", "Second test input",
                                              files.path + "/b.raw") +
                        NamedFileDeviceConfig("quorlix-gone", "Input without its file",
                                              files.path + "/missing.raw"));
  }
  TempDir files;
  TempDir home;
  Bytes noiseA = LineInNoise(31, 1);
  Bytes noiseB = LineInNoise(32, 1);
};

ToolResult RunWithDevice(const std::string& binary, const std::vector<std::string>& args,
               const std::string& home, const std::string& device) {
  WatchedInvocation invocation;
  invocation.binary = binary;
  invocation.args = args;
  invocation.home = home;
  invocation.environment = {"QUORLIX_DEVICE=" + device};
  return RunWatched(invocation).tool;
}

TEST(DeviceChoice, QuorlixDeviceRecordsFromTheInputItNames) {
  TwoInputs inputs;
  const struct {
    const char* device;
    const Bytes& noise;
  } cases[] = {{"quorlix-a", inputs.noiseA}, {"quorlix-b", inputs.noiseB}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.device);
    TempDir folder;
    const ToolResult result =
          RunWithDevice(QuorlixBinary(), {folder.path, "1", "1", "1"}, inputs.home.path, c.device);
    ASSERT_EQ(result.err, "");
    ASSERT_EQ(result.exitStatus, 0);
    const std::set<std::string> made = ListFolder(folder.path);
    ASSERT_EQ(made.size(), 1u);
    EXPECT_TRUE(ReadWholeFile(folder.path + "/" + *made.begin()) ==
                ReferenceOutput(c.noise, {1, 1, 1}));
  }
  // --device wins over the variable, and the report names the device.
  WriteWholeFile(inputs.files.path + "/b.pcm", inputs.noiseB);
  const ToolResult recorded =
        RunWithDevice(ProbeBinary(), {"--device", "quorlix-b", "1"}, inputs.home.path, "quorlix-a");
  const ToolResult fromFile =
        RunWithDevice(ProbeBinary(), {"--pcm", inputs.files.path + "/b.pcm"}, inputs.home.path, "");
  EXPECT_TRUE(
        recorded.out.starts_with("quorlix-probe: 1 s recorded from capture device quorlix-b\n"))
        << recorded.out;
  EXPECT_EQ(recorded.out.substr(recorded.out.find('\n')),
            fromFile.out.substr(fromFile.out.find('\n')));
}

TEST(DeviceChoice, NameThatChoosesNothingOrCannotBeOpenedEndsBeforeTheRun) {
  TwoInputs inputs;
  const std::string fixed = "Unable to create DirectSoundCapture8 interface";
  const std::string hostile = "\x1b[2J" + std::string(3000, 'x');
  const struct {
    std::string device;
    std::string quorlixText;
    std::string probeText;
  } cases[] = {
        {"quorlix-c", "Unknown capture device - quorlix-c",
         "Unknown capture device - quorlix-c"},
        {hostile, "Unknown capture device - \\x1B[2J" + std::string(996, 'x') + "...",
         "Unknown capture device - \\x1B[2J" + std::string(996, 'x') + "..."},
        // Defined, but its file is missing: ALSA's own words in the probe.
        {"quorlix-gone", fixed,
         fixed + " - open " + inputs.files.path +
               "/missing.raw for reading failed: No such file or directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.device.substr(0, 20));
    TempDir folder;
    WriteTextFile(folder.path + "/already-here", "x");
    const FolderContents before = Snapshot(folder.path);
    const ToolResult quorlix =
          RunWithDevice(QuorlixBinary(), {folder.path, "1", "1", "1"}, inputs.home.path, c.device);
    EXPECT_TRUE(FailedWithOneText(quorlix, RegexQuoted(c.quorlixText)));
    EXPECT_EQ(quorlix.out, "") << "nothing of the plan is printed";
    EXPECT_EQ(Snapshot(folder.path), before);
    const ToolResult probe = RunWithDevice(ProbeBinary(), {"1"}, inputs.home.path, c.device);
    EXPECT_TRUE(FailedWithOneText(probe, RegexQuoted(c.probeText)));
  }
}

TEST(DeviceChoice, ListShowsEveryInputWithTheNameThatChoosesIt) {
  TwoInputs inputs;
  const ToolResult text = RunWithDevice(ProbeBinary(), {"--list"}, inputs.home.path, "quorlix-a");
  EXPECT_EQ(text.exitStatus, 0);
  EXPECT_TRUE(text.out.starts_with("* default\n")) << text.out;
  for (const char* expected : {"\n  quorlix-a\n      First test input\n",
                               "\n  quorlix-b\n      Second test input\n"}) {
    EXPECT_NE(text.out.find(expected), std::string::npos) << expected << " in\n" << text.out;
  }
  const ToolResult json = RunWithDevice(ProbeBinary(), {"--list", "--json"}, inputs.home.path, "");
  EXPECT_EQ(json.exitStatus, 0);
  EXPECT_TRUE(json.out.starts_with(
        "{\"devices\": [\n {\"name\": \"default\", \"description\": \"\", \"default\": true},"))
        << json.out;
  EXPECT_NE(json.out.find("{\"name\": \"quorlix-b\", \"description\": \"Second test input\", "
                          "\"default\": false}"),
            std::string::npos)
        << json.out;

  // A configuration ALSA cannot parse: its parser's own message, which names
  // the file.
  ConfiguredDevice broken("pcm.!default {\n  type file; @@ }\n");
  const ToolResult list = RunWithDevice(ProbeBinary(), {"--list"}, broken.home.path, "");
  const std::string parserSays = ".*Unexpected char.*/\\.asoundrc .*";
  EXPECT_TRUE(FailedWithOneText(list, "Unable to list capture devices - " + parserSays));
  const ToolResult probe = RunWithDevice(ProbeBinary(), {"1"}, broken.home.path, "");
  EXPECT_TRUE(
        FailedWithOneText(probe, "Unable to create DirectSoundCapture8 interface - " + parserSays));
}

}  // namespace
}  // namespace quorlix::testing
