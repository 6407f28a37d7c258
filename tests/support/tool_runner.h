// Runs the built tool as a user would: a child process with its own
// environment, no shell in between, both output streams captured whole.
// Optionally a signal is sent once the standard output shows a given text.
// (watched_run.h has the same with more control over the run.)
#ifndef QUORLIX_TESTS_SUPPORT_TOOL_RUNNER_H_
#define QUORLIX_TESTS_SUPPORT_TOOL_RUNNER_H_

#include <cstdint>
#include <string>
#include <vector>

namespace quorlix::testing {

struct ToolInvocation {
  std::string binary;
  std::vector<std::string> args;  // without the program name
  std::string home;               // HOME of the child: where ALSA finds its configuration
  // Send signalNumber as soon as the standard output contains this text.
  std::string signalWhenOutputHas;
  int signalNumber = 0;
};

struct ToolResult {
  std::string out;
  std::string err;
  int exitStatus = -1;    // exit code, or -1 when killed
  int killedBySignal = 0;
  bool signalSent = false;
};

ToolResult RunTool(const ToolInvocation& invocation);

// The built quorlix binary.
std::string QuorlixBinary();

// The built quorlix-probe binary.
std::string ProbeBinary();

// The project's source folder, where scripts/ lives.
std::string SourceDir();

// Runs the built quorlix with args, its HOME set to home.
ToolResult RunQuorlixBinary(const std::vector<std::string>& args, const std::string& home);

// Runs the built quorlix-probe with args, its HOME set to home.
ToolResult RunProbeBinary(const std::vector<std::string>& args, const std::string& home);

}  // namespace quorlix::testing

#endif  // QUORLIX_TESTS_SUPPORT_TOOL_RUNNER_H_
