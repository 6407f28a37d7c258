// Runs through a real sound server, as Linux desktops record: a private
// PipeWire graph reached through each of ALSA's two server plugins, its own
// (type pipewire) and the pulse one (type pulse, served by pipewire-pulse),
// and a private PulseAudio daemon through the pulse plugin. Live noise must
// arrive whole, through one stream for the whole run; silence must be
// caught; and a server that dies or freezes before or during a run, or a
// Ctrl-C in the first capture, must end the run on time with its text and
// the folder as it was. Two runs never record the server's input at once.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/run_checks.h"
#include "support/sanitized_build.h"
#include "support/sound_server.h"
#include "support/temp_dir.h"
#include "support/test_device.h"
#include "support/watched_run.h"

namespace quorlix::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

// A server and the ALSA plugin that reaches it.
struct Route {
  const char* name;
  ServerKind server;
  const char* asoundrc;
  bool pulse;  // the plugin talks to a pulse server rather than to PipeWire itself
};

constexpr char kPulsePlugin[] = "pcm.!default { type pulse }\n";
constexpr Route kPipeWire = {"type pipewire", ServerKind::kPipeWire,
                             "pcm.!default { type pipewire }\n", false};
constexpr Route kPipeWirePulse = {"type pulse, pipewire-pulse", ServerKind::kPipeWire, kPulsePlugin,
                                  true};
constexpr Route kPulseAudio = {"type pulse, PulseAudio", ServerKind::kPulseAudio, kPulsePlugin, true};

// The sanitizer build already runs the tool's side of the pulse plugin in
// the pipewire-pulse rows, and leaves the PulseAudio rows, whose frozen
// server costs ten seconds a row, to the Release build.
bool LeftToTheReleaseBuild(const Route& route) {
  return kSanitizedBuild && route.server == ServerKind::kPulseAudio;
}

WatchedInvocation Through(const SoundServer& server, const ConfiguredDevice& device,
                          const std::vector<std::string>& args) {
  WatchedInvocation invocation;
  invocation.home = device.home.path;
  invocation.environment = server.clientEnvironment();
  invocation.args = args;
  // Past every bound below: a hang fails the test rather than stall the suite.
  invocation.deadline = seconds(60);
  return invocation;
}

// The longest run of zero bytes: frames a server dropped or made up come out
// as such runs; random output has one of 8 at a given place with
// probability 2^-64.
std::size_t LongestZeroRun(const std::vector<std::uint8_t>& bytes) {
  std::size_t longest = 0;
  std::size_t run = 0;
  for (std::uint8_t byte : bytes) {
    run = byte == 0 ? run + 1 : 0;
    if (run > longest) longest = run;
  }
  return longest;
}

// The recording streams opened in the server's events after mark, counted
// once every one of them has closed again, as a run's streams have once it
// ended; 0 if they have not closed within ten seconds.
std::size_t RecordingStreamsOpened(const SoundServer& server, std::size_t mark) {
  const std::string kOpened = "Event 'new' on source-output #";
  const std::string kClosed = "Event 'remove' on source-output #";
  const Clock::time_point giveUp = Clock::now() + seconds(10);
  do {
    std::string events = server.events();
    // A line still being written counts once it is whole.
    events.resize(events.rfind('\n') + 1);
    std::istringstream lines(events.substr(std::min(mark, events.size())));
    std::set<std::string> opened;
    std::set<std::string> closed;
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with(kOpened)) opened.insert(line.substr(kOpened.size()));
      if (line.starts_with(kClosed)) closed.insert(line.substr(kClosed.size()));
    }
    if (!opened.empty() && std::includes(closed.begin(), closed.end(), opened.begin(), opened.end())) {
      return opened.size();
    }
    std::this_thread::sleep_for(milliseconds(20));
  } while (Clock::now() < giveUp);
  return 0;
}

