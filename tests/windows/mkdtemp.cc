// Creates a new folder whose name is pattern with its trailing "XXXXXX"
// replaced, as POSIX mkdtemp does. CreateDirectoryA fails on a name that is
// taken, so a folder made here is always a new one.
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "mkdtemp.h"

extern "C" char* mkdtemp(char* pattern) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  const std::size_t length = std::strlen(pattern);
  if (length < 6 || std::strcmp(pattern + length - 6, "XXXXXX") != 0) {
    errno = EINVAL;
    return nullptr;
  }
  std::random_device seed;
  std::mt19937 pick(seed());
  std::uniform_int_distribution<std::size_t> letter(0, sizeof kLetters - 2);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    for (std::size_t i = length - 6; i < length; ++i) pattern[i] = kLetters[letter(pick)];
    if (CreateDirectoryA(pattern, nullptr)) return pattern;
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
      errno = ENOENT;
      return nullptr;
    }
  }
  errno = EEXIST;
  return nullptr;
}
