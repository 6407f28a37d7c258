#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/made_records.h"

namespace quorlix {
namespace {

// The files made and not yet deleted or kept, for a signal handler to
// delete: each by its name and identity in the held folder.
struct MadeRecord {
  char leaf[16];
  dev_t device;
  ino_t inode;
  std::atomic<bool> live;
};
MadeRecords<MadeRecord> records;
std::atomic<int> madeFolder{-1};
std::atomic<bool> creating{false};

struct SignalsHeld {
  SignalsHeld() {
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;
  sigset_t previous;
};

bool SameFile(const struct stat& info, dev_t device, ino_t inode) {
  return S_ISREG(info.st_mode) && info.st_dev == device && info.st_ino == inode;
}

// Only async-signal-safe calls: a fatal signal's handler uses it too. True
// once the name no longer leads to the file.
bool DeleteIfSame(int folder, const char* leaf, dev_t device, ino_t inode) {
  struct stat info;
  if (fstatat(folder, leaf, &info, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
  if (!SameFile(info, device, inode)) return true;
  return unlinkat(folder, leaf, 0) == 0 || errno == ENOENT;
}

// The file is no longer the run's to delete.
void Forget(const MadeFile& made) {
  MadeRecord* record = records.At(made.record);
  if (record == nullptr || record->device != static_cast<dev_t>(made.identity.volume) ||
      record->inode != static_cast<ino_t>(made.identity.index)) {
    return;
  }
  if (record->live.exchange(false)) --records.live;
}

bool OpenFolder(RunFolder& folder) {
  if (folder.handle >= 0) return true;
  int fd;
  do {
    fd = open(folder.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR && !InterruptRequested());
  if (fd < 0) return false;
  folder.handle = fd;
  madeFolder.store(fd, std::memory_order_release);
  return true;
}

int Descriptor(const OpenFile& file) { return static_cast<int>(file.handle); }

}  // namespace

bool PathExists(const char* path) {
  struct stat info;
  return stat(path, &info) == 0;
}

std::string MadeFileName(const RunFolder& folder, const MadeFile& made) {
  std::string name = folder.path;
  if (!name.empty() && name.back() != '/') name += '/';
  return name + made.leaf;
}

// Whether a file may be kept changes nothing here: until the run deletes it,
// only a fatal signal's handler can.
bool CreateUniqueFile(RunFolder& folder, const char* prefix, MadeFile& made, OpenFile& file,
                      bool) {
  if (!OpenFolder(folder) || std::strlen(prefix) > 3) return false;
  const std::size_t baseLength = MadeFileName(folder, made).size() - std::strlen(made.leaf);
  // Like the Windows service: four hex digits, starting from a number taken
  // from the clock, each of the 65535 non-zero numbers tried at most once.
  // Later calls go on after the last name made, so a run of thousands of
  // files does not probe its way past every earlier one each time.
  static unsigned next = static_cast<unsigned>(std::time(nullptr)) ^ static_cast<unsigned>(getpid());
  for (unsigned attempt = 0; attempt < 0xFFFF; ++attempt) {
    unsigned number = (next + attempt) % 0xFFFF + 1;
    char leaf[16];
    std::snprintf(leaf, sizeof leaf, "%s%04X.tmp", prefix, number);
    if (baseLength + std::strlen(leaf) >= PATH_MAX) return false;
    std::size_t index = 0;
    MadeRecord* record = records.New(index);
    if (record == nullptr) return false;
    struct stat info;
    int fd;
    {
      // From the file's creation to its record, a fatal signal would leave a
      // file that its handler cannot know of: this thread takes none, and a
      // handler on another thread waits for the record.
      SignalsHeld held;
      creating.store(true);
      fd = openat(static_cast<int>(folder.handle), leaf,
                  O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (fd >= 0 && fstat(fd, &info) != 0) {
        close(fd);
        unlinkat(static_cast<int>(folder.handle), leaf, 0);
        creating.store(false);
        return false;
      }
      if (fd >= 0) {
        std::memcpy(record->leaf, leaf, sizeof leaf);
        record->device = info.st_dev;
        record->inode = info.st_ino;
        record->live.store(true, std::memory_order_release);
        records.Publish(index);
      }
      creating.store(false);
    }
    if (fd < 0) {
      if (errno == EEXIST || (errno == EINTR && !InterruptRequested())) continue;
      return false;
    }
    ++records.live;
    std::memcpy(made.leaf, leaf, sizeof leaf);
    made.identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
    made.record = index;
    file.handle = fd;
    next = number;
    return true;
  }
  return false;
}

bool OpenMadeFile(RunFolder& folder, const MadeFile& made, OpenFile& file) {
  if (!OpenFolder(folder)) return false;
  int fd;
  do {
    fd = openat(static_cast<int>(folder.handle), made.leaf, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR && !InterruptRequested());
  if (fd < 0) return false;
  file.handle = fd;
  struct stat info;
  return fstat(fd, &info) == 0 && SameFile(info, static_cast<dev_t>(made.identity.volume),
                                           static_cast<ino_t>(made.identity.index));
}

bool WriteWholeFile(OpenFile& file, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = write(Descriptor(file), data, size);
    if (written < 0 && errno == EINTR && !InterruptRequested()) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool ReadWholeFile(OpenFile& file, std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    ssize_t got = read(Descriptor(file), data, size);
    if (got < 0 && errno == EINTR && !InterruptRequested()) continue;
    if (got <= 0) return false;
    data += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

bool SyncFileToDisk(OpenFile& file) {
  int result;
  do {
    result = fsync(Descriptor(file));
  } while (result != 0 && errno == EINTR && !InterruptRequested());
  return result == 0;
}

bool CloseFile(OpenFile& file) {
  int fd = Descriptor(file);
  file.handle = -1;
  // On Linux the descriptor is gone even when close reports EINTR; closing
  // it again could close another one.
  return close(fd) == 0 || errno == EINTR;
}

bool SyncRunFolder(RunFolder& folder) {
  if (!OpenFolder(folder)) return false;
  int result;
  do {
    result = fsync(static_cast<int>(folder.handle));
  } while (result != 0 && errno == EINTR && !InterruptRequested());
  return result == 0;
}

bool DeleteMadeFile(RunFolder& folder, const MadeFile& made) {
  // Without the folder open no file was made in it.
  const bool gone = folder.handle < 0 ||
                    DeleteIfSame(static_cast<int>(folder.handle), made.leaf,
                                 static_cast<dev_t>(made.identity.volume),
                                 static_cast<ino_t>(made.identity.index));
  Forget(made);
  return gone;
}

bool KeepMadeFile(const MadeFile& made) {
  Forget(made);
  return true;
}

void DeleteMadeFilesNow() {
  // A file being made on another thread is recorded within moments.
  const struct timespec pause = {0, 1000000};
  for (int waits = 0; waits < 1000 && creating.load(); ++waits) nanosleep(&pause, nullptr);
  const int folder = madeFolder.load(std::memory_order_acquire);
  const std::size_t used = records.used.load(std::memory_order_acquire);
  for (std::size_t index = 0; folder >= 0 && index < used; ++index) {
    MadeRecord* record = records.At(index);
    if (record != nullptr && record->live.exchange(false)) {
      DeleteIfSame(folder, record->leaf, record->device, record->inode);
    }
  }
}

bool FolderFreeBytes(RunFolder& folder, std::uint64_t& bytes) {
  struct statvfs info;
  if (!OpenFolder(folder) || fstatvfs(static_cast<int>(folder.handle), &info) != 0) return false;
  // Some FUSE and network file systems report no size at all rather than
  // a full disk.
  if (info.f_blocks == 0) return false;
  bytes = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
  return true;
}

void CloseRunFolder(RunFolder& folder) {
  if (folder.handle < 0) return;
  // A fatal signal from here on finds nothing it could still delete.
  int open = static_cast<int>(folder.handle);
  madeFolder.compare_exchange_strong(open, -1);
  close(static_cast<int>(folder.handle));
  folder.handle = -1;
}

}  // namespace quorlix
