// Runs that fail part way: a full disk while each kind of file is written, a
// device that cannot record at 44100 Hz, and a user's interrupt. Each ends
// with one text, exit status 1, and the folder exactly as it was.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "support/file_gate.h"
#include "support/run_checks.h"
#include "support/small_filesystem.h"
#include "support/temp_dir.h"
#include "support/test_device.h"
#include "support/tool_runner.h"
#include "support/watched_run.h"

namespace quorlix::testing {
namespace {

void ExpectFailedRun(const ToolResult& result, const std::string& folder,
                     const std::set<std::string>& before, const std::string& errPattern) {
  EXPECT_TRUE(std::regex_match(result.err, std::regex(errPattern))) << result.err;
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(ListFolder(folder), before);
}

std::string NamePattern(const std::string& folder, const char* prefix) {
  return folder + "/" + prefix + "[0-9A-F]{4}\\.tmp\n";
}

// Grows filler until the file system of folder has just pages pages free.
bool LeaveFreePages(const std::string& folder, const std::string& filler, std::size_t pages) {
  struct statvfs info;
  if (statvfs(folder.c_str(), &info) != 0) return false;
  const std::size_t freePages = info.f_bavail * info.f_frsize / 4096;
  if (freePages < pages) return false;
  std::ofstream(filler, std::ios::binary | std::ios::app) << std::string((freePages - pages) * 4096, 'x');
  return statvfs(folder.c_str(), &info) == 0 && info.f_bavail * info.f_frsize == pages * 4096;
}

TEST(FullDisk, FailsTheWriteAndLeavesTheFolderAsItWas) {
  // A run whose files cannot fit is refused before its first capture, so
  // here the disk fills up during the run: as the device is first read,
  // another writer leaves just so many pages free. A noise file of 11025
  // bytes takes three pages; the six raw files of a 2 x 3 x 1 run take 18,
  // the three mid files 9 more, the output 3.
  const struct {
    std::size_t pages;
    const char* stdoutEnd;
    const char* errPrefix;
    const char* filePrefix;
  } cases[] = {
      {10, "\t3 \r", "Unable to write raw block - ", "cap"},
      {20, "Merging input files...\n", "Unable to write mid file - ", "mid"},
      {28, "Merging mid files...\n", "Unable to write output file - ", "dat"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.errPrefix);
    SmallFilesystem disk(64);
    if (!disk.mounted) GTEST_SKIP() << "cannot mount a small file system here (needs root)";
    const std::string& folder = disk.mountPoint.path;
    WriteTextFile(folder + "/already-here", "");
    WriteTextFile(folder + "/filler", "");
    const std::set<std::string> before = ListFolder(folder);
    NoiseDevice device(LineInNoise(3, 6));
    bool filled = false;
    ToolResult result;
    {
      FileGate gate([&](const GatedAccess&) {
        if (!filled) filled = LeaveFreePages(folder, folder + "/filler", c.pages);
        return true;
      });
      if (!gate.WatchReadsOf(device.noisePath)) {
        GTEST_SKIP() << "no fanotify permission events here (needs root)";
      }
      result = RunQuorlixBinary({folder, "2", "3", "1"}, device.device.home.path);
    }
    ASSERT_TRUE(filled);
    ExpectFailedRun(result, folder, before, c.errPrefix + NamePattern(folder, c.filePrefix));
    EXPECT_TRUE(result.out.ends_with(c.stdoutEnd)) << result.out;
  }
}

TEST(Device, ThatCannotRecordAt44100HzIsRefusedBeforeThePlan) {
  TempDir folder;
  ConfiguredDevice device(
      "pcm.!default { type plug; slave { pcm \"fixed\"; rate 48000 } }\n"
      "pcm.fixed { type file; slave.pcm \"null\"; file \"/dev/null\"; infile \"/dev/urandom\";"
      " format \"raw\" }\n");
  ToolResult result = RunQuorlixBinary({folder.path, "1", "1", "1"}, device.home.path);
  EXPECT_EQ(result.out, "");
  ExpectFailedRun(result, folder.path, {}, "Unable to create buffer\n");
}

// Whether the process may leave a core file: its core size limit.
std::string CoreLimit(pid_t pid) {
  std::ifstream limits("/proc/" + std::to_string(pid) + "/limits");
  for (std::string line; std::getline(limits, line);) {
    if (line.starts_with("Max core file size")) {
      std::istringstream fields(line.substr(18));
      std::string soft, hard;
      fields >> soft >> hard;
      return soft + " " + hard;
    }
  }
  return "unknown";
}

TEST(Interrupt, EndsTheRunThroughTeardown) {
  // Ctrl-C, a termination request, a closed terminal and Ctrl-\ alike; the
  // process never leaves a core file of its key material. A signal ignored
  // at start stays ignored: under nohup a closed terminal leaves the run
  // going to its end, and with SIGXFSZ ignored a write past the file-size
  // limit fails instead of ending the process.
  const struct {
    int signalNumber;  // sent once the output has `when`; 0: none
    const char* when;
    std::vector<std::string> counts;
    int ignoredAtStart = 0;
    rlim_t fileSizeLimit = RLIM_INFINITY;
    const char* errPattern = "Interrupted\n";  // empty: the run goes to its end
  } cases[] = {
      {SIGINT, "\t65530 \r", {"1", "65535", "1"}},
      {SIGTERM, "\t65530 \r", {"1", "65535", "1"}},
      {SIGHUP, "\t65530 \r", {"1", "65535", "1"}},
      {SIGQUIT, "\t65530 \r", {"1", "65535", "1"}},
      {SIGINT, "Merging input files...\n", {"1500", "1", "2"}},
      {SIGTERM, "Merging mid files...\n", {"1", "1500", "2"}},
      {SIGHUP, "Merging input files...\n", {"1", "1500", "1"}, SIGHUP, RLIM_INFINITY, ""},
      {0, "Capturing...\n", {"1", "1", "1"}, SIGXFSZ, 8192,
       "Unable to write raw block - .*/cap[0-9A-F]{4}\\.tmp\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(strsignal(c.signalNumber)) + " at " + c.when + ", ignoring " +
                 strsignal(c.ignoredAtStart));
    TempDir folder;
    TestDevice device("/dev/urandom");
    WatchedInvocation invocation;
    invocation.home = device.home.path;
    invocation.workingFolder = folder.path;
    invocation.args = {folder.path};
    invocation.args.insert(invocation.args.end(), c.counts.begin(), c.counts.end());
    if (c.ignoredAtStart != 0) invocation.ignoredSignals = {c.ignoredAtStart};
    invocation.fileSizeLimit = c.fileSizeLimit;
    invocation.hookWhenOutputHas = c.when;
    std::string coreLimit;
    invocation.hook = [&](pid_t child) {
      if (c.signalNumber == 0) return;
      coreLimit = CoreLimit(child);
      kill(child, c.signalNumber);
    };
    const WatchedResult result = RunWatched(invocation);
    ASSERT_TRUE(result.hookRan);
    if (c.signalNumber != 0) {
      EXPECT_EQ(coreLimit, "0 0");
    }
    if (*c.errPattern == '\0') {
      EXPECT_EQ(result.tool.err, "");
      EXPECT_EQ(result.tool.exitStatus, 0);
      EXPECT_EQ(ListFolder(folder.path).size(), 1u);
      EXPECT_NE(result.tool.out.find("Analysis..."), std::string::npos);
    } else {
      ExpectFailedRun(result.tool, folder.path, {}, c.errPattern);
      EXPECT_EQ(result.tool.out.find("Analysis..."), std::string::npos);
    }
  }
}

TEST(OneRunPerInput, ASecondRunOnTheSameSamplesEndsBeforeItRecords) {
  // The second run starts while the first holds its device. The same noise
  // file through another HOME's default device is the same input; another
  // file, or a source that never repeats itself, is not.
  TempDir files;
  const std::string noise = files.path + "/noise.raw";
  const std::string otherNoise = files.path + "/other.raw";
  WriteWholeFile(noise, LineInNoise(41, 1));
  WriteWholeFile(otherNoise, LineInNoise(42, 1));
  const struct {
    std::string first;
    std::string second;
    bool refused;
  } cases[] = {
      {noise, noise, true},
      {noise, otherNoise, false},
      {"/dev/urandom", "/dev/urandom", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first + " and " + c.second);
    TestDevice firstDevice(c.first);
    TestDevice secondDevice(c.second);
    TempDir firstFolder;
    TempDir secondFolder;
    WatchedInvocation first;
    first.home = firstDevice.home.path;
    first.args = {firstFolder.path, "1", "1", "1"};
    WatchedInvocation second;
    second.home = secondDevice.home.path;
    second.args = {secondFolder.path, "1", "1", "1"};
    const OverlappingRuns runs = RunDuringTheFirstFile(first, firstFolder.path, second);
    if (!runs.gated) GTEST_SKIP() << "no fanotify permission events here (needs root)";
    EXPECT_EQ(runs.first.tool.exitStatus, 0) << runs.first.tool.err;
    EXPECT_EQ(ListFolder(firstFolder.path).size(), 1u);
    if (c.refused) {
      EXPECT_TRUE(FailedWithOneText(runs.second.tool, "Another run is recording from this input"));
      EXPECT_EQ(runs.second.tool.out, "");
      EXPECT_EQ(ListFolder(secondFolder.path), std::set<std::string>{});
    } else {
      EXPECT_EQ(runs.second.tool.exitStatus, 0) << runs.second.tool.err;
      EXPECT_EQ(ListFolder(secondFolder.path).size(), 1u);
    }
  }
}

// The process's threads other than its main one.
std::vector<pid_t> OtherThreads(pid_t pid) {
  std::vector<pid_t> threads;
  DIR* tasks = opendir(("/proc/" + std::to_string(pid) + "/task").c_str());
  if (tasks == nullptr) return threads;
  while (const dirent* entry = readdir(tasks)) {
    const pid_t thread = static_cast<pid_t>(std::atol(entry->d_name));
    if (thread > 0 && thread != pid) threads.push_back(thread);
  }
  closedir(tasks);
  return threads;
}

TEST(Interrupt, ThatStrikesAnotherThreadIsHandledByTheMainThread) {
  // A crash or an abort on the sound device's call thread, while the main
  // thread makes and reads files: the main thread's handler deletes them and
  // the process dies by the signal. Handled on the struck thread instead,
  // the files vanish under the main thread, which goes on to fail reading
  // one or to make more.
  for (int signalNumber : {SIGSEGV, SIGABRT}) {
    SCOPED_TRACE(strsignal(signalNumber));
    TempDir folder;
    TestDevice device("/dev/urandom");
    WatchedInvocation invocation;
    invocation.home = device.home.path;
    invocation.args = {folder.path, "1", "300", "1"};
    invocation.hookWhenOutputHas = "Merging input files...";
    std::size_t struck = 0;
    invocation.hook = [&](pid_t child) {
      for (pid_t thread : OtherThreads(child)) struck += tgkill(child, thread, signalNumber) == 0;
    };
    const WatchedResult result = RunWatched(invocation);
    ASSERT_TRUE(result.hookRan);
    EXPECT_GT(struck, 0u);
    EXPECT_EQ(result.tool.killedBySignal, signalNumber);
    EXPECT_EQ(result.tool.err, "");
    EXPECT_EQ(ListFolder(folder.path), std::set<std::string>{});
  }
}

}  // namespace
}  // namespace quorlix::testing
