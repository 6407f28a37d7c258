// The signals that end the tool at once: a second interrupt, an abort (an
// assertion in the audio stack), a crash, a signal nobody handles. Each is
// raised in a child process that has made files the way a run does; the
// child must die by that signal, leaving only the file it kept.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/interrupt.h"
#include "support/temp_dir.h"

namespace quorlix {
namespace {

// Runs in the child: three files made and left, one made and kept, then the
// signals raised in turn. Returns only if the signals did not end it.
void MakeFilesAndRaise(const std::string& path, const std::vector<int>& signals) {
  InstallInterruptHandler();
  RunFolder folder{path};
  for (const char* prefix : {"cap", "cap", "mid", "dat"}) {
    MadeFile made;
    OpenFile file;
    const bool output = prefix[0] == 'd';
    if (!CreateUniqueFile(folder, prefix, made, file, output) || !CloseFile(file)) _exit(2);
    if (output) KeepMadeFile(made);
  }
  for (int signalNumber : signals) raise(signalNumber);
}

TEST(PosixSignals, ThatEndTheProcessAtOnceTakeTheRunsFilesWithIt) {
  const std::vector<int> cases[] = {
      {SIGINT, SIGTERM}, {SIGHUP, SIGINT}, {SIGABRT}, {SIGSEGV}, {SIGUSR1}};
  for (const std::vector<int>& signals : cases) {
    SCOPED_TRACE(strsignal(signals.back()));
    testing::TempDir folder;
    testing::WriteTextFile(folder.path + "/already-here", "x");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      MakeFilesAndRaise(folder.path, signals);
      _exit(3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), signals.back());
    EXPECT_FALSE(WCOREDUMP(status));
    const std::set<std::string> left = testing::ListFolder(folder.path);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(*left.begin(), "already-here");
    EXPECT_TRUE(std::regex_match(*left.rbegin(), std::regex("dat[0-9A-F]{4}\\.tmp"))) << *left.rbegin();
  }
}

TEST(PosixSignals, WorkerThreadsLeaveAllButFaultsToTheMainThread) {
  sigset_t before;
  sigset_t inWorker;
  sigset_t after;
  pthread_sigmask(SIG_SETMASK, nullptr, &before);
  StartWorkerThread([&inWorker] { pthread_sigmask(SIG_SETMASK, nullptr, &inWorker); }).join();
  pthread_sigmask(SIG_SETMASK, nullptr, &after);
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGXFSZ, SIGPIPE, SIGRTMIN}) {
    EXPECT_TRUE(sigismember(&inWorker, signalNumber)) << strsignal(signalNumber);
  }
  for (int signalNumber : {SIGSEGV, SIGABRT, SIGBUS}) {
    EXPECT_FALSE(sigismember(&inWorker, signalNumber)) << strsignal(signalNumber);
  }
  for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) {
    EXPECT_EQ(sigismember(&after, signalNumber), sigismember(&before, signalNumber)) << signalNumber;
  }
}

}  // namespace
}  // namespace quorlix
