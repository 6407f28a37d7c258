// Runs through a real sound server, as Linux desktops record: a private
// PipeWire graph reached through each of ALSA's two server plugins, its own
// (type pipewire) and the pulse one (type pulse, served by pipewire-pulse),
// and a private PulseAudio daemon through the pulse plugin. Live noise must
// arrive whole, silence must be caught, and a server that dies or freezes
// before or during a run, or a Ctrl-C in the first capture, must end the
// run on time with its text and the folder as it was.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "support/run_checks.h"
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

TEST(SoundServer, LiveNoiseArrivesWholeAtEitherRate) {
  const struct {
    Route route;
    int rate;
  } cases[] = {{kPipeWire, 48000},  {kPipeWirePulse, 48000}, {kPipeWire, 44100},
               {kPipeWirePulse, 44100}, {kPulseAudio, 48000},    {kPulseAudio, 44100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.route.name) + " at " + std::to_string(c.rate));
    SoundServer server(c.route.server, c.rate, ServerInput::kNoise);
    if (!server.skipReason().empty()) GTEST_SKIP() << server.skipReason();
    ASSERT_EQ(server.error(), "");
    ConfiguredDevice device(c.route.asoundrc);
    TempDir folder;
    const WatchedResult result = RunWatched(Through(server, device, {folder.path, "1", "1", "3"}));
    EXPECT_EQ(result.tool.exitStatus, 0);
    EXPECT_EQ(result.tool.err, "");
    const std::set<std::string> names = ListFolder(folder.path);
    ASSERT_EQ(names.size(), 1u);
    const std::vector<std::uint8_t> output = ReadWholeFile(folder.path + "/" + *names.begin());
    EXPECT_EQ(output.size(), 3u * 11025);
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

TEST(SoundServer, ThatDiesOrFreezesEndsTheRunOnTime) {
  // The server is the process the plugin talks to. The PipeWire plugin
  // opens without waiting on the daemon and, once the daemon is gone,
  // reports one overrun and then nothing, so both end in the 10 s stall
  // check. The pulse plugin sees a dead server at once and waits on a frozen
  // one, which the bounded open and release must cut short. The bounds leave
  // room for a loaded machine but not for libpulse's 30 s reply timeout.
  const char* const kNoDevice = "Unable to create DirectSoundCapture8 interface";
  const struct {
    Route route;
    Fault fault;
    bool midRun;
    const char* text;
    seconds bound;
  } cases[] = {
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
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.route.name) +
                 (c.fault == Fault::kKilled ? ", killed" : ", frozen") +
                 (c.midRun ? " mid-run" : " before the run"));
    SoundServer server(c.route.server, 48000, ServerInput::kNoise);
    if (!server.skipReason().empty()) GTEST_SKIP() << server.skipReason();
    ASSERT_EQ(server.error(), "");
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
    const auto took = Clock::now() - struck;
    EXPECT_EQ(result.hookRan, c.midRun);
    EXPECT_TRUE(FailedWithOneText(result.tool, RegexQuoted(c.text)));
    EXPECT_EQ(Snapshot(folder.path), before);
    EXPECT_LT(took, c.bound) << std::chrono::duration_cast<milliseconds>(took).count() << " ms";
  }
}

TEST(SoundServer, CtrlCInTheFirstCaptureEndsTheRunAtOnce) {
  // The interrupt check runs at least every 100 ms whatever the plugin does;
  // a second leaves room for a loaded machine and the teardown.
  for (const Route& route : {kPipeWire, kPipeWirePulse, kPulseAudio}) {
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

}  // namespace
}  // namespace quorlix::testing
