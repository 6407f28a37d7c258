// Runs the built tool like RunTool, for tests that reach into a run while it
// goes on: the child can start in a chosen working folder, its standard
// output can be a terminal, a hook runs once its standard output shows a
// given text, and the child's own peak memory is reported. A run that
// outlives its deadline is killed, so a hang fails the test instead of
// stalling the suite.
#ifndef QUORLIX_TESTS_SUPPORT_WATCHED_RUN_H_
#define QUORLIX_TESTS_SUPPORT_WATCHED_RUN_H_

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "support/tool_runner.h"

namespace quorlix::testing {

struct WatchedInvocation {
  std::string binary = QuorlixBinary();
  std::vector<std::string> args;  // without the program name
  std::string home;
  std::vector<std::string> environment;  // NAME=VALUE entries beyond HOME, PATH and LANG
  std::string workingFolder;  // empty: the test's own
  // The child starts with these signals ignored, as nohup or a shell's
  // background job would leave them, and every other one at its default and
  // unblocked, whatever the test process has.
  std::vector<int> ignoredSignals;
  rlim_t fileSizeLimit = RLIM_INFINITY;  // in bytes, as ulimit -f sets it
  // Standard output a pseudo-terminal in raw mode, so that out holds the
  // bytes written as they were; otherwise a pipe.
  bool terminal = false;
  // hook(child) runs once, as soon as the standard output contains this text.
  std::string hookWhenOutputHas;
  std::function<void(pid_t)> hook;
  std::chrono::seconds deadline{120};
};

struct WatchedResult {
  ToolResult tool;
  bool hookRan = false;
  bool killedAtDeadline = false;
  long peakResidentKiB = 0;  // the child's own, from wait4
};

WatchedResult RunWatched(const WatchedInvocation& invocation);

// Runs first and holds it at its first file in firstFolder (its first raw
// file, made once the first capture is done: the device is open) while
// second runs from start to end; first then goes on. Holding needs fanotify
// (file_gate.h): without it, gated is false and neither runs.
struct OverlappingRuns {
  bool gated = false;
  WatchedResult first;
  WatchedResult second;
};
OverlappingRuns RunDuringTheFirstFile(const WatchedInvocation& first,
                                      const std::string& firstFolder,
                                      const WatchedInvocation& second);

}  // namespace quorlix::testing

#endif  // QUORLIX_TESTS_SUPPORT_WATCHED_RUN_H_
