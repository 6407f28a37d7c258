// Holds chosen file accesses of other processes until the test has decided
// on them, through the kernel's fanotify permission events: every open of a
// file inside a folder, or every read of one file. While the accessing
// process waits, the test can act on the file system at a precisely known
// moment of a run; then it lets the access go ahead, or refuses it (the
// process sees EPERM). Needs root and a kernel with fanotify permission
// events; a test checks active() and skips without them.
#ifndef QUORLIX_TESTS_SUPPORT_FILE_GATE_H_
#define QUORLIX_TESTS_SUPPORT_FILE_GATE_H_

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <thread>

namespace quorlix::testing {

struct GatedAccess {
  pid_t pid;         // the accessing process
  std::string path;  // the file's path, as the kernel names it now
  bool isRead;       // a read of the watched file rather than an open
  int count;         // this file's opens (or reads) so far, this one included
};

class FileGate {
 public:
  // decide runs on the gate's own thread, once for each access by another
  // process, and returns whether to allow it. It must not open or read a
  // watched file itself: the gate would wait on itself.
  explicit FileGate(std::function<bool(const GatedAccess&)> decide);
  ~FileGate();
  FileGate(const FileGate&) = delete;
  FileGate& operator=(const FileGate&) = delete;

  bool active() const { return notify_ >= 0; }
  // Opens of the files directly inside folder (not of the folder itself).
  bool WatchOpensIn(const std::string& folder);
  bool WatchReadsOf(const std::string& file);

 private:
  void Listen();
  void Answer(int eventFd, bool isRead, pid_t pid);

  std::function<bool(const GatedAccess&)> decide_;
  std::map<std::pair<std::string, bool>, int> counts_;
  int notify_ = -1;
  int stop_ = -1;
  std::thread listener_;
};

}  // namespace quorlix::testing

#endif  // QUORLIX_TESTS_SUPPORT_FILE_GATE_H_