TEST(SoundServer, LiveNoiseArrivesWholeThroughOneStreamAtEitherRate) {
  // Each capture is health-tested, so a run of samples that a server
  // dropped or made up in any of them shows as a warning. Starting a stream
  // afresh for each capture shows as one stream per capture.
  const struct {
    Route route;
    int rate;
  } cases[] = {{kPipeWire, 48000},  {kPipeWirePulse, 48000}, {kPipeWire, 44100},
               {kPipeWirePulse, 44100}, {kPulseAudio, 48000},    {kPulseAudio, 44100}};
  for (const auto& c : cases) {
    if (LeftToTheReleaseBuild(c.route)) continue;
    SCOPED_TRACE(std::string(c.route.name) + " at " + std::to_string(c.rate));
    SoundServer server(c.route.server, c.rate, ServerInput::kNoise);
    if (!server.skipReason().empty()) GTEST_SKIP() << server.skipReason();
    ASSERT_EQ(server.error(), "");
    ConfiguredDevice device(c.route.asoundrc);
    TempDir folder;
    const std::size_t mark = server.events().size();
    const WatchedResult result = RunWatched(Through(server, device, {folder.path, "3", "1", "1"}));
    EXPECT_EQ(result.tool.exitStatus, 0);
    EXPECT_EQ(result.tool.err, "");
    EXPECT_EQ(RecordingStreamsOpened(server, mark), 1u);
    const std::set<std::string> names = ListFolder(folder.path);
    ASSERT_EQ(names.size(), 1u);
    const std::vector<std::uint8_t> output = ReadWholeFile(folder.path + "/" + *names.begin());
    EXPECT_EQ(output.size(), 11025u);
    EXPECT_LT(LongestZeroRun(output), 8u);
  }
}

TEST(SoundServer, SilenceFailsTheHealthTests) {
  for (const Route& route : {kPipeWire, kPipeWirePulse}) {
    SCOPED_TRACE(route.name);
    SoundServer server(route.server, 48000, ServerInput::kSilence);
    if (!server.skipReason().empty()) GTEST_SKIP() << server.skipReason();
    ASSERT_EQ(server.error(), "");
    ConfiguredDevice device(route.asoundrc);
    TempDir folder;
    const WatchedResult result = RunWatched(Through(server, device, {folder.path, "1", "1", "1"}));
    EXPECT_EQ(result.tool.err,
              "Warning: capture 1 failed the noise health test\n"
              "Output failed the noise health test\n");
    EXPECT_EQ(result.tool.exitStatus, 1);
    EXPECT_EQ(ListFolder(folder.path), std::set<std::string>{});
  }
}

enum class Fault { kKilled, kFrozen };

// A signal takes effect when the kernel next runs its target, which on a
// loaded machine can be after the tool has already reached the server. Waits
// until /proc shows the server dead (a zombie has closed its sockets) or
// stopped.
void WaitUntilStruck(pid_t pid, Fault fault) {
  const Clock::time_point giveUp = Clock::now() + seconds(10);
  while (Clock::now() < giveUp) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return;
    const std::size_t nameEnd = line.rfind(')');
    const char state = nameEnd + 2 < line.size() ? line[nameEnd + 2] : '?';
    if (fault == Fault::kKilled ? state == 'Z' || state == 'X' : state == 'T') return;
    std::this_thread::sleep_for(milliseconds(2));
  }
}

struct FaultCase {
  Route route;
  Fault fault;
  bool midRun;
  const char* text;
  seconds bound;
};

// One fault case from the server's start to the folder's check, as the
// failures it saw; a skip reason when its server cannot run here.
struct FaultOutcome {
  std::string skipReason;
  std::vector<std::string> failures;
};

