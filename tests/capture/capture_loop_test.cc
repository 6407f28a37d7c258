// The capture loop and the run driver over a scripted capture backend: each
// backend step failing in turn, short and long deliveries, and what the
// teardown leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <random>
#include <stdexcept>
#include <sstream>
#include <string>
#include <vector>

#include "capture/sound_capture.h"
#include "driver/failure.h"
#include "driver/noise_file.h"
#include "driver/run.h"
#include "driver/run_plan.h"
#include "driver/run_resources.h"
#include "support/random_bytes.h"
#include "support/reference_run.h"
#include "support/temp_dir.h"

namespace quorlix {
namespace {

using testing::Bytes;

// Through the run's own file: on Windows no other opener may read it.
Bytes ReadRawFile(RunResources& resources, const MadeFile& raw) {
  Bytes bits(11025);
  ReadNoiseFile(resources.folder, raw, resources.inputSlot, bits.data(), 11025,
                {"Unable to open input file - ", "Unable to read input file - "});
  return bits;
}

enum class Step { kNone, kOpen, kCreate, kRecord };

struct Script {
  Step failAt = Step::kNone;
  const char* recordFailure = "Capture failed";
  std::uint32_t deliveredBytes = 0;  // what record hands over in all
  Bytes samples;
  std::vector<std::string> calls;
  // With failAt kRecord: how many records succeed first, and what the
  // failing one throws instead of recordFailure.
  int recordsBeforeFailure = 0;
  void (*raise)() = nullptr;
  std::uint32_t pieceBytes = 0xFFFFFFFF;  // the most one piece holds
  // With failAt kOpen: what the open says.
  DeviceOutcome openOutcome = DeviceOutcome::kCannotOpen;
  const char* openReason = "";
};

Script script;
// The scripted handles are never looked into; they only have to be distinct
// and non-null.
int objectToken;
int bufferToken;
CaptureObject* const theObject = reinterpret_cast<CaptureObject*>(&objectToken);
CaptureBuffer* const theBuffer = reinterpret_cast<CaptureBuffer*>(&bufferToken);

DeviceOpening Open(const std::string& name) {
  script.calls.push_back(name.empty() ? "open" : "open " + name);
  DeviceOpening opening;
  if (script.failAt == Step::kOpen) {
    opening.outcome = script.openOutcome;
    opening.reason = script.openReason;
    return opening;
  }
  opening.outcome = DeviceOutcome::kOpened;
  opening.object = theObject;
  opening.name = name;
  return opening;
}
CaptureBuffer* Create(CaptureObject*, std::uint32_t captureBytes) {
  script.calls.push_back("create " + std::to_string(captureBytes));
  return script.failAt == Step::kCreate ? nullptr : theBuffer;
}
// Hands over the scripted samples in pieces as a backend would, even more
// than asked for, which the capture must cut off.
std::uint32_t Record(CaptureObject*, CaptureBuffer*, std::uint32_t, SampleSink sink, void* context) {
  script.calls.push_back("record");
  if (script.failAt == Step::kRecord && script.recordsBeforeFailure-- <= 0) {
    if (script.raise != nullptr) script.raise();
    Fail(script.recordFailure);
  }
  for (std::uint32_t done = 0; done < script.deliveredBytes;) {
    const std::uint32_t piece = std::min(script.pieceBytes, script.deliveredBytes - done);
    sink(context, script.samples.data() + done, piece);
    done += piece;
  }
  return script.deliveredBytes;
}
void ReleaseBuffer(CaptureBuffer*) { script.calls.push_back("release buffer"); }
void ReleaseObject(CaptureObject*) { script.calls.push_back("release object"); }

constexpr CaptureBackend kScriptedBackend = {Open, Create, Record, ReleaseBuffer, ReleaseObject};

struct Console {
  Console() : oldOut(std::cout.rdbuf(out.rdbuf())), oldErr(std::cerr.rdbuf(err.rdbuf())) {}
  ~Console() {
    std::cout.rdbuf(oldOut);
    std::cerr.rdbuf(oldErr);
  }
  std::ostringstream out;
  std::ostringstream err;
  std::streambuf* oldOut;
  std::streambuf* oldErr;
};

std::string Calls() {
  std::string joined;
  for (const std::string& call : script.calls) joined += call + ";";
  return joined;
}

TEST(CaptureLoop, EachFailingStepEndsTheRunCleanly) {
  const struct {
    Step failAt;
    const char* recordFailure;
    const char* err;
    const char* calls;
    bool planPrinted;
  } cases[] = {
      {Step::kOpen, "", "Unable to create DirectSoundCapture8 interface\n", "open;", false},
      {Step::kCreate, "", "Unable to create buffer\n", "open;create 176400;release object;", false},
      {Step::kRecord, "Capture failed", "Capture failed\n",
       "open;create 176400;record;release buffer;release object;", true},
      {Step::kRecord, "GetStatus failed", "GetStatus failed\n",
       "open;create 176400;record;release buffer;release object;", true},
      {Step::kRecord, "Capture timed out", "Capture timed out\n",
       "open;create 176400;record;release buffer;release object;", true},
      {Step::kRecord, "Unable to lock buffer", "Unable to lock buffer\n",
       "open;create 176400;record;release buffer;release object;", true},
  };
  Bytes noise(176400);
  std::mt19937 generator(11);
  for (std::uint8_t& byte : noise) byte = static_cast<std::uint8_t>(generator());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.err);
    testing::TempDir folder;
    script = Script{c.failAt, c.recordFailure, 176400, noise, {}};
    const char* argv[] = {"quorlix", folder.path.c_str(), "2", "1", "1"};
    Console console;
    EXPECT_EQ(RunQuorlix(5, argv, kScriptedBackend, nullptr), 1);
    EXPECT_EQ(console.err.str(), c.err);
    EXPECT_EQ(console.out.str().starts_with("\tFiles to record = 2\n"), c.planPrinted);
    EXPECT_EQ(Calls(), c.calls);
    EXPECT_TRUE(testing::ListFolder(folder.path).empty());
  }
}

