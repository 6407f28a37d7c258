#include "support/tool_runner.h"

#include <signal.h>

#include "support/watched_run.h"

namespace quorlix::testing {

ToolResult RunTool(const ToolInvocation& invocation) {
  WatchedInvocation watched;
  watched.binary = invocation.binary;
  watched.args = invocation.args;
  watched.home = invocation.home;
  if (invocation.signalNumber != 0) {
    watched.hookWhenOutputHas = invocation.signalWhenOutputHas;
    watched.hook = [&invocation](pid_t child) { kill(child, invocation.signalNumber); };
  }
  WatchedResult result = RunWatched(watched);
  result.tool.signalSent = result.hookRan;
  return result.tool;
}

std::string QuorlixBinary() { return QUORLIX_BINARY; }

std::string ProbeBinary() { return QUORLIX_PROBE_BINARY; }

std::string SourceDir() { return QUORLIX_SOURCE_DIR; }

ToolResult RunQuorlixBinary(const std::vector<std::string>& args, const std::string& home) {
  ToolInvocation invocation;
  invocation.binary = QuorlixBinary();
  invocation.args = args;
  invocation.home = home;
  return RunTool(invocation);
}

ToolResult RunProbeBinary(const std::vector<std::string>& args, const std::string& home) {
  ToolInvocation invocation;
  invocation.binary = ProbeBinary();
  invocation.args = args;
  invocation.home = home;
  return RunTool(invocation);
}

}  // namespace quorlix::testing