FaultOutcome RunFaultCase(const FaultCase& c) {
  FaultOutcome outcome;
  const auto expect = [&](bool holds, const std::string& what) {
    if (!holds) outcome.failures.push_back(what);
  };
  SoundServer server(c.route.server, 48000, ServerInput::kNoise);
  if (!server.skipReason().empty()) {
    outcome.skipReason = server.skipReason();
    return outcome;
  }
  if (!server.error().empty()) {
    outcome.failures.push_back(server.error());
    return outcome;
  }
  ConfiguredDevice device(c.route.asoundrc);
  TempDir folder;
  WriteTextFile(folder.path + "/already-here", "kept");
  const FolderContents before = Snapshot(folder.path);
  const pid_t target = c.route.pulse ? server.pulsePid() : server.pipewirePid();
  const int signalNumber = c.fault == Fault::kKilled ? SIGKILL : SIGSTOP;
  Clock::time_point struck;
  WatchedInvocation invocation = Through(server, device, {folder.path, "1", "1", "30"});
  if (c.midRun) {
    // Half a second into the capture, once samples flow.
    invocation.hookWhenOutputHas = "\t1 \r";
    invocation.hook = [&](pid_t) {
      std::this_thread::sleep_for(milliseconds(500));
      kill(target, signalNumber);
      struck = Clock::now();
    };
  } else {
    kill(target, signalNumber);
    WaitUntilStruck(target, c.fault);
    struck = Clock::now();
  }
  const WatchedResult result = RunWatched(invocation);
  const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - struck);
  expect(result.hookRan == c.midRun, "the hook ran: " + std::to_string(result.hookRan));
  const ::testing::AssertionResult oneText = FailedWithOneText(result.tool, RegexQuoted(c.text));
  expect(static_cast<bool>(oneText), oneText.message());
  expect(Snapshot(folder.path) == before, "the folder changed");
  expect(took < c.bound, "took " + std::to_string(took.count()) + " ms");
  return outcome;
}