// Every way a named device can fail to open has its own text, and a name
// from outside is never printed raw nor handed on when it is too long.
TEST(CaptureLoop, DeviceThatCannotBeOpenedIsReportedByItsOutcome) {
  const std::string fixed = "Unable to create DirectSoundCapture8 interface";
  const std::string longName(1001, 'x');
  const struct {
    std::string name;
    DeviceOutcome outcome;
    std::string reason;
    OpenFailureText text;
    std::string failure;
  } cases[] = {
      {"mic\n\x1b[2J", DeviceOutcome::kNoSuchDevice, "", OpenFailureText::kFixed,
       "Unknown capture device - mic\\x0A\\x1B[2J"},
      {"mic", DeviceOutcome::kSeveralDevices, "\"Mic A\" {1}, \"Mic B\" {2}",
       OpenFailureText::kFixed, "Ambiguous capture device - mic matches \"Mic A\" {1}, \"Mic B\" {2}"},
      {"hw:1", DeviceOutcome::kCannotOpen, "Device or resource busy", OpenFailureText::kFixed,
       fixed},
      {"hw:1", DeviceOutcome::kCannotOpen, "Device or resource busy",
       OpenFailureText::kWithReason, fixed + " - Device or resource busy"},
      {"", DeviceOutcome::kCannotOpen, "", OpenFailureText::kWithReason, fixed},
      {longName, DeviceOutcome::kOpened, "", OpenFailureText::kFixed,
       "Unknown capture device - " + longName.substr(0, 1000) + "..."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failure.substr(0, 60));
    script = Script{};
    script.failAt = Step::kOpen;
    script.openOutcome = c.outcome;
    script.openReason = c.reason.c_str();
    SoundCapture capture;
    capture.backend = &kScriptedBackend;
    std::string failure;
    try {
      OpenSoundCapture(capture, 176400, c.name, c.text);
    } catch (const FailureMessage& thrown) {
      failure = thrown.text;
    }
    EXPECT_EQ(failure, c.failure);
    EXPECT_EQ(capture.object, nullptr);
    EXPECT_EQ(Calls(), c.name.size() > 1000 ? "" : "open" + (c.name.empty() ? "" : " " + c.name) + ";");
  }
}

