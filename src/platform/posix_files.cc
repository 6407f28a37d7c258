#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "platform/files.h"

namespace quorlix {

bool PathExists(const char* path) {
  struct stat info;
  return stat(path, &info) == 0;
}

bool CreateUniqueFile(const char* folder, const char* prefix, std::string& name) {
  std::string base(folder);
  if (!base.empty() && base.back() != '/') base += '/';
  base += prefix;
  // Like the Windows service: four hex digits, starting from a number taken
  // from the clock, each of the 65535 non-zero numbers tried at most once.
  // Later calls go on after the last name made, so a run of thousands of
  // files does not probe its way past every earlier one each time.
  static unsigned next = static_cast<unsigned>(std::time(nullptr)) ^ static_cast<unsigned>(getpid());
  for (unsigned attempt = 0; attempt < 0xFFFF; ++attempt) {
    unsigned number = (next + attempt) % 0xFFFF + 1;
    char tail[16];
    std::snprintf(tail, sizeof tail, "%04X.tmp", number);
    std::string candidate = base + tail;
    if (candidate.size() >= PATH_MAX) return false;
    int fd = open(candidate.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      close(fd);
      name = candidate;
      next = number;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

void DeleteNamedFile(const char* name) { unlink(name); }

bool SyncFileToDisk(std::FILE* file) {
  return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

}  // namespace quorlix