TEST(SoundServer, ThatDiesOrFreezesEndsTheRunOnTime) {
  // The server is the process the plugin talks to. The PipeWire plugin
  // opens without waiting on the daemon and, once the daemon is gone,
  // reports one overrun and then nothing, so both end in the 10 s stall
  // check. The pulse plugin sees a dead server at once and waits on a frozen
  // one, which the bounded open and release must cut short. The bounds leave
  // room for a loaded machine but not for libpulse's 30 s reply timeout.
  const char* const kNoDevice = "Unable to create DirectSoundCapture8 interface";
  const FaultCase cases[] = {
      {kPipeWire, Fault::kKilled, true, "Capture timed out", seconds(20)},
      {kPipeWirePulse, Fault::kKilled, true, "Capture failed", seconds(5)},
      {kPulseAudio, Fault::kKilled, true, "Capture failed", seconds(5)},
      {kPipeWire, Fault::kKilled, false, kNoDevice, seconds(5)},
      {kPipeWirePulse, Fault::kKilled, false, kNoDevice, seconds(5)},
      {kPulseAudio, Fault::kKilled, false, kNoDevice, seconds(5)},
      {kPipeWire, Fault::kFrozen, true, "Capture timed out", seconds(20)},
      {kPipeWirePulse, Fault::kFrozen, true, "Capture timed out", seconds(20)},
      {kPulseAudio, Fault::kFrozen, true, "Capture timed out", seconds(20)},
      {kPipeWire, Fault::kFrozen, false, "Capture timed out", seconds(20)},
      {kPipeWirePulse, Fault::kFrozen, false, kNoDevice, seconds(20)},
      {kPulseAudio, Fault::kFrozen, false, kNoDevice, seconds(20)},
  };
  constexpr std::size_t kCases = std::size(cases);
  // Most cases wait out a ten-second bound, so a few run at once, each with
  // its own server, folder and HOME; each keeps its outcome for the checks
  // below.
  constexpr std::size_t kAtOnce = 4;
  FaultOutcome outcomes[kCases];
  std::atomic<std::size_t> nextCase{0};
  std::vector<std::thread> workers;
  for (std::size_t w = 0; w < kAtOnce; ++w) {
    workers.emplace_back([&] {
      for (std::size_t i; (i = nextCase++) < kCases;) {
        if (!LeftToTheReleaseBuild(cases[i].route)) outcomes[i] = RunFaultCase(cases[i]);
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  for (std::size_t i = 0; i < kCases; ++i) {
    const FaultCase& c = cases[i];
    SCOPED_TRACE(std::string(c.route.name) + (c.fault == Fault::kKilled ? ", killed" : ", frozen") +
                 (c.midRun ? " mid-run" : " before the run"));
    if (!outcomes[i].skipReason.empty()) GTEST_SKIP() << outcomes[i].skipReason;
    for (const std::string& failure : outcomes[i].failures) ADD_FAILURE() << failure;
  }
}

TEST(SoundServer, CtrlCInTheFirstCaptureEndsTheRunAtOnce) {
  // The interrupt check runs at least every 100 ms whatever the plugin does;
  // a second leaves room for a loaded machine and the teardown.
  for (const Route& route : {kPipeWire, kPipeWirePulse, kPulseAudio}) {
    if (LeftToTheReleaseBuild(route)) continue;
    SCOPED_TRACE(route.name);
    SoundServer server(route.server, 48000, ServerInput::kNoise);
    if (!server.skipReason().empty()) GTEST_SKIP() << server.skipReason();
    ASSERT_EQ(server.error(), "");
    ConfiguredDevice device(route.asoundrc);
    TempDir folder;
    Clock::time_point sent;
    WatchedInvocation invocation = Through(server, device, {folder.path, "1", "1", "5"});
    invocation.hookWhenOutputHas = "\t1 \r";
    invocation.hook = [&](pid_t child) {
      std::this_thread::sleep_for(milliseconds(300));
      kill(child, SIGINT);
      sent = Clock::now();
    };
    const WatchedResult result = RunWatched(invocation);
    const auto took = Clock::now() - sent;
    ASSERT_TRUE(result.hookRan);
    EXPECT_TRUE(FailedWithOneText(result.tool, "Interrupted"));
    EXPECT_EQ(ListFolder(folder.path), std::set<std::string>{});
    EXPECT_LT(took, seconds(1)) << std::chrono::duration_cast<milliseconds>(took).count() << " ms";
  }
}

TEST(SoundServer, RecordsForOneRunAtATime) {
  // A second run through the same server, from another HOME, starts while
  // the first holds its device: it ends before it records, and the first
  // goes on to its output. PipeWire's own plugin and the pulse one reach the
  // server at addresses of their own.
  for (const Route& route : {kPipeWire, kPipeWirePulse}) {
    SCOPED_TRACE(route.name);
    SoundServer server(route.server, 48000, ServerInput::kNoise);
    if (!server.skipReason().empty()) GTEST_SKIP() << server.skipReason();
    ASSERT_EQ(server.error(), "");
    ConfiguredDevice firstDevice(route.asoundrc);
    ConfiguredDevice secondDevice(route.asoundrc);
    TempDir firstFolder;
    TempDir secondFolder;
    const OverlappingRuns runs = RunDuringTheFirstFile(
        Through(server, firstDevice, {firstFolder.path, "1", "1", "1"}), firstFolder.path,
        Through(server, secondDevice, {secondFolder.path, "1", "1", "1"}));
    if (!runs.gated) GTEST_SKIP() << "no fanotify permission events here (needs root)";
    EXPECT_EQ(runs.first.tool.err, "");
    EXPECT_EQ(runs.first.tool.exitStatus, 0);
    EXPECT_EQ(ListFolder(firstFolder.path).size(), 1u);
    EXPECT_TRUE(FailedWithOneText(runs.second.tool, "Another run is recording from this input"));
    EXPECT_EQ(runs.second.tool.out, "");
    EXPECT_EQ(ListFolder(secondFolder.path), std::set<std::string>{});
  }
}

}  // namespace
}  // namespace quorlix::testing
