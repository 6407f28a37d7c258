// Long runs: 10,000 captures on the instant test device finish and leave
// only the output file, need no more memory than 10 captures do, and keep no
// file open that they are done with; and no run, finished or failed, leaves a
// descriptor open at its exit.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/file_gate.h"
#include "support/run_checks.h"
#include "support/sanitized_build.h"
#include "support/temp_dir.h"
#include "support/test_device.h"
#include "support/tool_runner.h"
#include "support/watched_run.h"

namespace quorlix::testing {
namespace {

// What pid's descriptors lead to, with the numbers that differ from run to
// run (of pipes, sockets, anonymous files) left out.
std::multiset<std::string> DescriptorTargets(pid_t pid) {
  std::multiset<std::string> targets;
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    std::string target = std::filesystem::read_symlink(entry.path(), error).string();
    targets.insert(std::regex_replace(target, std::regex(":\\[[0-9]+\\]$"), ":[]"));
  }
  return targets;
}

struct LongRun {
  WatchedResult result;
  std::string folder;
  FolderContents before;
  FolderContents after;
  // The tool's descriptors while it makes the output file: every raw and mid
  // file has been written and read by then.
  std::multiset<std::string> descriptorsAtOutput;
  bool gated = false;
};

LongRun RunCaptures(int inputFiles, int midFiles) {
  LongRun run;
  TempDir folder;
  run.folder = folder.path;
  WriteTextFile(folder.path + "/already-here", "x");
  run.before = Snapshot(folder.path);
  TestDevice device("/dev/urandom");
  {
    FileGate gate([&](const GatedAccess& access) {
      const std::string name = std::filesystem::path(access.path).filename().string();
      if (name.starts_with("dat") && access.count == 1) {
        // The folder itself is held open, under a name of its own in each run.
        for (const std::string& target : DescriptorTargets(access.pid)) {
          run.descriptorsAtOutput.insert(target == folder.path ? "the run's folder" : target);
        }
      }
      return true;
    });
    run.gated = gate.WatchOpensIn(folder.path);
    WatchedInvocation invocation;
    invocation.args = {folder.path, std::to_string(inputFiles), std::to_string(midFiles), "1"};
    invocation.home = device.home.path;
    invocation.deadline = std::chrono::seconds(900);
    run.result = RunWatched(invocation);
  }
  run.after = Snapshot(folder.path);
  return run;
}

TEST(Stress, TenThousandCapturesFinishWithinTheMemoryOfTen) {
  const LongRun small = RunCaptures(10, 1);
  const LongRun large = RunCaptures(100, 100);

  for (const LongRun* run : {&small, &large}) {
    const ToolResult& tool = run->result.tool;
    EXPECT_FALSE(run->result.killedAtDeadline);
    EXPECT_EQ(tool.exitStatus, 0);
    EXPECT_EQ(tool.err, "");
    EXPECT_NE(tool.out.find("\t1 \rMerging input files...\nMerging mid files...\n\t"),
              std::string::npos);
    ASSERT_EQ(run->after.size(), run->before.size() + 1) << "only the output file is new";
    for (const auto& [name, bytes] : run->after) {
      if (run->before.count(name) == 0) {
        EXPECT_TRUE(std::regex_match(name, std::regex("dat[0-9A-F]{4}\\.tmp"))) << name;
        EXPECT_EQ(bytes.size(), 11025u);
      }
    }
  }

  if (large.gated) {
    ASSERT_FALSE(large.descriptorsAtOutput.empty());
    for (const std::string& target : large.descriptorsAtOutput) {
      EXPECT_FALSE(target.starts_with(large.folder + "/")) << "still open: " << target;
    }
    EXPECT_EQ(large.descriptorsAtOutput, small.descriptorsAtOutput);
  }
  // All that grows with the captures is the list of the files made, some 40
  // bytes each, and the same again where a fatal signal finds them: under a
  // megabyte for 10,000.
  if (!kSanitizedBuild) {
    EXPECT_LE(large.result.peakResidentKiB, small.result.peakResidentKiB + 2048)
        << "10 captures: " << small.result.peakResidentKiB
        << " KiB, 10,000 captures: " << large.result.peakResidentKiB << " KiB";
  }
}

// Every descriptor open when valgrind saw the tool exit that the tool opened
// itself, each with where it was opened.
std::vector<std::string> OpenedAndLeftOpen(const std::string& valgrindLog) {
  std::ifstream log(valgrindLog);
  std::vector<std::string> left;
  std::string line;
  while (std::getline(log, line)) {
    if (line.find("Open file descriptor") == std::string::npos) continue;
    std::string origin;
    std::getline(log, origin);
    if (origin.find("<inherited from parent>") == std::string::npos) left.push_back(line + origin);
  }
  return left;
}

TEST(Descriptors, NoneTheToolOpenedIsOpenAtItsExit) {
  const char kValgrind[] = "/usr/bin/valgrind";
  if (kSanitizedBuild || access(kValgrind, X_OK) != 0) {
    GTEST_SKIP() << "needs valgrind and a build without sanitizers";
  }
  const struct {
    const char* run;
    std::vector<std::string> counts;
    const char* failsAt;    // a file name inside the folder, or empty
    const char* interrupt;  // SIGINT once the standard output shows this, or empty
    int exitStatus;
  } cases[] = {
      {"finished", {"2", "3", "1"}, "", "", 0},
      {"failed after the first capture", {"2", "3", "1"}, "plain", "", 1},
      {"interrupted", {"1", "65535", "1"}, "", "\t65530 \r", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.run);
    TempDir folder;
    TempDir logs;
    WriteTextFile(folder.path + "/plain", "x");
    TestDevice device("/dev/urandom");
    const std::string log = logs.path + "/valgrind.log";
    WatchedInvocation invocation;
    invocation.binary = kValgrind;
    invocation.args = {"--track-fds=yes", "--log-file=" + log, QuorlixBinary(),
                       folder.path + (*c.failsAt != '\0' ? "/" : "") + c.failsAt};
    invocation.args.insert(invocation.args.end(), c.counts.begin(), c.counts.end());
    invocation.home = device.home.path;
    if (*c.interrupt != '\0') {
      invocation.hookWhenOutputHas = c.interrupt;
      invocation.hook = [](pid_t child) { kill(child, SIGINT); };
    }

    const WatchedResult result = RunWatched(invocation);

    EXPECT_EQ(result.tool.exitStatus, c.exitStatus) << result.tool.err;
    std::ifstream whole(log);
    const std::string text((std::istreambuf_iterator<char>(whole)),
                           std::istreambuf_iterator<char>());
    ASSERT_NE(text.find("FILE DESCRIPTORS:"), std::string::npos) << text;
    EXPECT_EQ(OpenedAndLeftOpen(log), std::vector<std::string>());
  }
}

}  // namespace
}  // namespace quorlix::testing