TEST(CaptureLoop, AnyExceptionPartWayEndsThroughTheReportAndTheTeardown) {
  const struct {
    void (*raise)();
    const char* err;
  } cases[] = {
      {[] { throw std::bad_alloc(); }, "Unable to allocate memory\n"},
      {[] { throw std::runtime_error("from a library"); }, "Unexpected failure\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.err);
    testing::TempDir folder;
    script = Script{Step::kRecord, "", 176400, testing::RandomBytes(176400, 5), {}, 2, c.raise};
    const char* argv[] = {"quorlix", folder.path.c_str(), "3", "1", "1"};
    Console console;
    EXPECT_EQ(RunQuorlix(5, argv, kScriptedBackend, nullptr), 1);
    EXPECT_EQ(console.err.str(), c.err);
    EXPECT_EQ(Calls(), "open;create 176400;record;record;record;release buffer;release object;");
    EXPECT_TRUE(testing::ListFolder(folder.path).empty()) << "the two raw files are gone";
  }
}

TEST(CaptureLoop, APathThatCannotTakeAFileEndsTheRunBeforeAnyCapture) {
  // The path check asks only that the path exists; the first raw file,
  // made before its capture is recorded, finds out that it is no folder.
  testing::TempDir folder;
  const std::string plain = folder.path + "/plain";
  testing::WriteTextFile(plain, "stays as it is");
  script = Script{Step::kNone, "", 176400, Bytes(176400, 1), {}};
  const char* argv[] = {"quorlix", plain.c_str(), "2", "1", "1"};
  Console console;
  EXPECT_EQ(RunQuorlix(5, argv, kScriptedBackend, nullptr), 1);
  EXPECT_EQ(console.err.str(), "GetTempFileName failed\n");
  EXPECT_EQ(console.out.str(),
            "\tFiles to record = 2\n\tEstimated time = 0 minute(s)\n"
            "\tOutput file size = 11,025 bytes\nCapturing...\n\t2 \r");
  EXPECT_EQ(Calls(), "open;create 176400;release buffer;release object;");
  EXPECT_EQ(testing::ListFolder(folder.path), std::set<std::string>{"plain"});
  const Bytes kept = testing::ReadWholeFile(plain);
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "stays as it is");
}

TEST(CaptureLoop, ExtractsOnlyWhatWasDeliveredAndNeverMoreThanACapture) {
  Bytes samples(2 * 176400);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::uint8_t>(i * 7 + i / 3);
  // Bytes that do not make a whole frame are never used.
  const struct {
    std::uint32_t delivered;
    std::uint32_t pieceBytes;
    std::uint32_t used;
  } cases[] = {
      {176400, 176400, 176400}, {176400, 4, 176400}, {176400, 12, 176400},
      {176400, 22052, 176400},  {1600, 1600, 1600},  {1603, 1603, 1600},
      {1604, 28, 1604},         {0, 4, 0},           {2 * 176400, 2 * 176400, 176400},
      {2 * 176400, 176404, 176400},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.delivered) + " in pieces of " + std::to_string(c.pieceBytes));
    testing::TempDir folder;
    script = Script{Step::kNone, "", c.delivered, samples, {}, 0, nullptr, c.pieceBytes};
    const char* argv[] = {"quorlix", folder.path.c_str(), "1", "1", "1"};
    RunPlan plan = ReadRunPlan(5, argv);
    RunResources resources;
    resources.folder.path = folder.path;
    resources.soundCapture.backend = &kScriptedBackend;
    Console console;
    OpenSoundCapture(resources.soundCapture, plan.captureBytes, "", OpenFailureText::kFixed);
    RecordRawFiles(plan, resources);
    ASSERT_EQ(resources.rawList.files.size(), 1u);
    Bytes expected = testing::ReferenceBits(samples.data(), c.used);
    expected.resize(11025, 0);
    EXPECT_TRUE(ReadRawFile(resources, resources.rawList.files[0]) == expected);
    EXPECT_EQ(console.out.str(), "\t1 \r");
    quorlix::TearDown(resources);
    EXPECT_TRUE(testing::ListFolder(folder.path).empty());
  }
}

TEST(CaptureLoop, RecordsEveryCaptureIntoItsOwnListedRawFile) {
  testing::TempDir folder;
  Bytes samples(176400, 0);
  for (std::size_t i = 0; i < samples.size(); i += 2) samples[i] = 1;  // every sample 0x0001
  script = Script{Step::kNone, "", 176400, samples, {}, 0, nullptr, 17640};
  const char* argv[] = {"quorlix", folder.path.c_str(), "3", "2", "1"};
  RunPlan plan = ReadRunPlan(5, argv);
  RunResources resources;
  resources.folder.path = folder.path;
  resources.soundCapture.backend = &kScriptedBackend;
  Console console;
  OpenSoundCapture(resources.soundCapture, plan.captureBytes, "", OpenFailureText::kFixed);
  RecordRawFiles(plan, resources);
  EXPECT_EQ(console.out.str(), "\t6 \r\t5 \r\t4 \r\t3 \r\t2 \r\t1 \r");
  EXPECT_EQ(resources.rawList.files.size(), 6u);
  EXPECT_EQ(testing::ListFolder(folder.path).size(), 6u);
  for (const MadeFile& raw : resources.rawList.files) {
    EXPECT_TRUE(ReadRawFile(resources, raw) == Bytes(11025, 0xFF)) << raw.leaf;
  }
  quorlix::TearDown(resources);
  EXPECT_TRUE(testing::ListFolder(folder.path).empty());
  EXPECT_TRUE(Calls().ends_with("record;release buffer;release object;"));
}

}  // namespace
}  // namespace quorlix
